// A headless player's moves: what a player does at the table, made the way
// the view makes them (the local change first, then the announcement), so
// that every message of the protocol is exercised. Tests, benchmarks and
// `pavalo-tool net bot` play with it.
#pragma once

#include <cstdint>
#include <functional>
#include <random>

#include "net/game_senders.h"

namespace pavalo::net {

struct BotStyle {
    // Every drop goes to the piece's solved place (the puzzle gets done).
    bool towardsSolution = false;
    // Called between the steps of a drag (a real player takes time; a
    // test's clock moves on).
    std::function<void()> step;
};

// One action on a random piece of the Main list: a drag ending in a drop
// (at random, beside a neighbour or at the solved place), a turn, a
// selection moved and let go, or an arrange. Returns false when the piece
// could not be had (held by somebody else, or already placed).
bool playRandomAction(GameSenders& senders, PuzzleModel& model, std::mt19937& rng, const BotStyle& style);

}  // namespace pavalo::net
