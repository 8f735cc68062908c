// "position": start position, FEN, the move list, and what a bad command leaves behind.
#include <cstring>

#include "board/game.h"
#include "board/notation.h"
#include "driver/engine_fixture.h"
#include "search/control.h"
#include "search/threads.h"

namespace {

using PositionTest = EngineTest;

// The game board as a FEN placement and side, for readable expectations.
std::string placement() {
  std::string out;
  for (int rank = 8; rank >= 1; --rank) {
    int empty = 0;
    for (int file = 1; file <= 8; ++file) {
      const int p = GameBoard.board[square_at(file, rank)];
      if (!p) {
        ++empty;
        continue;
      }
      if (empty) out += char('0' + empty);
      empty = 0;
      out += " KPN?BRQ?kpn?brq"[p];
    }
    if (empty) out += char('0' + empty);
    if (rank > 1) out += '/';
  }
  out += current_game_entry().side == White ? " w" : " b";
  return out;
}

void expect_threads_hold_game_board() {
  EXPECT_EQ(std::memcmp(main_position().board + 1, GameBoard.board + 1, 64), 0);
}

TEST_F(PositionTest, StartposWithMovesSkipsMalformedAndIllegalTokens) {
  run("position startpos moves e2e4 xyz e7e5 e1e3 g1f3 b8c6 f1c4 g8f6 e1g1");
  EXPECT_EQ(placement(), "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQ1RK1 b");
  EXPECT_EQ(GameBoard.current, 7);
  EXPECT_EQ(game_key_count(), 8);
  EXPECT_EQ(current_game_entry().flags & CastleMask, CastleBlackShort | CastleBlackLong);
  expect_threads_hold_game_board();

  // A move of the wrong side, onto an own man, or a pawn capturing straight ahead is never
  // played; neither is a pawn reaching the last rank without a promotion letter.
  run("position startpos moves e7e5 d1d2 e2e4 a7a5 a2a4 a5a4");
  EXPECT_EQ(placement(), "rnbqkbnr/1ppppppp/8/p7/P3P3/8/1PPP1PPP/RNBQKBNR b");
  EXPECT_EQ(GameBoard.current, 3);
  run("position fen 4k3/P7/8/8/8/8/8/4K3 w - - moves a7a8 a7a8r");
  EXPECT_EQ(placement(), "R3k3/8/8/8/8/8/8/4K3 b");
  EXPECT_EQ(GameBoard.current, 1);
}

TEST_F(PositionTest, TokensAfterStartposOtherThanMovesApplyNoMoves) {
  run("position startpos e2e4");
  EXPECT_EQ(GameBoard.current, 0);
  run("position startpos moves");
  EXPECT_EQ(placement(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w");
  // A keyword other than startpos or fen sets nothing: the game stays as it was.
  run("position startpos moves e2e4");
  run("position nonsense moves d2d4");
  EXPECT_EQ(placement(), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b");
  EXPECT_EQ(GameBoard.current, 1);
  run("position startpos moves d2d4");
  run("position");  // nothing at all: the game stays
  EXPECT_EQ(GameBoard.current, 1);
}

TEST_F(PositionTest, FenFieldsSideCastlingAndEnPassant) {
  run("position fen r3k2r/8/8/8/8/8/8/R3K2R b - - 17 42");
  EXPECT_EQ(placement(), "r3k2r/8/8/8/8/8/8/R3K2R b");
  EXPECT_EQ(current_game_entry().flags, 0);

  run("position fen r3k2r/8/8/8/8/8/8/R3K2R w Kq - 0 1 moves e1g1 e8c8");
  EXPECT_EQ(placement(), "2kr3r/8/8/8/8/8/8/R4RK1 w");

  // White's double push makes the en-passant capture legal for Black.
  run("position fen 4k3/8/8/8/5p2/8/4P3/4K3 w - - 0 1 moves e2e4 f4e3");
  EXPECT_EQ(placement(), "4k3/8/8/8/8/4p3/8/4K3 w");
  run("position fen 4k3/8/8/8/4Pp2/8/8/4K3 b - e3 0 1 moves f4e3");
  EXPECT_EQ(placement(), "4k3/8/8/8/8/4p3/8/4K3 w");
  // Without the en-passant field the same capture is refused.
  run("position fen 4k3/8/8/8/4Pp2/8/8/4K3 b - - 0 1 moves f4e3");
  EXPECT_EQ(placement(), "4k3/8/8/8/4Pp2/8/8/4K3 b");

  // Promotions, to a knight with a capital letter too.
  run("position fen 3r3k/4P3/8/8/8/8/8/4K3 w - - moves e7d8N");
  EXPECT_EQ(placement(), "3N3k/8/8/8/8/8/8/4K3 b");
  expect_threads_hold_game_board();
}

TEST_F(PositionTest, ARejectedFenLeavesThePreviousGame) {
  run("position startpos moves e2e4 c7c5");
  const std::string before = placement();
  for (const char* bad : {
           "position fen",
           "position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq - 0 1",
           "position fen rnbqkbnr/pppppppp/9/8/8/8/PPPPPPPP/RNBQKBNR w",
           "position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP w",
           "position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR/8 w",
           "position fen 4k3/8/8/8/8/8/8/8 w - -",            // no white king
           "position fen 4k3/8/8/8/8/8/8/2K1K3 w - -",        // two white kings
           "position fen P3k3/8/8/8/8/8/8/4K3 w - -",         // a pawn on the last rank
           "position fen 4k3/8/8/8/4Q3/8/8/4K3 w - -",       // the side not to move in check
           "position fen 4k3/8/8/8/8/3n4/8/4K3 b - - moves d3e1",
           "position fen QQQQkQQQ/QQQQQQQQ/Q7/8/8/8/8/4K3 b - -",  // 17 white men
       }) {
    run(bad);
    EXPECT_EQ(placement(), before) << bad;
    EXPECT_EQ(GameBoard.current, 2) << bad;
    expect_threads_hold_game_board();
  }
  // The same position with Black to move is fine: the checked side is the one to move.
  run("position fen 4k3/8/8/8/4Q3/8/8/4K3 b - -");
  EXPECT_EQ(placement(), "4k3/8/8/8/4Q3/8/8/4K3 b");
}

TEST_F(PositionTest, IgnoredWhileASearchRuns) {
  run("position startpos moves e2e4");
  Control.SearchState = Thinking;
  run("position startpos moves d2d4 d7d5");
  Control.SearchState = Idle;
  EXPECT_EQ(placement(), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b");
}

TEST_F(PositionTest, LongGamesGrowTheRecord) {
  // 61 rounds of knights out and back: 244 moves, beyond the first 200 entries.
  std::string line = "position startpos moves";
  for (int i = 0; i < 61; ++i) line += " g1f3 g8f6 f3g1 f6g8";
  run(line);
  EXPECT_EQ(GameBoard.current, 244);
  EXPECT_GE(GameBoard.capacity, 246);
  EXPECT_EQ(placement(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w");
  // Every position of the game is on the key stack.
  EXPECT_EQ(game_key_count(), 245);
  EXPECT_EQ(GameBoard.keys[GameBoard.keyTop], GameBoard.keys[GameKeyLead]);
}

}  // namespace
