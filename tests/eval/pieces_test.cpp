#include <gtest/gtest.h>

#include "core/options.h"
#include "eval/evaluate.h"
#include "eval/pawns.h"
#include "eval/pieces.h"
#include "eval/preparation.h"
#include "eval/square_control.h"
#include "eval/square_names.h"
#include "eval/thread_tables.h"
#include "eval_helpers.h"

namespace {

class PieceTermsTest : public ::testing::Test {
 protected:
  void SetUp() override { reset_eval_environment(); }

  const PawnEntry& set(const char* fen) {
    prepare_fen(p, fen);
    return PawnLookup(*p, p.root());
  }
  bool endgame_form() const { return (RootEval.PhaseFlags & EndgameLikeMask) != 0; }
  int32_t man(const char* fen, Square s) {
    const PawnEntry& pawns = set(fen);
    return PieceValue(*p, p.root(), pawns, endgame_form(), s);
  }
  PieceTermSums sums(const char* fen) {
    const PawnEntry& pawns = set(fen);
    PieceTermSums out;
    PieceTerms(*p, p.root(), pawns, endgame_form(), out);
    return out;
  }

  EvalPosition p;
};

// A passed pawn on d5 with its rook behind it, against the same rook in front of it (ending
// tables). Behind: +10, the supported stop square d6 gives (69 - 44) / 3 = 8, the free path
// gives 90 + (130 - 90) / 3 = 13 more. In front: -10 for the rook, +8 for the stop square, and
// the path is not free (its own rook stands on it).
TEST_F(PieceTermsTest, PassedPawnWithTheRookBehindOrInFront) {
  const char* behind = "8/k7/8/3P4/8/8/8/3R2K1 w - - 0 1";
  const char* inFront = "3R4/k7/8/3P4/8/8/8/6K1 w - - 0 1";
  EXPECT_EQ(man(behind, D5) - man(inFront, D5), (10 + 8 + 90 + 13) - (-10 + 8));
  // A black knight blockading the pawn: -10, and the stop square is no longer free.
  const int32_t open = man(behind, D5);
  const int32_t blockaded = man("8/k7/3n4/3P4/8/8/8/3R2K1 w - - 0 1", D5);
  EXPECT_LT(blockaded, open - 10 - 90);
  // The black king in front of the pawn's file: -20 besides everything else.
  EXPECT_LT(man("8/8/2k5/3P4/8/8/8/3R2K1 w - - 0 1", D5), open - 20);
}

// The square of the pawn: the king on f4 is four steps from b8; the pawn on b5 needs three
// with White to move (unstoppable: +400 without black pieces, +30 with) but four with Black to
// move (the king is in time).
TEST_F(PieceTermsTest, UnstoppablePassersCountTheMoveOrder) {
  const PieceTermSums whiteMoves = sums("8/8/8/1P6/5k2/8/8/7K w - - 0 1");
  EXPECT_EQ(whiteMoves.unstoppable[White], 1);
  const PieceTermSums blackMoves = sums("8/8/8/1P6/5k2/8/8/7K b - - 0 1");
  EXPECT_EQ(blackMoves.unstoppable[White], 0);
  EXPECT_EQ(whiteMoves.pawnSum - blackMoves.pawnSum, 400);
  const PieceTermSums withKnight = sums("n7/8/8/1P6/5k2/8/8/7K w - - 0 1");
  EXPECT_EQ(withKnight.unstoppable[White], 1);
  // Black's mirror counts for Black.
  const PieceTermSums mirrored = sums("7k/8/8/5K2/1p6/8/8/8 b - - 0 1");
  EXPECT_EQ(mirrored.unstoppable[Black], 1);
  EXPECT_EQ(mirrored.pawnSum, -whiteMoves.pawnSum);
}

// A knight on d5 that no black pawn can ever chase away, guarded by the e4 pawn: +15 when Black
// has no knight and no bishop for the light squares, else +5; +14 for the pawn guard.
TEST_F(PieceTermsTest, KnightOutposts) {
  EXPECT_EQ(man("4k3/pp2bppp/8/3N4/4P3/8/PP3PPP/4K3 w - - 0 1", D5), 15 + 14);
  EXPECT_EQ(man("4k1n1/pp2bppp/8/3N4/4P3/8/PP3PPP/4K3 w - - 0 1", D5), 5 + 14);
  EXPECT_EQ(man("4k3/pp3ppp/2b5/3N4/4P3/8/PP3PPP/4K3 w - - 0 1", D5), 5 + 14);
  // Without the guard the square is an outpost only (+5); with a black pawn in front, +5 more.
  EXPECT_EQ(man("4k3/pp2bppp/8/3N4/8/8/PP3PPP/4K3 w - - 0 1", D5), 5);
  EXPECT_EQ(man("4k3/pp2bppp/3p4/3N4/8/8/PP3PPP/4K3 w - - 0 1", D5), 5 + 5);
}

// A man that an enemy slider attacks with a more valuable own man behind it.
TEST_F(PieceTermsTest, PinnedKnightsAndRooks) {
  EXPECT_EQ(man("4k3/8/8/b7/8/2N5/8/5K2 w - - 0 1", C3) - man("4k3/8/8/b7/8/2N5/8/4K3 w - - 0 1", C3),
            10);
  // A rook in front of its king on the file of an enemy rook is pinned too (the king is worth
  // more than anything); in front of a knight it is not.
  EXPECT_EQ(man("4r1k1/8/8/8/8/8/4R3/3K4 w - - 0 1", E2) - man("4r1k1/8/8/8/8/8/4R3/4K3 w - - 0 1", E2),
            10);
  EXPECT_EQ(man("4r1k1/8/8/8/8/8/4R3/4N1K1 w - - 0 1", E2) - man("4r1k1/8/8/8/8/8/4R3/6K1 w - - 0 1", E2),
            0);
  // Against a bishop as well.
  EXPECT_EQ(man("6k1/8/8/b7/8/8/3R4/5K2 w - - 0 1", D2) - man("6k1/8/8/b7/8/8/3R4/4K3 w - - 0 1", D2),
            10);
}

TEST_F(PieceTermsTest, TrappedBishops) {
  // Open centre +6, ending +3, and caught on a7 by b6 and c7 (-120) or b6 alone (-60).
  EXPECT_EQ(man("4k3/B1p5/1p6/8/8/8/8/4K3 w - - 0 1", A7), 6 + 3 - 120);
  EXPECT_EQ(man("4k3/B7/1p6/2p5/8/8/8/4K3 w - - 0 1", A7), 6 + 3 - 60);
  // The mirror on the h-file for Black: h2 with g3 and f2.
  EXPECT_EQ(man("4k3/8/8/8/8/6P1/5P1b/4K3 b - - 0 1", H2), 6 + 3 - 120);
}

// Rooks on the seventh against a king on the eighth, with the queen joining them there.
TEST_F(PieceTermsTest, RookOnTheSeventh) {
  // Bare black king: an ending. +24 on the seventh, +3 in the ending, open a-file +16 - 8.
  EXPECT_EQ(man("4k3/R7/8/8/8/8/8/4K3 w - - 0 1", A7), 24 + 3 + 8);
  EXPECT_EQ(man("4k3/R6Q/8/8/8/8/8/4K3 w - - 0 1", A7), 24 + 3 + 8 + 18);
  // A king on the seventh: +5 in the ending (the f-pawn leaves seven open files: 16 - 7).
  EXPECT_EQ(man("8/R4pk1/8/8/8/8/8/4K3 w - - 0 1", A7), 5 + 3 + 9);
}

// Bishop mobility counts the squares enemy pawns can never attack; own pawns end a diagonal,
// enemy pawns are counted and end it, other men are looked through. Only pawns matter, so the
// cached value stays valid whatever else moves.
TEST_F(PieceTermsTest, BishopMobilityAndItsCache) {
  // c1: b2, a3 and d2 .. h6: 7 squares, value 10.
  const PawnEntry& bare = set("4k3/8/8/8/8/8/8/2B1K3 w - - 0 1");
  EXPECT_EQ(BishopMobility(*p, p.root(), bare, White), 10);
  // The black pawn on f4 guards e3 (not counted) and is counted itself: b2, a3, d2, f4 = 4.
  const PawnEntry& pawn = set("4k3/8/8/8/5p2/8/8/2B1K3 w - - 0 1");
  EXPECT_EQ(BishopMobility(*p, p.root(), pawn, White), 4);
  // A black knight on d2 changes nothing; the second look-up is a cache hit with the same value.
  const PawnEntry& knight = set("4k3/8/8/8/5p2/8/3n4/2B1K3 w - - 0 1");
  EXPECT_EQ(BishopMobility(*p, p.root(), knight, White), 4);
  EXPECT_EQ(BishopMobility(*p, p.root(), knight, White), 4);
  // An own pawn on b2 ends that diagonal: d2, f4 = 2 -> -5.
  const PawnEntry& own = set("4k3/8/8/8/5p2/8/1P6/2B1K3 w - - 0 1");
  EXPECT_EQ(BishopMobility(*p, p.root(), own, White), -5);
  // A stale entry for another pawn structure is never used: clear, compute, and compare with a
  // cache filled by a different position that shares the bishop square.
  clear_bishop_mobility_cache(*p);
  EXPECT_EQ(BishopMobility(*p, p.root(), own, White), -5);
  // Black's bishop is the mirror.
  const PawnEntry& mirror = set("2b1k3/1p6/8/5P2/8/8/8/4K3 b - - 0 1");
  EXPECT_EQ(BishopMobility(*p, p.root(), mirror, Black), -5);
}

// Every knight move lands on a square that black pawns attack now or later: -3 each and the
// penalty for having no good square (-45 in an ending).
TEST_F(PieceTermsTest, KnightWithoutAGoodSquare) {
  const PawnEntry& pawns = set("4k3/8/8/2pp4/8/8/8/N3K3 w - - 0 1");
  EXPECT_EQ(KnightMobility(*p, pawns, White), -3 - 3 - 45);
  // On c3 with nothing around, every target is a good square (the knight's own attack makes
  // White the stronger there): a2 1, a4 1, b1 1, b5 2, d1 1, d5 4, e2 2, e4 4.
  const PawnEntry& open = set("4k3/8/8/8/8/2N5/8/4K3 w - - 0 1");
  EXPECT_EQ(KnightMobility(*p, open, White), 16);
}

// "Center Control" scales the centre value only; at 100 it is used as it is.
TEST_F(PieceTermsTest, CentreControlWeight) {
  const char* fen = "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4";
  const PawnEntry& pawns = set(fen);
  const int32_t centre = CentreControl(*p);
  ASSERT_NE(centre, 0);
  const int32_t full = SquareControl(*p, p.root(), pawns, false);
  Options.EvalWeights[WeightCenterControl] = 50;
  EXPECT_EQ(full - SquareControl(*p, p.root(), pawns, false), centre - centre * 50 / 100);
  // In the endgame form the centre is left out.
  EXPECT_EQ(full - SquareControl(*p, p.root(), pawns, true), centre);
}

TEST_F(PieceTermsTest, BishopColourAndPair) {
  // One light-squared white bishop, three white pawns on light squares, none on dark: -9.
  const PawnEntry& a = set("4k3/8/8/8/8/1P1P4/P3B3/4K3 w - - 0 1");
  ASSERT_EQ(a.pawnsOnColour[0], 3);
  EXPECT_EQ(BishopTerms(*p, p.root(), a).colourSum, -9);
  // The same bishop on a dark square: the pawns are on the other colour, +9.
  const PawnEntry& dark = set("4k3/8/8/8/8/1P1P4/P4B2/4K3 w - - 0 1");
  EXPECT_EQ(BishopTerms(*p, p.root(), dark).colourSum, 9);
  // Black passed pawns on the other colour are what a lone bishop cannot stop: (1 - 0) x 4.
  const PawnEntry& b = set("4k3/8/8/8/p7/8/5B2/4K3 w - - 0 1");
  ASSERT_NE(b.blackPassed, 0u);
  EXPECT_EQ(BishopTerms(*p, p.root(), b).colourSum, 0 + 4);
  // Two bishops: the pawn entry's pair bonus instead (11 for a centre without pawns), into the
  // pawn-structure sum; the side without the pair gets nothing.
  const PawnEntry& c = set("4k3/8/8/8/8/8/3BB3/4K3 w - - 0 1");
  const BishopTermSums pair = BishopTerms(*p, p.root(), c);
  EXPECT_EQ(pair.colourSum, 0);
  EXPECT_EQ(pair.pairSum, 11);
}

}  // namespace
