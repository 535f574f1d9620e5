// Benchmark of the join search when a large group is dropped: a 2000-piece
// group among 2000 single pieces of a 4000-piece puzzle.
#include <benchmark/benchmark.h>

#include "puzzle/joining.h"
#include "puzzle/piece_mask.h"

using namespace pavalo;

static void joinLargeGroup(benchmark::State& state) {
    const int cols = 80, rows = 50, cell = 20;
    std::vector<Piece> pieces(size_t(cols * rows));
    for (int i = 0; i < cols * rows; ++i) {
        Piece& p = pieces[size_t(i)];
        p.homeX = (i % cols) * cell;
        p.homeY = (i / cols) * cell;
        p.width = p.height = cell;
        p.mask = encodePieceMask(cell, cell, [](int, int) { return true; });
    }
    PuzzleModel m;
    m.geometry() = {1920, 1080, cols * cell, rows * cell, 0, 0, 7};
    m.createFromPieces(std::move(pieces), rows, cols);
    // The top half assembled into one group; the bottom half scattered so
    // that nothing fits (every other piece turned).
    for (int i = 0; i < 2000; ++i) m.moveGroup(ListId::None, i, m.solvedX(i), m.solvedY(i));
    for (int i = 1; i < 2000; ++i) m.mergeGroups(ListId::Main, 0, m.groupNode(m.member(i).group).groupNumber);
    for (int i = 2000; i < 4000; ++i) {
        m.moveGroup(ListId::None, i, m.solvedX(i) + 300, m.solvedY(i) + 5);
        m.setPieceRotation(i, i & 1);
    }
    for (auto _ : state) benchmark::DoNotOptimize(joinNeighbours(m, ListId::Main, 1000));
}
BENCHMARK(joinLargeGroup)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
