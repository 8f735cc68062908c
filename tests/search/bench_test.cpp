#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "fixed_depth.h"

namespace {

Position pos;

// Not a test: the speed of a fixed-depth search over a few middlegame positions, one thread.
// Run with --gtest_also_run_disabled_tests --gtest_filter='*SearchSpeed*'.
TEST(Benchmark, DISABLED_SearchSpeed) {
  const char* fens[] = {
      "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "r2q1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP2BPPP/R2Q1RK1 w - - 0 9",
      "r1bq1rk1/pp3ppp/2nbpn2/3p4/2PP4/2NBPN2/PP3PPP/R1BQ1RK1 w - - 0 8",
  };
  const int depth = 10;
  uint64_t nodes = 0;
  const auto start = std::chrono::steady_clock::now();
  for (const char* fen : fens) {
    ASSERT_TRUE(load_test_position(pos, fen));
    nodes += search_fixed_depth(pos, depth).nodes;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("depth %d nodes %llu time %.3f s nps %.0f\n", depth, (unsigned long long)nodes,
              seconds, nodes / seconds);
}

}  // namespace
