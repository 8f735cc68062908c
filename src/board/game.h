// The game as the GUI set it: the current board, the start state of the given position, the
// record of moves applied since, and the lockKey of every position of the game. Global, written
// only by the main thread between searches.
#pragma once

#include <cstdint>

#include "board/types.h"

// Side to move and flags (castling rights and en-passant square, PlyState layout).
struct GameState {
  uint8_t side;
  uint16_t flags;
};

struct GameRecordEntry {
  uint8_t side;     // side to move in this position
  uint16_t flags;   // castling rights and en-passant square of this position
  Move move;        // the move that led here (0 in the first entry)
};

constexpr int GameCapacityStep = 200;
constexpr int GameKeyLead = 3;  // zero words ahead of the first key

struct Game {
  uint8_t board[SquareCount];   // the GameBoard; board[0] = OffBoard
  GameState start;              // start state of the position that "position" gave
  GameRecordEntry* record;      // capacity + 1 entries
  int current;                  // index of the current (last) entry
  int capacity;                 // in entries
  uint32_t* keys;               // GameKeyStack: capacity + 103 words, GameKeyLead zeros first
  int keyTop;                   // index of the last key
};

extern Game GameBoard;

// Allocates the record storage (capacity 200). False when memory is short.
bool create_game_storage();
void free_game_storage();

// Sets the board to the standard start position with White to move and all castling rights.
void set_start_position(uint8_t* board, GameState& state);

// Empties the key stack, clears the record, writes the first entry from the start state and
// pushes the lockKey of the current board.
void reset_game_record();

// Makes room for a game of `plies` moves from the start entry, so that applying them cannot
// fail. False when memory is short; the record is then unchanged.
bool reserve_game_record(int plies);

// Appends the move to the record and plays it on the board (no legality test: callers check).
// False only when the record had to grow and memory was short.
bool apply_game_move(Move m);

inline const GameRecordEntry& current_game_entry() { return GameBoard.record[GameBoard.current]; }
// Number of positions in the game so far (the first one included).
inline int game_key_count() { return GameBoard.keyTop - GameKeyLead + 1; }
