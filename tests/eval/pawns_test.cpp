#include <gtest/gtest.h>

#include "eval/pawns.h"
#include "eval/preparation.h"
#include "eval/square_names.h"
#include "eval_helpers.h"

namespace {

class PawnStructure : public ::testing::Test {
 protected:
  void SetUp() override { reset_eval_environment(); }
  EvalPosition p;
  const PawnEntry& of(const char* fen) {
    prepare_fen(p, fen);
    return PawnLookup(*p, p.root());
  }
};

TEST_F(PawnStructure, NoPawnsGiveAnEmptyEntry) {
  const PawnEntry& e = of("4k3/8/8/3r4/8/8/8/4K2R w - - 0 1");
  EXPECT_EQ(e.key, p.root().pawnLock);
  EXPECT_EQ(e.whitePawnCount + e.blackPawnCount, 0);
  EXPECT_EQ(e.averageFile, 0);
  EXPECT_EQ(e.pawnCentre, 0);
  EXPECT_EQ(e.spreadScale, 0);
  EXPECT_EQ(e.openFiles, 8);
  EXPECT_EQ(e.score, 0);
  EXPECT_EQ(e.whitePassed | e.blackPassed | e.whiteSpan | e.blackSpan, 0u);
  EXPECT_EQ(e.whiteRearRank[4], 9);
  EXPECT_EQ(e.blackRearRank[4], 0);
}

TEST_F(PawnStructure, NoPassedPawnsInTheOpening) {
  // Black has lost c-, d- and e-pawns: White's d-pawn has nothing in front of it.
  const char* fen = "rnbqkbnr/pp3ppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
  const PawnEntry& e = of(fen);
  ASSERT_EQ(RootEval.PhaseFlags, PhaseOpening);
  EXPECT_EQ(e.whitePassed, 0u);
  EXPECT_EQ(e.blackPassed, 0u);
  // The same structure in the middlegame (a queen less) has the passed d-pawn.
  const PawnEntry& m = of("rnb1kbnr/pp3ppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  ASSERT_EQ(RootEval.PhaseFlags, PhaseMiddlegame);
  EXPECT_EQ(m.whitePassed, square_bit(D2));
  EXPECT_EQ(m.passedOnColour[0] + m.passedOnColour[1], -1);
}

TEST_F(PawnStructure, DoubledIsolatedPawnsOnAnOtherwisePawnlessFile) {
  // e3 and e4 alone against a bare king. Each pawn: doubled -7, no black pawn on the file -2,
  // isolated -15, weak -10 and -2 on the half-open file; e4 is passed (32 in the ending).
  // File terms: two isolated pawns -2, two pawns up -4.
  const PawnEntry& e = of("4k3/8/8/8/4P3/4P3/8/4K3 w - - 0 1");
  ASSERT_EQ(RootEval.PhaseFlags, PhaseBlackBare | PhasePawnsOnly);
  EXPECT_EQ(e.whitePassed, square_bit(E4));
  EXPECT_EQ(e.whiteWeak, square_bit(E3) | square_bit(E4));
  EXPECT_EQ(e.whiteIsolated, 2);
  EXPECT_EQ(e.score, (-7 - 2 - 15 - 10 - 2) + (32 - 7 - 2 - 15 - 10 - 2) - 2 - 4);
  EXPECT_EQ(e.blackRookBonus, -(2 + 7) * 2);
  EXPECT_EQ(e.whiteBishopPairBonus, 10 + 11);  // the passed pawn and the open centre
  EXPECT_TRUE(e.flags & PawnCentreOpen);
  // With a black pawn on the e-file but none beside it, each doubled isolated pawn costs -20
  // and is no longer passed; the lone black pawn is weak (-10 for White's view +10).
  const PawnEntry& f = of("4k3/4p3/8/8/4P3/4P3/8/4K3 w - - 0 1");
  EXPECT_EQ(f.whitePassed, 0u);
  EXPECT_EQ(f.score, (-7 - 20 - 10) * 2 + 10 - 2);
  EXPECT_EQ(f.blackRookBonus, 0);
}

TEST_F(PawnStructure, NarrowStructuresScaleDown) {
  // Three against three on files a-c, no passed pawn: span 2.
  EXPECT_EQ(of("4k3/ppp5/8/8/8/8/PPP5/4K3 w - - 0 1").spreadScale, 73);
  // One pawn each on one file: span 0.
  EXPECT_EQ(of("4k3/8/8/4p3/4P3/8/8/4K3 w - - 0 1").spreadScale, 55);
  // A passed pawn widens the chances: three against two on a-d, span 3.
  EXPECT_EQ(of("4k3/pp6/8/8/8/8/PP1P4/4K3 w - - 0 1").spreadScale, 85);
  // Wider than four files: none; a two-pawn difference: none.
  EXPECT_EQ(of("4k3/p6p/8/8/8/8/P6P/4K3 w - - 0 1").spreadScale, 0);
  EXPECT_EQ(of("4k3/p7/8/8/8/8/PPP5/4K3 w - - 0 1").spreadScale, 0);
}

TEST_F(PawnStructure, CentreTypes) {
  // Locked French-like centre: c, d and e blocked.
  const PawnEntry& closed = of("r1bqkb1r/pp3ppp/2n1p3/2ppP3/3P4/2P2N2/PP3PPP/RNBQKB1R w KQkq - 0 1");
  EXPECT_EQ(closed.flags & (PawnCentreOpen | PawnCentreClosed), PawnCentreClosed);
  // No centre pawns at all: open.
  const PawnEntry& open = of("r1bqkb1r/pp3ppp/2n5/8/8/2N2N2/PP3PPP/R1BQKB1R w KQkq - 0 1");
  EXPECT_EQ(open.flags & (PawnCentreOpen | PawnCentreClosed), PawnCentreOpen);
  EXPECT_EQ(open.whiteBishopPairBonus, 11);
  EXPECT_EQ(open.blackBishopPairBonus, -11);
}

TEST_F(PawnStructure, SpansOutpostsAndTheKingWall) {
  // A full locked chain across the board: no king can cross it.
  const PawnEntry& wall = of("4k3/8/1p1p1p1p/pPpPpPpP/P1P1P1P1/8/8/4K3 w - - 0 1");
  EXPECT_TRUE(wall.flags & PawnWall) << wall.flags;
  // The same pawns with room to move: no wall.
  const PawnEntry& loose = of("4k3/2p1p1p1/8/pP1P1P1P/P1P1P1P1/8/8/4K3 w - - 0 1");
  EXPECT_FALSE(loose.flags & PawnWall);

  // Black pawns on c5 and e5: d5 and d6 can never be attacked by them; d4 can.
  const PawnEntry& e = of("4k3/8/8/2p1p3/8/8/3P4/4K3 w - - 0 1");
  EXPECT_TRUE(e.whiteOutposts & square_bit(D5));
  EXPECT_TRUE(e.whiteOutposts & square_bit(D6));
  EXPECT_FALSE(e.whiteOutposts & square_bit(D4));
  EXPECT_EQ(e.whiteSpan, front_attack_span(White, D2));
  EXPECT_TRUE(e.blackSpan & square_bit(D4));
  EXPECT_TRUE(e.blackSpan & square_bit(F1));
  EXPECT_FALSE(e.blackSpan & square_bit(C4));
}

TEST_F(PawnStructure, LookupComputesOnceAndKeysByThePawnLock) {
  prepare_fen(p, "4k3/ppp5/8/8/8/8/PPP5/4K3 w - - 0 1");
  const PlyState& root = p.root();
  PawnEntry& slot = p->pawnHash[root.pawnKey & (PawnHashSize - 1)];
  const PawnEntry& e = PawnLookup(*p, root);
  EXPECT_EQ(&e, &slot);
  slot.score = 999;
  EXPECT_EQ(PawnLookup(*p, root).score, 999);  // a hit is not recomputed
  slot.key ^= 1;
  EXPECT_NE(PawnLookup(*p, root).score, 999);
}

}  // namespace
