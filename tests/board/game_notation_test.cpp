#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/game.h"
#include "board/notation.h"
#include "board/zobrist.h"

namespace {

constexpr Square sq(const char* name) { return square_at(name[0] - 'a' + 1, name[1] - '0'); }

struct GuardedBoard {
  uint8_t before[64];
  uint8_t board[SquareCount];
  uint8_t after[64];
  GuardedBoard() {
    std::memset(before, 0xA5, sizeof before);
    std::memset(after, 0xA5, sizeof after);
  }
  bool guards_intact() const {
    for (int i = 0; i < 64; ++i)
      if (before[i] != 0xA5 || after[i] != 0xA5) return false;
    return true;
  }
};

TEST(Fen, AcceptsWellFormedPositions) {
  GuardedBoard g;
  GameState state{};
  ASSERT_EQ(parse_fen("r3k2r/8/8/8/4Pp2/8/8/R3K2R b KQkq e3 12 40", g.board, state), 1);
  EXPECT_EQ(state.side, Black);
  EXPECT_EQ(state.flags, uint16_t(CastleMask | sq("e3")));
  EXPECT_EQ(g.board[sq("e4")], WhitePawn);
  EXPECT_EQ(g.board[sq("h8")], BlackRook);
  EXPECT_EQ(g.board[0], OffBoard);

  // "-" fields: no rights, no en-passant square; clocks ignored; missing fields are fine.
  ASSERT_EQ(parse_fen("4k3/8/8/8/8/8/8/4K3 w - - 5 9", g.board, state), 1);
  EXPECT_EQ(state.flags, 0);
  ASSERT_EQ(parse_fen("4k3/8/8/8/8/8/8/4K3 b", g.board, state), 1);
  EXPECT_EQ(state.side, Black);
  // A castling right counts only with king and rook at home; an unknown letter stops parsing.
  ASSERT_EQ(parse_fen("4k2r/8/8/8/8/8/8/R3K3 w KQkq - 0 1", g.board, state), 1);
  EXPECT_EQ(state.flags, uint16_t(CastleWhiteLong | CastleBlackShort));
  ASSERT_EQ(parse_fen("r3k2r/8/8/8/8/8/8/R3K2R w KxQ - 0 1", g.board, state), 1);
  EXPECT_EQ(state.flags, uint16_t(CastleWhiteShort));
  // En passant only where a pawn just made its double step.
  ASSERT_EQ(parse_fen("4k3/8/8/8/4P3/8/8/4K3 b - e3 0 1", g.board, state), 1);
  EXPECT_EQ(state.flags, uint16_t(sq("e3")));
  ASSERT_EQ(parse_fen("4k3/8/8/8/8/8/8/4K3 b - e3 0 1", g.board, state), 1);
  EXPECT_EQ(state.flags, 0);
  ASSERT_EQ(parse_fen("4k3/8/8/8/4P3/8/8/4K3 w - e3 0 1", g.board, state), 1);
  EXPECT_EQ(state.flags, 0);  // wrong rank for White to move
  EXPECT_TRUE(g.guards_intact());
}

TEST(Fen, RejectsMalformedAndImpossiblePositionsWithoutWritingOutside) {
  static const std::string longText(5000, '8');
  const char* bad[] = {
      "",
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR",            // ends before the side
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq - 0 1",
      "rnbqkbnr/pppppppp/9/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", // 9 is no digit here
      "rnbqkbnr/pppppppp/72/8/8/8/PPPPPPPP/RNBQKBNR w - - 0 1",   // runs past the rank
      "rnbqkbnr/ppppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w - - 0 1",   // nine squares
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR/8 w - - 0 1",  // nine ranks
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP w - - 0 1",             // seven ranks
      "rnbq1bnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w - - 0 1",    // no black king
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBKKBNR w - - 0 1",    // two white kings
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNP w - - 0 1",    // pawn on the first rank
      "QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/8/8/8/k7/K7 w - - 0 1",         // more than 16 men
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR_w",
      "4k3/8/8/8/8/8/8/4K3\tw - - 0 1",
      longText.c_str(),
  };
  for (const char* fen : bad) {
    GuardedBoard g;
    GameState state{};
    EXPECT_EQ(parse_fen(fen, g.board, state), 0) << fen;
    EXPECT_TRUE(g.guards_intact()) << fen;
  }
}

TEST(MoveText, ParsesCoordinatesAndSetsFlagsFromTheBoard) {
  uint8_t board[SquareCount];
  GameState state;
  ASSERT_EQ(parse_fen("r3k2r/1P6/8/3pP3/8/8/4P3/R3K2R w KQkq d6 0 1", board, state), 1);
  const Move ep = parse_move_text("e5d6", board, White);
  EXPECT_EQ(ep, encode_move(sq("e5"), sq("d6"), 0, BlackPawn, WhitePawn, EnPassantFlag));
  EXPECT_EQ(parse_move_text("e1g1", board, White), WhiteShortCastle);
  EXPECT_EQ(parse_move_text("E1C1", board, White), WhiteLongCastle);  // files in any case
  EXPECT_EQ(parse_move_text("e2e4", board, White) & DoublePushFlag, DoublePushFlag);
  EXPECT_EQ(parse_move_text("b7a8N", board, White),
            encode_move(sq("b7"), sq("a8"), WhiteKnight, BlackRook, WhitePawn));
  EXPECT_EQ(move_promotion(parse_move_text("b7b8q", board, Black)), BlackQueen);
  for (const char* bad : {"", "e2", "e2e", "e2e4e5", "e2e4x", "i2i4", "e0e4", "e3e4", "e2e9"})
    EXPECT_EQ(parse_move_text(bad, board, White), NoMove) << bad;
  char out[6];
  move_text(encode_move(sq("e2"), sq("e1"), BlackKnight, 0, BlackPawn), out);
  EXPECT_STREQ(out, "e2e1n");
  move_text(NoMove, out);
  EXPECT_STREQ(out, "0000");
}

TEST(GameRecord, AppliesMovesKeysAndCastlingRights) {
  ASSERT_TRUE(create_game_storage());
  set_start_position(GameBoard.board, GameBoard.start);
  reset_game_record();
  EXPECT_EQ(game_key_count(), 1);
  EXPECT_EQ(GameBoard.keys[GameKeyLead], compute_key(GameBoard.board).lock);
  EXPECT_EQ(GameBoard.keys[0], 0u);

  auto play = [](const char* text) {
    const Move m = parse_move_text(text, GameBoard.board, current_game_entry().side);
    ASSERT_NE(m, NoMove) << text;
    ASSERT_TRUE(apply_game_move(m));
    EXPECT_EQ(GameBoard.keys[GameBoard.keyTop], compute_key(GameBoard.board).lock) << text;
  };
  play("e2e4");
  EXPECT_EQ(current_game_entry().flags, uint16_t(CastleMask | sq("e3")));  // no enemy pawn needed
  EXPECT_EQ(current_game_entry().side, Black);
  play("g8f6");
  EXPECT_EQ(current_game_entry().flags, uint16_t(CastleMask));
  // A rook captured on h8 takes Black's short right away without the rook moving.
  ASSERT_EQ(parse_fen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", GameBoard.board, GameBoard.start), 1);
  reset_game_record();
  play("h1h8");
  EXPECT_EQ(current_game_entry().flags, uint16_t(CastleWhiteLong | CastleBlackLong));
  play("e8c8");
  EXPECT_EQ(GameBoard.board[sq("d8")], BlackRook);
  EXPECT_EQ(GameBoard.board[sq("a8")], Empty);
  EXPECT_EQ(current_game_entry().flags, uint16_t(CastleWhiteLong));

  // Long games grow the record and keep what was there.
  set_start_position(GameBoard.board, GameBoard.start);
  reset_game_record();
  const char* shuffle[4] = {"g1f3", "g8f6", "f3g1", "f6g8"};
  for (int i = 0; i < 1000; ++i) play(shuffle[i % 4]);
  EXPECT_EQ(game_key_count(), 1001);
  EXPECT_GE(GameBoard.capacity, 1002);
  EXPECT_EQ(GameBoard.keys[GameKeyLead], GameBoard.keys[GameKeyLead + 1000]);
  EXPECT_EQ(GameBoard.record[1].move, encode_move(sq("g1"), sq("f3"), 0, 0, WhiteKnight));
  EXPECT_EQ(GameBoard.record[1000].move, encode_move(sq("f6"), sq("g8"), 0, 0, BlackKnight));
  free_game_storage();
}

}  // namespace
