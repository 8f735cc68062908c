#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "board/consistency.h"
#include "board/game.h"
#include "board/notation.h"
#include "board/makemove.h"
#include "core/options.h"
#include "eval/base_tables.h"
#include "eval/preparation.h"
#include "eval/square_names.h"
#include "eval_helpers.h"
#include "support/positions.h"

namespace {

class RootPreparation : public ::testing::Test {
 protected:
  void SetUp() override { reset_eval_environment(); }
};

int32_t entry(int code, Square s) { return PieceSquareTable[code][s]; }

TEST_F(RootPreparation, StartPositionIsTheOpeningWithItsDevelopmentEntries) {
  EvalPosition p;
  prepare_fen(p, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  EXPECT_EQ(RootEval.PhaseFlags, PhaseOpening);
  // Castling rights make the castled squares attractive: 2 + 8 and -2 + 6.
  EXPECT_EQ(entry(WhiteKing, G1), 10);
  EXPECT_EQ(entry(WhiteKing, C1), 4);
  EXPECT_EQ(entry(BlackKing, G8), 10);
  EXPECT_EQ(entry(BlackKing, C8), 4);
  EXPECT_EQ(entry(WhiteKing, E1), -11);
  // Undeveloped pieces: the queen should wait, the minor pieces should leave home.
  EXPECT_EQ(entry(WhiteQueen, D1), 5 + 15);
  EXPECT_EQ(entry(WhiteBishop, C1), 5 - 15 + 4);
  EXPECT_EQ(entry(BlackKnight, G8), -4 - 18);
  EXPECT_EQ(entry(WhiteKnight, G5), 10 - 10);
  EXPECT_EQ(entry(BlackKnight, G4), 10 - 10);
  // A symmetric position scores 0 for the side to move.
  EXPECT_EQ(p.root().score, 0);
  EXPECT_EQ(PieceSquareOffset, 0);
  EXPECT_FALSE(RootEval.minorEnding);
  EXPECT_EQ(RootEval.lazyMargin, 40);
  EXPECT_EQ(SearchSwitches.pawnEndingExtOn, 0);
  EXPECT_EQ(SearchSwitches.futilityOn, 1);
  EXPECT_EQ(SearchSwitches.singularOn, 1);
  EXPECT_EQ(SearchSwitches.checkExtPlyLimit, 99);
  EXPECT_EQ(SearchSwitches.hangingPlyLimit, 4);
  EXPECT_EQ(RootEval.endingIndicator[0], 0);
  EXPECT_EQ(RootEval.endingIndicator[255], 1);  // every piece type traded once
}

// Thirty moves into the game the opening is over, even with every piece back at home.
TEST_F(RootPreparation, ThirtyGameMovesEndTheOpening) {
  ASSERT_TRUE(create_game_storage());
  set_start_position(GameBoard.board, GameBoard.start);
  reset_game_record();
  static const char* const shuffle[4] = {"g1f3", "g8f6", "f3g1", "f6g8"};
  EvalPosition p;
  const char* start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
  for (int n = 0; n < 30; ++n) {
    prepare_fen(p, start);
    EXPECT_EQ(RootEval.PhaseFlags, PhaseOpening) << n;
    const Move m = parse_move_text(shuffle[n % 4], GameBoard.board, current_game_entry().side);
    ASSERT_NE(m, NoMove);
    ASSERT_TRUE(apply_game_move(m));
  }
  prepare_fen(p, start);
  EXPECT_EQ(RootEval.PhaseFlags, PhaseMiddlegame);
  reset_game_record();
  free_game_storage();
}

TEST_F(RootPreparation, EndgameClassification) {
  // Queens off, two rooks and two minors each: 3464 in pieces, yet an ending.
  EXPECT_TRUE(is_endgame(0, 4, 4, 12, 1732, 1732) == false);  // twelve pawns keep it a middlegame
  EXPECT_TRUE(is_endgame(0, 4, 4, 10, 1732, 1732));
  EXPECT_FALSE(is_endgame(2, 6, 8, 16, 3178, 3178));
  EXPECT_TRUE(is_endgame(2, 2, 0, 16, 1055, 1055));  // queens only
  EXPECT_TRUE(is_endgame(0, 2, 2, 16, 866, 866));

  EvalPosition p;
  prepare_fen(p, "r1b1k2r/pp3ppp/2n5/8/8/2N5/PP3PPP/R1B1K2R w KQkq - 0 1");
  EXPECT_EQ(RootEval.PhaseFlags, PhaseEndgame);
  EXPECT_EQ(entry(WhiteKing, E1), -2);  // the active ending table
  EXPECT_EQ(SearchSwitches.checkExtPlyLimit, 99);

  prepare_fen(p, "4k3/pppp4/8/8/8/8/PPP5/4K3 b - - 0 1");
  EXPECT_EQ(RootEval.PhaseFlags, PhaseEndgame | PhasePawnsOnly);
  EXPECT_EQ(SearchSwitches.pawnEndingExtOn, 1);
  EXPECT_EQ(SearchSwitches.checkExtPlyLimit, 4);

  // Only a king against more than a pawn: the bare-king classes.
  prepare_fen(p, "4k3/8/8/8/8/8/3PP3/4K3 w - - 0 1");
  EXPECT_EQ(RootEval.PhaseFlags, PhaseBlackBare | PhasePawnsOnly);
  prepare_fen(p, "4k3/4r3/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(RootEval.PhaseFlags, PhaseWhiteBare);
  EXPECT_EQ(SearchSwitches.zugzwangRisk, 1);
  // One pawn is not enough to call the other king bare.
  prepare_fen(p, "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1");
  EXPECT_EQ(RootEval.PhaseFlags, PhaseEndgame | PhasePawnsOnly);

  // Middlegame: the king without a queen facing it takes the active table.
  prepare_fen(p, "r1b1k2r/pp1n1ppp/2n5/8/8/2N2N2/PP3PPP/R1BQK2R w KQkq - 0 1");
  EXPECT_EQ(RootEval.PhaseFlags, PhaseMiddlegame);
  EXPECT_EQ(entry(WhiteKing, E1), diagram_value(KingTableActive, E1));
  EXPECT_EQ(entry(BlackKing, E8), diagram_value_mirrored(KingTableMiddle, E8));
  EXPECT_EQ(RootEval.kingFewPiecesTable[White][E1], 0);
  EXPECT_EQ(RootEval.kingFewPiecesTable[Black][D7],
            diagram_value_mirrored(KingTableActive, D7) - entry(BlackKing, D7));
  EXPECT_EQ(RootEval.kingManyPiecesTable[White][G1],
            diagram_value(KingTableAttack, G1) - diagram_value(KingTableMiddle, G1));
}

TEST_F(RootPreparation, EndingIndicatorNamesTheCapturesThatMakeAnEnding) {
  EvalPosition p;
  // Queens, two rooks and two minors each, ten pawns: no ending while both queens stay.
  prepare_fen(p, "r1bqk2r/pp3ppp/2n5/8/8/2N5/PP3PPP/R1BQK2R w KQkq - 0 1");
  ASSERT_EQ(RootEval.PhaseFlags & EndgameLikeMask, 0u);
  constexpr int WhiteQueenBit = 128, BlackQueenBit = 64, WhiteRookBit = 32, BlackRookBit = 16;
  EXPECT_EQ(RootEval.endingIndicator[0], 0);
  EXPECT_EQ(RootEval.endingIndicator[WhiteQueenBit], 0);  // one queen, nine pieces left
  EXPECT_EQ(RootEval.endingIndicator[WhiteQueenBit | BlackQueenBit], 1);
  EXPECT_EQ(RootEval.endingIndicator[WhiteRookBit | BlackRookBit], 0);
  EXPECT_EQ(RootEval.endingIndicator[WhiteQueenBit | WhiteRookBit | BlackRookBit], 1);
  // Removing what is not there changes nothing: only one bishop each, so both bishop bits
  // together with both queens still leave the ending of the queens' case.
  EXPECT_EQ(RootEval.endingIndicator[WhiteQueenBit | BlackQueenBit | 8 | 4], 1);
  // An endgame-like root has no indicator at all.
  prepare_fen(p, "4k3/pppp4/8/8/8/8/PPP5/4K3 b - - 0 1");
  for (int k = 0; k < 256; ++k) EXPECT_EQ(RootEval.endingIndicator[k], 0) << k;
}

TEST_F(RootPreparation, BareKingIsDrivenToTheCornersOfTheBishopsColour) {
  EvalPosition p;
  // White: king, light-squared bishop (b1) and knight against the bare black king.
  prepare_fen(p, "8/8/8/4k3/8/8/8/KBN5 w - - 0 1");
  ASSERT_EQ(RootEval.PhaseFlags, PhaseBlackBare);
  EXPECT_EQ(entry(BlackKing, A8), -124);
  EXPECT_EQ(entry(BlackKing, H1), -124);
  EXPECT_EQ(entry(BlackKing, A1), -48);
  EXPECT_EQ(entry(BlackKing, H8), -48);
  // The mirror: Black's bishop on b8 is dark, so White's king belongs in a1 or h8.
  prepare_fen(p, "kbn5/8/8/8/4K3/8/8/8 b - - 0 1");
  ASSERT_EQ(RootEval.PhaseFlags, PhaseWhiteBare);
  EXPECT_EQ(entry(WhiteKing, A1), -124);
  EXPECT_EQ(entry(WhiteKing, H8), -124);
  EXPECT_EQ(entry(WhiteKing, H1), -48);
  EXPECT_EQ(entry(BlackKing, E5), diagram_value_mirrored(KingTableEnding, E5));
  // Without the bishop-and-knight pair the lone king just wants the centre.
  prepare_fen(p, "8/8/8/4k3/8/8/8/KRN5 w - - 0 1");
  EXPECT_EQ(entry(BlackKing, A8), -30);
  EXPECT_EQ(entry(BlackKing, D5), 42);
}

TEST_F(RootPreparation, PieceValueWeightsShiftWholeTablesOnly) {
  EvalPosition p;
  const char* fen = "r1bqk2r/pp1n1ppp/2n5/8/8/2N2N2/PP3PPP/R1BQK2R w KQkq - 0 1";
  prepare_fen(p, fen);
  static int32_t baseline[16][SquareCount];
  std::memcpy(baseline, PieceSquareTable, sizeof baseline);
  const uint32_t serial = RootEval.evalSerial;
  const uint16_t stamp = RootEval.evalStamp;
  // Preparing again with the same settings changes nothing.
  prepare_fen(p, fen);
  EXPECT_EQ(std::memcmp(baseline, PieceSquareTable, sizeof baseline), 0);
  EXPECT_EQ(RootEval.evalSerial, serial);
  EXPECT_EQ(RootEval.evalStamp, stamp);

  Options.EvalWeights[WeightKnight] = 150;
  Options.EvalWeights[WeightQueen] = 25;
  Options.EvalWeights[WeightRookEnd] = 400;  // not a middlegame weight: no effect here
  prepare_fen(p, fen);
  for (int code = 0; code < 16; ++code) {
    for (Square s = 1; s <= 64; ++s) {
      int32_t delta = 0;
      if (piece_type(code) == 3 && code != 0) delta = 50 * 325 / 100;  // 162
      if (piece_type(code) == 7) delta = -75 * 1055 / 100;            // -791
      EXPECT_EQ(PieceSquareTable[code][s] - baseline[code][s], delta) << code << " " << s;
    }
  }
  EXPECT_NE(RootEval.evalSerial, serial);
  EXPECT_NE(RootEval.evalStamp, stamp);

  // Weights read at evaluation time change the stamp too, so no stale cache entry is used.
  reset_options();
  Options.EvalWeights[WeightKingSafety] = 50;
  prepare_fen(p, fen);
  EXPECT_NE(RootEval.evalStamp, stamp);
  reset_options();
  Options.Selectivity = 3;
  prepare_fen(p, fen);
  EXPECT_NE(RootEval.evalSerial, serial);
  reset_options();
  Options.EvalWeights[WeightBishopPair] = 200;
  prepare_fen(p, fen);
  EXPECT_EQ(RootEval.bishopPairBonus, 56);
  Options.EvalWeights[WeightPassedPawns] = 50;
  prepare_fen(p, fen);
  EXPECT_EQ(RootEval.passedMid[7], 77 / 2);
  EXPECT_EQ(RootEval.connectedMid[6], 50);
  EXPECT_EQ(RootEval.passedEnd[7], 93);
}

// The pawn hash is kept between searches, so its entries may only be reused while the root
// values they are built from stay the same: the fingerprint must follow every one of them.
TEST_F(RootPreparation, PawnTermsFingerprintFollowsWhatPawnEntriesDependOn) {
  EvalPosition p;
  const char* white = "4k3/pp4pp/8/3P4/8/8/PP4PP/4K3 w - - 0 1";
  const char* black = "4k3/pp4pp/8/3P4/8/8/PP4PP/4K3 b - - 0 1";
  prepare_fen(p, white);
  const uint32_t base = RootEval.pawnTermsFingerprint;
  prepare_fen(p, white);
  EXPECT_EQ(RootEval.pawnTermsFingerprint, base) << "same root, same settings";
  prepare_fen(p, black);
  EXPECT_NE(RootEval.pawnTermsFingerprint, base) << "engine colour";
  Options.EvalWeights[WeightPassedPawns] = 400;
  prepare_fen(p, white);
  EXPECT_NE(RootEval.pawnTermsFingerprint, base) << "Passed Pawns weight";
  reset_options();
  Options.PreferOpen = true;
  prepare_fen(p, white);
  EXPECT_NE(RootEval.pawnTermsFingerprint, base) << "Prefer Open Positions";
  reset_options();
  prepare_fen(p, "r3k2r/pppq1ppp/2n5/3P4/8/2N5/PPPQ1PPP/R3K2R w KQkq - 0 1");
  EXPECT_NE(RootEval.pawnTermsFingerprint, base) << "another phase";
}

TEST_F(RootPreparation, EndgameMajoritiesShiftThePawnEntries) {
  EvalPosition p;
  // A three-to-two majority on files a-c and two-to-two on g-h; kings far away.
  prepare_fen(p, "4k3/p1p3pp/8/8/8/8/PPP3PP/4K3 w - - 0 1");
  ASSERT_EQ(RootEval.PhaseFlags, PhaseEndgame | PhasePawnsOnly);
  for (int rank = 2; rank <= 7; ++rank) {
    const Square a = square_at(1, rank), g = square_at(7, rank);
    // d = +1 on a-c, so e = 2: White's pawns want to run, Black's to stay home.
    EXPECT_EQ(entry(WhitePawn, a) - diagram_value(PawnTableEnding, a), 2 * (rank - 6)) << rank;
    EXPECT_EQ(entry(BlackPawn, a) - diagram_value_mirrored(PawnTableEnding, a), -2 * (3 - rank)) << rank;
    EXPECT_EQ(entry(WhitePawn, g), diagram_value(PawnTableEnding, g)) << rank;
  }
  // The root keeps the values it had before the shifts.
  const int32_t before = 3 * 4 + 2 * 4 - 4 * 4;
  int32_t after = 0;
  for (Square s : {A2, B2, C2, G2, H2}) after += entry(WhitePawn, s);
  for (Square s : {A7, C7, G7, H7}) after -= entry(BlackPawn, s);
  EXPECT_EQ(PieceSquareOffset, before - after);
  EXPECT_EQ(p.root().score, before);  // the kings' entries cancel (e1 against e8)
}

TEST_F(RootPreparation, CastledKingFormationsInTheMiddlegame) {
  EvalPosition p;
  prepare_fen(p, "r1bq1rk1/pp2bppp/2n1pn2/3p4/3P4/2NBPN2/PP3PPP/R1BQ1RK1 w - - 0 9");
  ASSERT_EQ(RootEval.PhaseFlags, PhaseMiddlegame);
  EXPECT_EQ(entry(WhiteKing, G1), diagram_value(KingTableMiddle, G1) + 6);
  EXPECT_EQ(entry(WhiteKing, H2), diagram_value(KingTableMiddle, H2) - 6);
  EXPECT_EQ(entry(BlackKing, G8), diagram_value_mirrored(KingTableMiddle, G8) + 6);
  // Rooks beside the castled king, the bishop still at home with the king gone.
  EXPECT_EQ(entry(WhiteRook, H1), diagram_value(RookTableMiddle, H1) - 20);
  EXPECT_EQ(entry(BlackRook, G8), diagram_value_mirrored(RookTableMiddle, G8) - 20);
  EXPECT_EQ(entry(WhiteBishop, C1), diagram_value(BishopTable, C1) - 15 + 4);
  EXPECT_EQ(entry(BlackBishop, C8), diagram_value_mirrored(BishopTable, C8) - 15 + 4);
  EXPECT_EQ(entry(WhiteBishop, F1), diagram_value(BishopTable, F1) + 4);  // no bishop there
}

// After the preparation the incremental piece-square score of every ply equals the sum over the
// board (plus the root's offset), over random games from varied positions.
TEST_F(RootPreparation, IncrementalScoresMatchTheTableAfterAnyMoves) {
  std::mt19937 rng(7);
  EvalPosition p;
  for (const char* fen : TestFens) {
    for (int game = 0; game < 4; ++game) {
      prepare_fen(p, fen);
      const char* reason = nullptr;
      ASSERT_TRUE(position_is_consistent(*p, p.root(), &reason)) << fen << ": " << reason;
      PlyState* ply = &p.root();
      for (int i = 0; i < 60; ++i) {
        const std::vector<Move> moves = legal_moves(*p, *ply);
        if (moves.empty()) break;
        ply->move = moves[rng() % moves.size()];
        ply = make_move(*p, *ply);
        ASSERT_NE(ply, nullptr);
        ASSERT_TRUE(position_is_consistent(*p, *ply, &reason)) << fen << " ply " << int(ply->ply)
                                                              << ": " << reason;
      }
      take_back_all(*p, ply);
    }
  }
}

}  // namespace
