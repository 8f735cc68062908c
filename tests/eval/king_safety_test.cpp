#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "core/options.h"
#include "eval/evaluate.h"
#include "eval/king_safety.h"
#include "eval/pawns.h"
#include "eval/preparation.h"
#include "eval/square_names.h"
#include "eval_helpers.h"

namespace {

class KingSafetyTerms : public ::testing::Test {
 protected:
  void SetUp() override { reset_eval_environment(); }

  // One king's value with the form chosen by the caller.
  int32_t king(const char* fen, int colour, bool endgameForm) {
    prepare_fen(p, fen);
    const PawnEntry& pawns = PawnLookup(*p, p.root());
    return KingSafety(*p, p.root(), colour, pawns, endgameForm);
  }
  int32_t sum(const char* fen) {
    prepare_fen(p, fen);
    const PawnEntry& pawns = PawnLookup(*p, p.root());
    const bool indicator = RootEval.endingIndicator[p.root().capturedTypes] != 0;
    return KingSafetySum(*p, p.root(), pawns, RootEval.PhaseFlags, indicator);
  }

  EvalPosition p;
};

std::vector<Square> zone_of(Square s) {
  std::vector<Square> out;
  for (const uint8_t* z = king_zone(s); *z; ++z) out.push_back(*z);
  std::sort(out.begin(), out.end());
  return out;
}

TEST_F(KingSafetyTerms, ZonesAreTheNeighboursAndThreeSquaresTwoRanksAhead) {
  EXPECT_EQ(zone_of(G1), (std::vector<Square>{F1, H1, F2, G2, H2, F3, G3, H3}));
  EXPECT_EQ(zone_of(A1), (std::vector<Square>{B1, A2, B2, A3, B3}));
  EXPECT_EQ(zone_of(E4), (std::vector<Square>{D3, E3, F3, D4, F4, D5, E5, F5, D6, E6, F6}));
  // On the last rank there is nothing ahead.
  EXPECT_EQ(zone_of(H8), (std::vector<Square>{G7, H7, G8}));
  EXPECT_EQ(king_shelter_square(G1), G2);
  EXPECT_EQ(king_shelter_square(E8), 0);
}

// A castled king with its three pawns and no enemy man on its zone. Worked by hand: the knight
// on f6 reaches g4, which the back-rank extension counts (t = 1) and which makes it an attacker
// (f = 1, e = 1): danger 2 - 1 = 1, halved to 0 in an open centre. The defence sum is 1 (g3 has
// two pawn guards): (2 - 1 - 4) x 14 / 10 = -4. The g2 pawn of the castled wing, with the enemy
// king in the centre: +14.
TEST_F(KingSafetyTerms, QuietCastledKingByHand) {
  const char* fen = "r2qk2r/ppp2ppp/2n2n2/8/8/8/5PPP/6K1 w kq - 0 1";
  EXPECT_EQ(king(fen, White, false), 10);
  // The g-pawn gone: no pawn on the g-file (-14), f3 and h3 lose their guard (defence -1, so
  // (-2 - 1 - 4) x 14 / 10 = -9), and the h2 pawn takes the castled-wing bonus (+20).
  EXPECT_EQ(king("r2qk2r/ppp2ppp/2n2n2/8/8/8/5P1P/6K1 w kq - 0 1", White, false), -3);
  // The knight on e8 instead of f6 reaches nothing: the danger share is 6 / 2 and t is 0.
  EXPECT_EQ(king("r2qn2r/ppp1kppp/2n5/8/8/8/5PPP/6K1 w - - 0 1", White, false), 3 - 2 + 14);
}

TEST_F(KingSafetyTerms, AttackersOnTheZoneCostMoreTheMoreThereAre) {
  const char* quiet = "r1b2rk1/pppp1ppp/2n2n2/8/8/2N2N2/PPPP1PPP/R1BQR1K1 b - - 0 1";
  const char* knight = "r1b2rk1/pppp1ppp/2n5/6n1/8/2N2N2/PPPP1PPP/R1BQR1K1 b - - 0 1";
  const char* knightAndQueen = "r1b2rk1/pppp1ppp/2n5/6n1/7q/2N2N2/PPPP1PPP/R1BQR1K1 b - - 0 1";
  const int32_t a = king(quiet, White, false);
  const int32_t b = king(knight, White, false);
  const int32_t c = king(knightAndQueen, White, false);
  EXPECT_LT(b, a);
  EXPECT_LT(c, b);
}

// A queen in contact with the king: a contact backed by a second attacker is far worse than a
// lone one, and it raises the alert for the search when the attacker is to move and the square
// has at most one defender, only with "Combinations" All or Some.
TEST_F(KingSafetyTerms, BackedQueenContactRaisesTheAlert) {
  // The black queen on h3 reaches h2 and h1 next to the white king on g1; the rook on h8 backs
  // it along the h-file.
  const char* backed = "6kr/5pp1/8/8/8/7q/5PP1/6K1 b - - 0 1";
  const char* alone = "6k1/5pp1/8/8/8/7q/5PP1/6K1 b - - 0 1";
  const char* whiteToMove = "6kr/5pp1/8/8/8/7q/5PP1/6K1 w - - 0 1";
  const int32_t withBacking = king(backed, White, false);
  EXPECT_EQ(p.root().evalAlert, 1);
  const int32_t lone = king(alone, White, false);
  EXPECT_EQ(p.root().evalAlert, 0);
  EXPECT_LT(withBacking, lone);
  king(whiteToMove, White, false);
  EXPECT_EQ(p.root().evalAlert, 0);
  Options.CombinationFlags[0] = 0;  // "Most" or "None"
  king(backed, White, false);
  EXPECT_EQ(p.root().evalAlert, 0);
}

TEST_F(KingSafetyTerms, EndgameForm) {
  // Without an enemy queen and with less than a rook's attack weight: exactly 0.
  EXPECT_EQ(king("4k3/8/8/8/8/8/3n4/4K3 w - - 0 1", White, true), 0);
  // A rook: A = 3. Rook on a2 attacks d2, e2, f2 (three zone squares, the king defends each but
  // the rook outnumbers nobody): o = 3, m = 0; e1 is on the edge: -(6 x 3) x 3 / 10 = -5.
  EXPECT_EQ(king("4k3/8/8/8/8/8/r7/4K3 w - - 0 1", White, true), -5);
  // Off the edge: -A x (m + o) / 2; around a king on e3 the rook attacks d2, e2 and f2.
  EXPECT_EQ(king("4k3/8/8/8/8/4K3/r7/8 w - - 0 1", White, true), -3 * 3 / 2);
  // With an enemy queen and A below 9: (shield - 21 m - 6 o) x A / 10; queen on a2: A = 6,
  // shield 0 (-50), o = 3 (d2, e2, f2), m = 0: (-50 - 18) x 6 / 10 = -40.
  EXPECT_EQ(king("4k3/8/8/8/8/8/q7/4K3 w - - 0 1", White, true), -40);
}

TEST_F(KingSafetyTerms, KingBetweenItsRooksWithoutCastlingRights) {
  // The king on e1 between its rooks on a1 and h1. Castling rights change nothing else in a
  // middlegame root, so the difference is the term alone: -4 x Black's weight 16 (with queen).
  const char* between = "r1bq1rk1/ppp2ppp/2n2n2/2bpp3/4P3/2NP1N2/PPPBQPPP/R3K2R w - - 0 1";
  const char* rights = "r1bq1rk1/ppp2ppp/2n2n2/2bpp3/4P3/2NP1N2/PPPBQPPP/R3K2R w KQ - 0 1";
  EXPECT_EQ(sum(rights) - sum(between), 64);
  // Without the black queen: -2 x 10.
  const char* noQueen = "r1b2rk1/ppp2ppp/2n2n2/2bpp3/4P3/2NP1N2/PPPBQPPP/R3K2R w - - 0 1";
  const char* noQueenRights = "r1b2rk1/ppp2ppp/2n2n2/2bpp3/4P3/2NP1N2/PPPBQPPP/R3K2R w K - 0 1";
  EXPECT_EQ(sum(noQueenRights) - sum(noQueen), 20);
}

// The "King Safety" weight multiplies the whole king sum, truncating toward zero.
TEST_F(KingSafetyTerms, WeightScalesTheKingSum) {
  const char* fen = "r1b2rk1/pp3ppp/2n1p3/3p2q1/3P4/2PBPN2/P4PPP/R2Q1RK1 w - - 0 12";
  const int32_t kings = sum(fen);
  ASSERT_NE(kings, 0);
  const int32_t plain = evaluate_root(p);
  Options.EvalWeights[WeightKingSafety] = 25;
  prepare_fen(p, fen);
  EXPECT_EQ(plain - evaluate_root(p), kings - kings * 25 / 100);
  Options.EvalWeights[WeightKingSafety] = 400;
  prepare_fen(p, fen);
  EXPECT_EQ(evaluate_root(p) - plain, kings * 3);
}

}  // namespace
