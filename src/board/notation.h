// The two text parsers of the protocol: coordinate move text and FEN.
#pragma once

#include <cstdint>

#include "board/game.h"
#include "board/types.h"

// Converts "e2e4" / "e7e8q" against a board. `side` only decides the colour of a promotion
// piece. Returns 0 when the text is not of that form or the from-square is empty. Sets the
// castling, en-passant and double-push flags from the board; makes no legality test.
Move parse_move_text(const char* text, const uint8_t* board, int side);

// Parses a FEN text into `board` and `state`. Returns 1 on success, 0 when the text is
// malformed or describes an impossible position (a missing or second king of one colour, a
// pawn on the first or last rank, more than 16 men a side). On failure the outputs hold
// unspecified contents, so callers parse into scratch storage and copy on success.
// The half-move clock and the move number are not read.
int parse_fen(const char* text, uint8_t* board, GameState& state);
