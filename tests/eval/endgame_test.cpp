// Endgame knowledge: each recogniser on positions where it must decide and on near misses where
// it must not, the exact values, the scaled advantages and the terms of endings.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "core/options.h"
#include "eval/endgame.h"
#include "eval/evaluate.h"
#include "eval/pawns.h"
#include "eval/pieces.h"
#include "eval/preparation.h"
#include "eval/square_names.h"
#include "eval_helpers.h"

namespace {

class Endgame : public ::testing::Test {
 protected:
  void SetUp() override { reset_eval_environment(); }

  EvalPosition p;

  struct Recognised {
    EndingVerdict verdict;
    int32_t scale, value;
  };
  Recognised recognise(const char* fen) {
    prepare_fen(p, fen);
    Recognised r{EndingOpen, 0, 0};
    r.verdict = RecogniseEnding(*p, p.root(), PawnLookup(*p, p.root()), r.scale, r.value);
    return r;
  }
  // The positional part of the full evaluation, from the side to move's view.
  int32_t positional(const char* fen) {
    prepare_fen(p, fen);
    return evaluate_root(p) - FastScore(p.root());
  }
  int32_t evaluate(const char* fen) {
    prepare_fen(p, fen);
    return evaluate_root(p);
  }
  int32_t corrections(const char* fen, int32_t& scale) {
    prepare_fen(p, fen);
    const PawnEntry& pawns = PawnLookup(*p, p.root());
    scale = 0;
    const bool pawnEnding = p.root().phase[White] == 0 && p.root().phase[Black] == 0;
    return EndgameCorrections(*p, p.root(), pawns, unstoppable(), pawnEnding, scale);
  }
  // Passed pawns that the enemy king cannot catch, as the per-piece loop counts them.
  const int* unstoppable() {
    PieceTerms(*p, p.root(), PawnLookup(*p, p.root()), true, sums);
    return sums.unstoppable;
  }
  PieceTermSums sums;
};

TEST_F(Endgame, KingAndPawnAgainstKingIsExact) {
  // The attacking king beside the queening path wins: the positional part is the win value.
  EXPECT_EQ(positional("2k5/2P5/4K3/8/8/8/8/8 w - - 0 1"), KpkWinValue);
  // The same with colours exchanged: Black's pawn, Black to move, the same value for the mover.
  EXPECT_EQ(positional("8/8/8/8/8/4k3/2p5/2K5 b - - 0 1"), KpkWinValue);
  // The side to move matters: kings in opposition in front of the pawn; whoever must give way
  // loses the key squares.
  EXPECT_EQ(evaluate("8/4k3/8/4K3/4P3/8/8/8 w - - 0 1"), 0);
  EXPECT_EQ(positional("8/4k3/8/4K3/4P3/8/8/8 b - - 0 1"), -KpkWinValue);

  // A rook pawn with the defending king near the corner is a dead draw: exactly 0, whatever the
  // contempt of "Draw Score".
  Options.DrawScore = 60;
  prepare_fen(p, "8/1k6/8/8/P3K3/8/8/8 w - - 0 1");
  set_contempt(White);
  EXPECT_NE(FastScore(p.root()), 0);
  EXPECT_EQ(evaluate_root(p), 0);
  set_contempt(Black);
  EXPECT_EQ(evaluate_root(p), 0);
  // A draw is not stored: evaluating again with a narrow window still finds it.
  EXPECT_EQ(Evaluate(*p, p.root(), -5, 5, 0), 0);
  EXPECT_EQ(Evaluate(*p, p.root(), -5, 5, 0), 0);
}

TEST_F(Endgame, BishopAndKnightMateDrivesToTheBishopsCorner) {
  // Only the three distances count in the positional part: 3 x (4 + 4) + 8 x 2 for the bare
  // king, which is White here.
  EXPECT_EQ(positional("8/8/8/3nb3/8/2k5/8/K7 w - - 0 1"), 40);
  EXPECT_EQ(positional("8/8/8/3nb3/8/2k5/8/K7 b - - 0 1"), -40);
  // With the same distances, the bare king in a corner of the bishop's colour stands worse:
  // a dark bishop (e5) mates on a1 and h8, a light one (d5) on h1 and a8.
  const int32_t darkA1 = evaluate("8/8/8/3nb3/8/2k5/8/K7 w - - 0 1");
  const int32_t darkH1 = evaluate("8/8/8/3nb3/8/5k2/8/7K w - - 0 1");
  EXPECT_EQ(darkA1 - darkH1, -76);
  const int32_t lightA1 = evaluate("8/8/8/3bn3/8/2k5/8/K7 w - - 0 1");
  const int32_t lightH1 = evaluate("8/8/8/3bn3/8/5k2/8/7K w - - 0 1");
  EXPECT_EQ(lightA1 - lightH1, 76);
  // Black bare: the mirror, from Black's view.
  EXPECT_EQ(positional("k7/8/2K5/8/3NB3/8/8/8 b - - 0 1"), 40);
}

TEST_F(Endgame, MinorPiecesWithoutPawns) {
  EXPECT_EQ(recognise("k7/8/8/8/8/8/8/4K3 w - - 0 1").verdict, EndingDraw);
  EXPECT_EQ(recognise("k7/8/8/8/8/8/8/4K1n1 w - - 0 1").verdict, EndingDraw);
  EXPECT_EQ(recognise("k7/8/8/8/8/8/8/4K1nn w - - 0 1").verdict, EndingDraw);
  EXPECT_EQ(recognise("K7/8/8/8/8/8/8/4k1NN b - - 0 1").verdict, EndingDraw);
  // Three knights can mate: no draw, but the positional part is 0 and nothing else counts.
  const Recognised three = recognise("k7/8/8/8/8/8/8/2n1K1nn w - - 0 1");
  EXPECT_EQ(three.verdict, EndingExact);
  EXPECT_EQ(three.value, 0);
  // Two bishops on one colour cannot mate; on both colours they can.
  EXPECT_EQ(recognise("k7/8/8/8/8/4b3/8/2b1K3 w - - 0 1").verdict, EndingDraw);
  const Recognised pair = recognise("k7/8/8/8/8/8/8/2b1Kb2 w - - 0 1");
  EXPECT_EQ(pair.verdict, EndingOpen);
  EXPECT_EQ(pair.scale, 0);
  // A rook or queen against a bare king is left to the ordinary terms.
  EXPECT_EQ(recognise("k7/8/8/8/8/8/8/4K2r w - - 0 1").verdict, EndingOpen);
}

TEST_F(Endgame, PiecesOnBothSidesWithoutPawns) {
  Options.DrawScore = 30;
  prepare_fen(p, "k7/8/8/8/8/8/r7/4K2R w - - 0 1");
  set_contempt(White);
  EXPECT_EQ(evaluate_root(p), 0);  // equal material
  EXPECT_EQ(recognise("k7/8/8/8/8/8/n7/4K2B w - - 0 1").verdict, EndingDraw);
  // Up to a minor piece ahead: the advantage is scaled to a fifth.
  const Recognised rookBishop = recognise("k7/8/8/8/8/8/b7/4K2R w - - 0 1");
  EXPECT_EQ(rookBishop.verdict, EndingOpen);
  EXPECT_EQ(rookBishop.scale, 20);
  // A queen against a rook is more than a minor ahead.
  const Recognised queenRook = recognise("k7/8/8/8/8/8/r7/4K2Q w - - 0 1");
  EXPECT_EQ(queenRook.verdict, EndingOpen);
  EXPECT_EQ(queenRook.scale, 0);
}

TEST_F(Endgame, QueenAgainstPawnOnTheSeventh) {
  // Bishop-file pawn with the king in the corner beside it, attacking king far away: draw.
  EXPECT_EQ(evaluate("7K/8/8/8/8/3Q4/2p5/k7 w - - 0 1"), 0);
  EXPECT_EQ(evaluate("K7/2P5/3q4/8/8/8/8/7k b - - 0 1"), 0);
  // The attacking king close enough: the queen wins, and the correction rewards the king's
  // approach to the queening square (8 - 2) x 24.
  Recognised near = recognise("8/8/8/8/8/3QK3/2p5/k7 w - - 0 1");
  EXPECT_EQ(near.verdict, EndingOpen);
  EXPECT_EQ(near.value, 144);
  // A centre pawn never holds: (8 - 7) x 24.
  near = recognise("7K/8/8/8/8/8/3p3Q/2k5 w - - 0 1");
  EXPECT_EQ(near.verdict, EndingOpen);
  EXPECT_EQ(near.value, 24);
  // The queen on the queening square: 60 more.
  near = recognise("7K/8/8/8/8/1k6/2p5/2Q5 w - - 0 1");
  EXPECT_EQ(near.verdict, EndingOpen);
  EXPECT_EQ(near.value, 60 + 24);
  // Black's pawn: the same corrections from White's view, negated.
  near = recognise("2q5/K7/2P5/8/8/8/8/7k b - - 0 1");
  EXPECT_EQ(near.value, -(60 + 24));

  // King on the queening square: with White to move the attacker has one move more (limit 6).
  EXPECT_EQ(recognise("8/8/7K/8/4Q3/8/2p5/2k5 b - - 0 1").verdict, EndingDraw);
  EXPECT_EQ(recognise("8/8/7K/8/4Q3/8/2p5/2k5 w - - 0 1").verdict, EndingOpen);
  // The f-pawn with the defending king in the h1 corner: a white king on the g-file needs to be
  // one step nearer (limit 4).
  EXPECT_EQ(recognise("8/8/8/Q5K1/8/8/5p2/7k w - - 0 1").verdict, EndingDraw);
  EXPECT_EQ(recognise("8/8/8/Q3K3/8/8/5p2/7k w - - 0 1").verdict, EndingOpen);
}

TEST_F(Endgame, MinorAndPawnAgainstMinor) {
  // The defending king in front of the pawn on a square the bishop cannot attack: draw.
  EXPECT_EQ(evaluate("8/8/4k3/8/4P3/8/3B4/4K2n w - - 0 1"), 0);
  // The bishop of the king's colour: only scaled, harder with a defending bishop.
  EXPECT_EQ(recognise("8/8/4k3/8/4P3/8/2B5/4K2n w - - 0 1").scale, 20);
  EXPECT_EQ(recognise("8/8/4k3/8/4P3/8/2B5/4K2b w - - 0 1").scale, 10);
  // The defending king elsewhere.
  EXPECT_EQ(recognise("k7/8/8/8/4P3/8/2B5/4K2n w - - 0 1").scale, 70);
  EXPECT_EQ(recognise("k7/8/8/8/4P3/8/2B5/4K2b w - - 0 1").scale, 50);
  // A rook pawn is not scaled by this rule.
  const Recognised rookPawn = recognise("4k3/8/8/8/P7/8/2B5/4K2n w - - 0 1");
  EXPECT_EQ(rookPawn.verdict, EndingOpen);
  EXPECT_EQ(rookPawn.scale, 0);
  // Black's pawn, White's king in front of it.
  EXPECT_EQ(recognise("4k2N/3b4/8/4p3/8/4K3/8/8 b - - 0 1").verdict, EndingDraw);
  EXPECT_EQ(recognise("4k2N/2b5/8/4p3/8/4K3/8/8 b - - 0 1").scale, 20);
}

TEST_F(Endgame, RookAndPawnAgainstRookWithTheKingInFront) {
  EXPECT_EQ(recognise("8/8/4k3/8/4P3/8/r7/4K2R w - - 0 1").scale, 30);
  EXPECT_EQ(recognise("8/8/4k3/8/4P3/8/r7/4K2R w - - 0 1").verdict, EndingOpen);
  // Pawn on the sixth, the defending rook on the sixth, or the king on a wing file level with
  // its rook: draws.
  EXPECT_EQ(evaluate("4k3/8/4P3/8/8/8/r7/4K2R w - - 0 1"), 0);
  EXPECT_EQ(recognise("8/8/r3k3/8/4P3/8/8/4K2R w - - 0 1").verdict, EndingDraw);
  EXPECT_EQ(recognise("8/r5k1/8/8/6P1/8/8/4K2R w - - 0 1").verdict, EndingDraw);
  EXPECT_EQ(recognise("8/r3k3/8/8/4P3/8/8/4K2R w - - 0 1").verdict, EndingOpen);
  // Mirror: Black's pawn on its sixth (rank 3) with White's king in front.
  EXPECT_EQ(recognise("4k2r/8/8/8/8/4p3/R7/4K3 b - - 0 1").verdict, EndingDraw);
  EXPECT_EQ(recognise("4k2r/8/8/4p3/8/8/R7/4K3 b - - 0 1").scale, 30);
}

TEST_F(Endgame, OnePawnUpAgainstNoPawns) {
  // Queens each: scaled to 40 with the defending king in front, 60 otherwise.
  EXPECT_EQ(recognise("8/8/4k3/8/4P3/8/q7/4K2Q w - - 0 1").scale, 40);
  EXPECT_EQ(recognise("8/8/3k4/8/4P3/8/q7/4K2Q w - - 0 1").scale, 60);
  // Two knights and a pawn against two knights: 20 and 30.
  EXPECT_EQ(recognise("8/8/4k3/8/4P3/8/nn6/4K1NN w - - 0 1").scale, 20);
  EXPECT_EQ(recognise("8/8/3k4/8/4P3/8/nn6/4K1NN w - - 0 1").scale, 30);
  EXPECT_EQ(recognise("4k1nn/8/8/4p3/8/3K4/8/NN6 b - - 0 1").scale, 30);
}

TEST_F(Endgame, WrongBishopWithRookPawns) {
  // A light bishop cannot drive the king from h8.
  EXPECT_EQ(evaluate("7k/8/8/7P/7P/3B4/8/4K3 w - - 0 1"), 0);
  // The dark bishop controls h8: no rule.
  Recognised r = recognise("7k/8/8/7P/7P/4B3/8/4K3 w - - 0 1");
  EXPECT_EQ(r.verdict, EndingOpen);
  EXPECT_EQ(r.scale, 0);
  // Four defending pawns off the rook file leave winning chances; three do not.
  r = recognise("7k/1ppp1p2/8/7P/7P/3B4/8/4K3 w - - 0 1");
  EXPECT_EQ(r.verdict, EndingOpen);
  EXPECT_EQ(r.scale, 40);
  EXPECT_EQ(recognise("7k/1pp2p2/8/7P/7P/3B4/8/4K3 w - - 0 1").verdict, EndingDraw);
  // A defending g-pawn beyond the h-pawn changes the picture.
  EXPECT_EQ(recognise("7k/8/6p1/8/7P/3B4/8/4K3 w - - 0 1").verdict, EndingOpen);
  // The king still on its way: it must reach the corner before every attacking man.
  EXPECT_EQ(recognise("8/8/5k2/8/8/7P/B7/4K3 w - - 0 1").verdict, EndingDraw);
  EXPECT_EQ(recognise("8/8/5k2/7P/8/8/B7/4K3 w - - 0 1").verdict, EndingOpen);
  // With the defender to move it has a tempo more.
  EXPECT_EQ(recognise("8/8/5k2/7P/8/8/B7/4K3 b - - 0 1").verdict, EndingDraw);
  // A pawn on its start square counts one step nearer (the double step): h2 is as near as h3.
  EXPECT_EQ(recognise("8/8/8/8/8/2k5/B6P/4K3 b - - 0 1").verdict, EndingOpen);
  EXPECT_EQ(recognise("8/8/8/8/3k4/8/B6P/4K3 b - - 0 1").verdict, EndingDraw);
  // Black: a dark bishop and h-pawns queen on the light h1.
  EXPECT_EQ(evaluate("4k3/8/3b4/7p/7p/8/8/7K b - - 0 1"), 0);
}

TEST_F(Endgame, PawnEndingsWithRookPawnsOnly) {
  Options.DrawScore = 40;
  prepare_fen(p, "1k6/8/8/8/P7/P7/8/4K3 w - - 0 1");
  set_contempt(White);
  EXPECT_EQ(evaluate_root(p), 0);
  // The defending king away from the corner: White wins.
  EXPECT_GT(evaluate("3k4/8/8/8/P7/P7/8/4K3 w - - 0 1"), 100);
  EXPECT_EQ(evaluate("4k3/8/8/8/8/7p/7p/6K1 b - - 0 1"), 0);
  // A pawn on another file too.
  EXPECT_GT(evaluate("1k6/8/8/8/P7/P7/4P3/4K3 w - - 0 1"), 100);
}

TEST_F(Endgame, UnstoppablePassersRaceTheKing) {
  prepare_fen(p, "8/8/8/P7/4k3/8/8/4K3 w - - 0 1");
  EXPECT_EQ(unstoppable()[White], 1);  // a5 needs 3 moves, the king 4
  EXPECT_EQ(unstoppable()[Black], 0);
  prepare_fen(p, "8/8/8/P7/4k3/8/8/4K3 b - - 0 1");
  EXPECT_EQ(unstoppable()[White], 0);  // Black moves first and catches it
  prepare_fen(p, "8/8/8/4K3/8/8/p7/7k w - - 0 1");
  EXPECT_EQ(unstoppable()[Black], 1);
  EXPECT_EQ(unstoppable()[White], 0);

  // Two runners against a lone knight: 50 more than against two knights (which stop nothing
  // here either, but are not a lone minor).
  int32_t scale;
  const int32_t lone = corrections("8/P7/1P6/8/8/5k2/8/n3K3 w - - 0 1", scale);
  const int32_t two = corrections("8/P7/1P6/8/8/5k2/8/n3K1n1 w - - 0 1", scale);
  EXPECT_EQ(lone - two, 50);
}

TEST_F(Endgame, RookAndTwoPawnsAgainstRook) {
  int32_t scale;
  // f- and h-pawns: scaled to 80.
  corrections("8/6k1/8/5P1P/8/8/r7/4K2R w - - 0 1", scale);
  EXPECT_EQ(scale, 80);
  // Connected g- and h-pawns: the defending rook behind them costs 25 and scales; a rook on
  // another file does neither (the kings and pawns are the same, so the difference is the rule).
  int32_t rookScale, freeScale;
  const int32_t behind = corrections("6r1/8/4k3/8/6PP/8/8/R3K3 w - - 0 1", rookScale);
  const int32_t free = corrections("r7/8/4k3/8/6PP/8/8/R3K3 w - - 0 1", freeScale);
  EXPECT_EQ(behind - free, -25);
  EXPECT_EQ(rookScale, 80);
  EXPECT_EQ(freeScale, 0);
  // The king blockading one pawn with the other beside it.
  corrections("r7/8/8/6Pk/7P/8/8/R3K3 w - - 0 1", scale);
  EXPECT_EQ(scale, 80);
  // An unstoppable pawn switches the rule off.
  corrections("6r1/5kP1/8/8/7P/8/8/R3K3 w - - 0 1", scale);
  EXPECT_EQ(scale, 80);
  corrections("6r1/k5P1/8/8/7P/8/8/R3K3 w - - 0 1", scale);
  EXPECT_EQ(scale, 0);
  // Black's pawns: the same rule with the signs reversed.
  const int32_t blackBehind = corrections("r3k3/8/8/6pp/8/4K3/8/6R1 b - - 0 1", rookScale);
  const int32_t blackFree = corrections("r3k3/8/8/6pp/8/4K3/8/R7 b - - 0 1", freeScale);
  EXPECT_EQ(blackBehind - blackFree, 25);
  EXPECT_EQ(rookScale, 80);
  EXPECT_EQ(freeScale, 0);
}

TEST_F(Endgame, KingsAreDrawnToThePawns) {
  int32_t scale;
  // Kings the same distance from their targets give nothing; a white king that walks away
  // from the pawns loses by the tables.
  const int32_t near = corrections("8/8/3k4/3p4/3P4/3K4/8/8 w - - 0 1", scale);
  const int32_t far = corrections("8/8/3k4/3p4/3P4/8/8/7K w - - 0 1", scale);
  EXPECT_EQ(near, 0);
  EXPECT_LT(far, near);
  // In pawn endings the file distance weighs more than with pieces: the h1 king is 4 files
  // from the d-file average, -40 against -25.
  const int32_t withKnights = corrections("8/8/3k4/3p4/3P4/8/n7/N6K w - - 0 1", scale);
  EXPECT_EQ(far - withKnights, -40 - -25);
}

TEST_F(Endgame, FortressOfALockedChain) {
  prepare_fen(p, "4k3/8/8/8/8/8/8/4K3 w - - 0 1");
  PawnEntry pawns{};
  const int none[2] = {0, 0}, one[2] = {1, 0};
  pawns.flags = PawnWall;
  pawns.whiteReach = square_bit(E1) | square_bit(D1);
  pawns.blackReach = square_bit(E8);
  pawns.whitePawnCount = pawns.blackPawnCount = 8;
  EXPECT_TRUE(FortressHolds(*p, pawns, false, none));  // all sixteen pawns, no open file
  pawns.openFiles = 1;
  EXPECT_FALSE(FortressHolds(*p, pawns, false, none));
  EXPECT_TRUE(FortressHolds(*p, pawns, true, none));   // pawn ending without runners
  EXPECT_FALSE(FortressHolds(*p, pawns, true, one));
  pawns.blackReach = square_bit(D8);                   // the black king outside its region
  EXPECT_FALSE(FortressHolds(*p, pawns, true, none));
  pawns.blackReach = square_bit(E8);
  pawns.flags = 0;                                     // no wall
  EXPECT_FALSE(FortressHolds(*p, pawns, true, none));

  // A real chain: the white king's region is the b-, d-, f- and h-files below the pawns.
  prepare_fen(p, "3k4/8/8/1p1p1p1p/1P1P1P1P/8/3K4/8 w - - 0 1");
  EXPECT_TRUE(FortressHolds(*p, PawnLookup(*p, p.root()), true, unstoppable()));
  EXPECT_LE(std::abs(evaluate_root(p)), 2);  // scaled to 2 percent
  prepare_fen(p, "3k4/8/8/1p1p1p1p/1P1P1P1P/8/2K5/8 w - - 0 1");
  EXPECT_FALSE(FortressHolds(*p, PawnLookup(*p, p.root()), true, unstoppable()));
}

}  // namespace
