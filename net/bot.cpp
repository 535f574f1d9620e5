// A headless player's moves.
#include "net/bot.h"

#include "common/named_mutex.h"

namespace pavalo::net {

namespace {

int32_t randomIn(std::mt19937& rng, int32_t lo, int32_t span) { return lo + int32_t(rng() % uint32_t(std::max(span, 1))); }

void dropHere(GameSenders& senders, PuzzleModel& model, int32_t piece, int32_t x, int32_t y) {
    {
        NamedLock lock(NamedMutex::PIECE);
        model.moveGroup(ListId::Main, piece, x, y);
        model.setGroupSelected(ListId::Main, piece, false);
    }
    senders.sendDrop(ListId::Main, piece);
}

}  // namespace

// The model is changed under the piece lock: on a host its server thread
// applies the other players' moves to the same model meanwhile.
bool playRandomAction(GameSenders& senders, PuzzleModel& model, std::mt19937& rng, const BotStyle& style) {
    const int32_t n = model.pieceCount();
    if (n <= 0) return false;
    const int32_t piece = int32_t(rng() % uint32_t(n));
    if (model.listOfPiece(piece) != ListId::Main) return false;
    const PuzzleGeometry& geo = model.geometry();
    const int32_t left = model.toPlayX(-geo.pictureWidth / 2), top = model.toPlayY(-geo.pictureHeight / 2);
    const int32_t spanX = 2 * geo.pictureWidth, spanY = 2 * geo.pictureHeight;
    const int kind = style.towardsSolution ? 0 : int(rng() % 10);
    auto step = [&] {
        if (style.step) style.step();
    };
    if (kind <= 5) {
        if (senders.requestPickup(ListId::Main, piece) == 0) return false;
        for (int i = 0; i < 3; ++i) {
            step();
            {
                NamedLock lock(NamedMutex::PIECE);
                const Piece& p = model.piece(piece);
                model.moveGroup(ListId::Main, piece, p.x + randomIn(rng, -20, 40), p.y + randomIn(rng, -20, 40));
            }
            senders.sendMove(ListId::Main, piece, model.piece(piece).x, model.piece(piece).y);
        }
        int32_t x = randomIn(rng, left, spanX), y = randomIn(rng, top, spanY);
        const int32_t cols = model.columns();
        const int32_t other = piece + (piece % cols + 1 < cols ? 1 : -1);
        if (style.towardsSolution || kind == 0) {
            // Only an upright group lands on its solved place: a turned one
            // is turned on until it stands.
            for (int turns = 0; turns < 3; ++turns) {
                {
                    NamedLock lock(NamedMutex::PIECE);
                    if ((model.piece(piece).rotation & 3) == 0) break;
                    model.rotateGroup(ListId::Main, piece, 1);
                }
                senders.requestRotate(ListId::Main, piece);
                step();
            }
            x = model.solvedX(piece);
            y = model.solvedY(piece);
        } else if (kind <= 3 && model.validPiece(other) && model.listOfPiece(other) == ListId::Main) {
            NamedLock lock(NamedMutex::PIECE);
            if (model.piece(other).rotation == model.piece(piece).rotation) model.expectedPosition(piece, other, x, y);
        }
        dropHere(senders, model, piece, x, y);
    } else if (kind == 6) {
        if (senders.requestPickup(ListId::Main, piece) == 0) return false;
        {
            NamedLock lock(NamedMutex::PIECE);
            model.rotateGroup(ListId::Main, piece, 1);
        }
        senders.requestRotate(ListId::Main, piece);
        step();
        dropHere(senders, model, piece, model.piece(piece).x, model.piece(piece).y);
    } else if (kind <= 8) {
        const std::vector<int32_t> some{piece, int32_t(rng() % uint32_t(n)), int32_t(rng() % uint32_t(n))};
        if (senders.requestSelection(ListId::Main, some).empty()) return false;
        step();
        {
            NamedLock lock(NamedMutex::PIECE);
            model.moveSelectedBy(ListId::Main, randomIn(rng, -30, 60), randomIn(rng, -30, 60), nullptr, false);
        }
        senders.sendMoveSelected(ListId::Main);
        senders.sendDropSelected(ListId::Main);
        {
            NamedLock lock(NamedMutex::PIECE);
            model.setAllSelected(ListId::Main, false, nullptr);
        }
        senders.sendUnselect(ListId::Main, -1);
    } else {
        if (senders.requestSelection(ListId::Main, std::vector<int32_t>{piece}).empty()) return false;
        const int32_t x = randomIn(rng, left, spanX), y = randomIn(rng, top, spanY);
        senders.sendArrange(ListId::Main, {x, y, x + geo.pictureWidth / 2, y + geo.pictureHeight / 2});
        {
            NamedLock lock(NamedMutex::PIECE);
            model.setAllSelected(ListId::Main, false, nullptr);
        }
        senders.sendUnselect(ListId::Main, -1);
    }
    return true;
}

}  // namespace pavalo::net
