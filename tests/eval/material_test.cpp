#include <gtest/gtest.h>

#include <random>

#include "eval/material.h"
#include "eval/preparation.h"
#include "eval/thread_tables.h"
#include "eval_helpers.h"
#include "support/positions.h"

namespace {

class MaterialTable : public ::testing::Test {
 protected:
  void SetUp() override { reset_eval_environment(); }
  EvalPosition p;
  MaterialEntry of(const char* fen) {
    prepare_fen(p, fen);
    return MaterialLookup(*p, p.root());
  }
};

TEST_F(MaterialTable, OppositeColouredBishopsAreDrawish) {
  // Bishop and pawn each, bishops on c3 (dark) and e2 (light).
  MaterialEntry e = of("4k3/8/8/3p4/3P4/2B5/4b3/4K3 w - - 0 1");
  EXPECT_EQ(e.scale, 5);
  // Same colour: no scaling.
  e = of("4k3/8/8/3p4/3P4/2B5/8/4K1b1 w - - 0 1");
  EXPECT_EQ(e.scale, 0);
  // Rook, bishop and three pawns each, equal pawns: row 4, column 0.
  e = of("4k2r/5ppp/4b3/8/8/2B5/5PPP/3RK3 w - - 0 1");
  EXPECT_EQ(e.scale, 66);
  // One pawn more for White: column 1.
  e = of("4k2r/5ppp/4b3/8/8/2B2P2/5PPP/3RK3 w - - 0 1");
  EXPECT_EQ(e.scale, 72);
  // Bishops only with more pawns: row 1, difference 2.
  e = of("4k3/5p2/4b3/8/8/2B5/5PPP/4K3 w - - 0 1");
  EXPECT_EQ(e.scale, 60);
}

TEST_F(MaterialTable, ImbalanceRulesWithExactScores) {
  // Two knights cannot mate: the material edge is cancelled and the rest scaled to 20 %.
  // Trading term 32 + 75, lone pieces +50 - 40, fewer than two black pieces +10, then -650.
  MaterialEntry e = of("4k3/8/8/8/8/8/8/3NKN2 w - - 0 1");
  EXPECT_EQ(e.scale, 20);
  EXPECT_EQ(e.score, 117 + 10 - 650);

  // Knight against two pawns: the pawns count as 350 less, scale 75.
  e = of("4k3/8/8/4pp2/8/8/8/3NK3 w - - 0 1");
  EXPECT_EQ(e.scale, 75);
  EXPECT_EQ(e.score, 52 - 10 + 10 + (200 - 350));

  // Rook and bishop against rook and pawn: -250 and scale 40; the mirror gives +250.
  e = of("4k3/8/8/8/8/2p5/8/r2BK2R w - - 0 1");
  EXPECT_EQ(e.scale, 40);
  EXPECT_EQ(e.score, 27 + 10 - 250);
  MaterialEntry m = of("R2bk2r/8/2P5/8/8/8/8/4K3 b - - 0 1");
  EXPECT_EQ(m.scale, 40);
  EXPECT_EQ(m.score, -e.score);

  // The exchange: flags tell the evaluation who is up.
  e = of("r3k3/pppp4/8/8/8/8/PPPP4/R3KN2 w - - 0 1");  // N+R against R: not an exchange case
  EXPECT_EQ(e.flags, 0);
  e = of("r3kn2/pppp4/8/8/8/8/PPPP4/R2RK3 w - - 0 1");
  EXPECT_EQ(e.flags, MaterialWhiteUpExchange);
  e = of("r2rk3/pppp4/8/8/8/8/PPPP4/R3KN2 w - - 0 1");
  EXPECT_EQ(e.flags, MaterialBlackUpExchange);
  e = of("r1b1k3/pppp4/8/8/8/8/PPPP4/R3KN2 w - - 0 1");
  EXPECT_EQ(e.flags, MaterialMinorsEqual);
}

TEST_F(MaterialTable, BareKingsMatchAZeroedEntry) {
  MaterialEntry computed{};
  prepare_fen(p, "4k3/8/8/8/8/8/8/4K3 w - - 0 1");
  ComputeMaterialEntry(computed, p.root());
  EXPECT_EQ(computed.key, 0u);
  EXPECT_EQ(computed.score, 0);
  EXPECT_EQ(computed.scale, 0);
  EXPECT_EQ(computed.flags, 0);
}

TEST_F(MaterialTable, LookupRecomputesOnlyOnAKeyMismatch) {
  prepare_fen(p, "r1bqk2r/pp3ppp/2n5/8/8/2N5/PP3PPP/R1BQK2R w KQkq - 0 1");
  const PlyState& root = p.root();
  const uint32_t index = material_index(root.signature[White], root.signature[Black]);
  const MaterialEntry& e = MaterialLookup(*p, root);
  EXPECT_EQ(&e, &p->materialTable[index]);
  EXPECT_EQ(e.key, (uint32_t(root.signature[White]) << 16) | uint32_t(root.signature[Black]));
  // A hit returns the stored entry as it is.
  p->materialTable[index].score = 1234;
  EXPECT_EQ(MaterialLookup(*p, root).score, 1234);
  p->materialTable[index].key ^= 1;
  EXPECT_NE(MaterialLookup(*p, root).score, 1234);
}

// Every material configuration met in random games scores the same from both sides: the
// mirrored configuration has the negated score, the same scale and the exchange flags swapped.
TEST_F(MaterialTable, ColourMirrorGivesTheNegatedEntry) {
  std::mt19937 rng(11);
  EvalPosition mirror;
  for (const char* fen : TestFens) {
    for (int game = 0; game < 6; ++game) {
      set_fen(*p, fen);
      PlyState* ply = play_random_moves(*p, rng, 20 + int(rng() % 60));
      prepare_copy(mirror, *p, *ply, true);
      if (!signature_is_exact(*p)) {
        take_back_all(*p, ply);
        continue;
      }
      MaterialEntry a{}, b{};
      ComputeMaterialEntry(a, *ply);
      ComputeMaterialEntry(b, mirror.root());
      EXPECT_EQ(a.score, -b.score) << fen;
      EXPECT_EQ(a.scale, b.scale) << fen;
      const uint8_t swapped = uint8_t((b.flags & MaterialMinorsEqual) |
                                      ((b.flags & MaterialWhiteUpExchange) ? MaterialBlackUpExchange : 0) |
                                      ((b.flags & MaterialBlackUpExchange) ? MaterialWhiteUpExchange : 0));
      EXPECT_EQ(a.flags, swapped) << fen;
      take_back_all(*p, ply);
    }
  }
}

}  // namespace
