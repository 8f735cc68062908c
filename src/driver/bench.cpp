#include "driver/bench.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/game.h"
#include "board/notation.h"
#include "core/options.h"
#include "core/output.h"
#include "driver/hash_tables.h"
#include "driver/startup.h"
#include "driver/thread_count.h"
#include "platform/clock.h"
#include "search/control.h"
#include "search/level.h"
#include "search/stats.h"
#include "search/root.h"
#include "search/threads.h"

// Openings, middlegames with both kings castled or not, tactical shots, and endings.
const char* const BenchPositions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3",
    "rnbqkb1r/pp2pppp/3p1n2/8/3NP3/8/PPP2PPP/RNBQKB1R w KQkq - 1 5",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP2BPPP/R2QKB1R w KQ - 0 8",
    "2rq1rk1/pb1nbppp/1p2pn2/2pp4/2PP4/1PN1PN2/PB2BPPP/2RQ1RK1 w - - 0 11",
    "r2q1rk1/ppp2ppp/2n1bn2/2bpp3/4P3/3P1NP1/PPPNQPBP/R1B2RK1 b - - 3 9",
    "r1bqr1k1/pp1nbppp/2p2n2/3p2B1/3P4/2NBP3/PPQ1NPPP/R3K2R w KQ - 6 10",
    "1r2r1k1/5ppp/p2p4/2qP4/2P1Pb2/3Q3P/P4PP1/1R2R1K1 b - - 0 24",
    "6k1/5ppp/8/8/8/2q5/5PPP/3R2K1 w - - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "8/8/4kpp1/3p4/p2P2P1/P3K3/1P3P2/8 w - - 0 40",
    "8/5pk1/6p1/3R4/r6P/6P1/5PK1/8 b - - 0 45",
    "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1",
    "8/8/8/8/5k2/8/3B4/4K1N1 w - - 0 1",
};
const int BenchPositionCount = int(sizeof BenchPositions / sizeof BenchPositions[0]);

namespace {

constexpr int DefaultBenchDepth = 10;

void discard_output(const char*, size_t) {}

// Iterations summed over the positions, by depth - 1.
struct DepthTotals {
  int positions[IterationLogSize];
  int64_t micros[IterationLogSize];
  uint64_t nodes[IterationLogSize];  // nodes of the iteration itself
};

void add_iterations(DepthTotals& totals) {
  uint64_t before = 0;
  for (int i = 0; i < Iterations.count; ++i) {
    totals.positions[i] += 1;
    totals.micros[i] += Iterations.micros[i];
    totals.nodes[i] += Iterations.nodes[i] - before;
    before = Iterations.nodes[i];
  }
}

double percent(uint64_t part, uint64_t whole) { return whole ? 100.0 * double(part) / double(whole) : 0.0; }

void print_stats(const SearchStats& s, const DepthTotals& totals, uint64_t totalNodes) {
  const uint64_t fullWidth = totalNodes - s.quiescenceNodes;
  const uint64_t cuts = s.firstMoveCuts + s.laterMoveCuts;
  std::printf("search statistics\n");
  std::printf("  first-move cutoffs   %5.1f%% of %llu move cutoffs\n", percent(s.firstMoveCuts, cuts),
              static_cast<unsigned long long>(cuts));
  std::printf("  table hits           %5.1f%% of full-width nodes, %.1f%% of quiescence nodes\n",
              percent(s.tableHits, fullWidth), percent(s.quiescenceTableHits, s.quiescenceNodes));
  std::printf("  null move            %5.1f%% of %llu tries cut off\n", percent(s.nullCuts, s.nullTries),
              static_cast<unsigned long long>(s.nullTries));
  std::printf("  futility             %5.1f%% of %llu frontier nodes failed low; %llu moves pruned\n",
              percent(s.futileFailLows, s.futileNodes), static_cast<unsigned long long>(s.futileNodes),
              static_cast<unsigned long long>(s.futilePrunedMoves));
  std::printf("  multi-cut            %5.1f%% of %llu tries cut off\n", percent(s.multiCutCuts, s.multiCutTries),
              static_cast<unsigned long long>(s.multiCutTries));
  std::printf("  singular             %5.1f%% of %llu tests found the best move singular\n",
              percent(s.singularFound, s.singularTests), static_cast<unsigned long long>(s.singularTests));
  std::printf("  quiescence share     %5.1f%% of %llu nodes\n", percent(s.quiescenceNodes, totalNodes),
              static_cast<unsigned long long>(totalNodes));
  // Where the nodes go: the searches a node runs besides its own moves (a node inside several
  // counts for the outermost), and the nodes of the move loops themselves, counted apart.
  static constexpr const char* SubtreeNames[] = {"", "null move", "multi-cut", "refutation sweep",
                                                 "cut-node deepening", "singular test",
                                                 "reduced late move", "re-search"};
  static_assert(sizeof SubtreeNames / sizeof SubtreeNames[0] == uint32_t(Subtree::Count));
  std::printf("  nodes searched in   ");
  for (uint32_t k = 1; k < uint32_t(Subtree::Count); ++k)
    std::printf(" %s %.1f%%,", SubtreeNames[k], percent(s.subtreeNodes[k], totalNodes));
  std::printf(" the move loops %.1f%%\n", percent(s.moveLoopNodes, totalNodes));
  // Each iteration's nodes over the previous one's, summed over the positions that completed
  // both; the summary is the geometric mean over the last four iterations.
  int deepest = 0;
  while (deepest < IterationLogSize && totals.positions[deepest] > 0) ++deepest;
  if (deepest >= 5 && totals.nodes[deepest - 5] > 0) {
    const double ratio = double(totals.nodes[deepest - 1]) / double(totals.nodes[deepest - 5]);
    std::printf("  branching factor     %5.2f (depths %d to %d)\n", std::pow(ratio, 0.25), deepest - 4,
                deepest);
  }
  std::printf("  depth positions  time ms    nodes      ebf\n");
  for (int i = 0; i < deepest; ++i) {
    std::printf("  %5d %9d %8.1f %10llu", i + 1, totals.positions[i], double(totals.micros[i]) / 1000.0,
                static_cast<unsigned long long>(totals.nodes[i]));
    if (i > 0 && totals.nodes[i - 1] > 0)
      std::printf(" %8.2f", double(totals.nodes[i]) / double(totals.nodes[i - 1]));
    std::printf("\n");
  }
}

}  // namespace

