#include "board/game.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "board/zobrist.h"

Game GameBoard;

namespace {

bool allocate(int capacity) {
  auto* record = static_cast<GameRecordEntry*>(
      std::calloc(size_t(capacity) + 1, sizeof(GameRecordEntry)));
  auto* keys = static_cast<uint32_t*>(std::calloc(size_t(capacity) + 103, sizeof(uint32_t)));
  if (!record || !keys) {
    std::free(record);
    std::free(keys);
    return false;
  }
  if (GameBoard.record) {
    std::memcpy(record, GameBoard.record, sizeof(GameRecordEntry) * (size_t(GameBoard.capacity) + 1));
    std::memcpy(keys, GameBoard.keys, sizeof(uint32_t) * (size_t(GameBoard.capacity) + 103));
  }
  std::free(GameBoard.record);
  std::free(GameBoard.keys);
  GameBoard.record = record;
  GameBoard.keys = keys;
  GameBoard.capacity = capacity;
  return true;
}

}  // namespace

bool create_game_storage() {
  std::memset(&GameBoard, 0, sizeof GameBoard);
  GameBoard.board[0] = OffBoard;
  return allocate(GameCapacityStep);
}

void free_game_storage() {
  std::free(GameBoard.record);
  std::free(GameBoard.keys);
  GameBoard.record = nullptr;
  GameBoard.keys = nullptr;
  GameBoard.capacity = 0;
}

bool reserve_game_record(int plies) {
  // apply_game_move grows the record once the next entry would reach its last slot.
  const int64_t needed = int64_t(plies) + 2;
  if (needed < GameBoard.capacity) return true;
  const int64_t steps = (needed + GameCapacityStep) / GameCapacityStep;
  if (steps * GameCapacityStep > INT32_MAX / 2) return false;
  return allocate(int(steps * GameCapacityStep));
}

void set_start_position(uint8_t* board, GameState& state) {
  static const uint8_t backRank[8] = {WhiteRook, WhiteKnight, WhiteBishop, WhiteQueen,
                                      WhiteKing, WhiteBishop, WhiteKnight, WhiteRook};
  std::memset(board, 0, SquareCount);
  board[0] = OffBoard;
  for (int f = 1; f <= 8; ++f) {
    board[square_at(f, 1)] = backRank[f - 1];
    board[square_at(f, 2)] = WhitePawn;
    board[square_at(f, 7)] = BlackPawn;
    board[square_at(f, 8)] = uint8_t(backRank[f - 1] | BlackBit);
  }
  state.side = White;
  state.flags = CastleMask;
}

void reset_game_record() {
  std::memset(GameBoard.record, 0, sizeof(GameRecordEntry) * (size_t(GameBoard.capacity) + 1));
  std::memset(GameBoard.keys, 0, sizeof(uint32_t) * (size_t(GameBoard.capacity) + 103));
  GameBoard.current = 0;
  GameBoard.record[0].side = GameBoard.start.side;
  GameBoard.record[0].flags = GameBoard.start.flags;
  GameBoard.record[0].move = NoMove;
  GameBoard.keyTop = GameKeyLead;
  GameBoard.keys[GameBoard.keyTop] = compute_key(GameBoard.board).lock;
}

bool apply_game_move(Move m) {
  if (GameBoard.current + 1 >= GameBoard.capacity - 1) {
    if (!allocate(GameBoard.capacity + GameCapacityStep)) return false;
  }
  const GameRecordEntry& previous = GameBoard.record[GameBoard.current];
  GameRecordEntry& entry = GameBoard.record[++GameBoard.current];
  entry.move = m;
  entry.side = uint8_t(previous.side ^ 1);

  uint8_t* board = GameBoard.board;
  const Square from = move_from(m), to = move_to(m);
  const int piece = move_piece(m);
  board[from] = Empty;
  board[to] = uint8_t(move_promotion(m) ? move_promotion(m) : piece);
  if (m & EnPassantFlag) board[colour_of(piece) == White ? to - 8 : to + 8] = Empty;
  if (m & CastleFlag) {
    const bool longSide = to < from;
    const Square rookFrom = longSide ? to - 2 : to + 1;
    const Square rookTo = longSide ? to + 1 : to - 1;
    board[rookTo] = board[rookFrom];
    board[rookFrom] = Empty;
  }
  GameBoard.keys[++GameBoard.keyTop] = compute_key(board).lock;

  uint16_t flags = uint16_t(castling_rights_after(previous.flags & CastleMask, from, to));
  if (m & DoublePushFlag) flags |= uint16_t((from + to) / 2);
  entry.flags = flags;
  return true;
}
