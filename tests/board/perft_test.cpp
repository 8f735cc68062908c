#include <gtest/gtest.h>

#include "board/perft.h"
#include "support/positions.h"

namespace {

struct PerftCase {
  const char* fen;
  int depth;
  uint64_t nodes;
};

// Published leaf counts of the standard test positions, one or two plies short of the full
// depths (the full depths run in the slow suite).
const PerftCase Cases[] = {
    {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 5, 4865609},
    {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 4, 4085603},
    {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 5, 674624},
    {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", 4, 422333},
    {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", 4, 2103487},
    {"r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10", 4, 3894594},
    // Smaller positions around en passant, promotions and castling rights.
    {"8/8/8/K2pP2r/8/8/8/7k w - d6 0 1", 4, 8288},
    {"n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1", 4, 182838},
};

TEST(Perft, PublishedCountsAtReducedDepth) {
  auto pos = new_position();
  for (const PerftCase& c : Cases) {
    set_fen(*pos, c.fen);
    EXPECT_EQ(perft(*pos, &pos->plies[0], c.depth), c.nodes) << c.fen;
  }
}

// The fast count decides most last-ply moves from the attack tables; it must agree with the
// published counts and, on the varied test positions (checks, pins, en passant, castling),
// with making every leaf.
TEST(Perft, BulkCountingAgreesWithMakingEveryLeaf) {
  auto pos = new_position();
  for (const PerftCase& c : Cases) {
    set_fen(*pos, c.fen);
    EXPECT_EQ(perft_bulk(*pos, &pos->plies[0], c.depth), c.nodes) << c.fen;
  }
  for (const char* fen : TestFens) {
    set_fen(*pos, fen);
    for (int depth = 1; depth <= 3; ++depth)
      EXPECT_EQ(perft_bulk(*pos, &pos->plies[0], depth), perft(*pos, &pos->plies[0], depth))
          << fen << " depth " << depth;
  }
}

}  // namespace