int bench_command(int argc, char** argv) {
  int depth = DefaultBenchDepth;
  bool stats = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "stats") == 0) stats = true;
    else depth = std::atoi(argv[i]);
  }
  if (depth < 1 || depth > LevelMaxDepth) depth = DefaultBenchDepth;
  if (!startup(false)) return 1;
  Control.InputPolling = false;  // a tool run reads no commands
  Options.PositionLearning = 0;  // nor reads or writes the learning file: runs must agree
#if TARROW_MP
  set_thread_count(1);  // one search thread, also in the multi-threaded program
#endif
  uint64_t totalNodes = 0;
  int64_t totalMs = 0;
  int index = 0;
  stats_of(main_position()) = SearchStats{};
  DepthTotals depthTotals{};
  for (const char* fen : BenchPositions) {
    ++index;
    if (!parse_fen(fen, GameBoard.board, GameBoard.start)) continue;
    reset_game_record();
    load_game_into_threads();
    clear_all_hash_tables();
    set_level(LevelDepth, depth);
    set_output_sink(discard_output);
    Control.SearchState = Thinking;
    start_iteration_log();
    const int64_t start = tick_count();
    const Move best = ThinkDriver(main_position());
    totalMs += tick_count() - start;
    Control.SearchState = Idle;
    set_output_sink(nullptr);
    char text[6];
    move_text(best, text);
    const uint64_t nodes = main_position().nodes;
    totalNodes += nodes;
    add_iterations(depthTotals);
    std::printf("position %2d: bestmove %s nodes %llu\n", index, text,
                static_cast<unsigned long long>(nodes));
  }
  if (stats) print_stats(stats_of(main_position()), depthTotals, totalNodes);
  const uint64_t nps = totalMs > 0 ? totalNodes * 1000 / uint64_t(totalMs) : totalNodes * 1000;
  std::printf("time %lld ms\n", static_cast<long long>(totalMs));
  std::printf("nodes %llu nps %llu\n", static_cast<unsigned long long>(totalNodes),
              static_cast<unsigned long long>(nps));
  shutdown();
  return 0;
}
