// A debugging and test aid: rebuilds everything that make and unmake keep incrementally from
// the board alone and compares. Not for the hot path.
#pragma once

#include "board/position.h"

// True when piece counts, colour lists and square slots, per-type lists, both attack tables,
// the four key halves, the material, phase and signature sums, the men count, the in-check
// flag and the piece-square score of `ply` all match a rebuild from the board. On a mismatch
// `reason` (if given) points at a short description of the first difference found.
bool position_is_consistent(const Position& pos, const PlyState& ply, const char** reason = nullptr);

// True when a bare board (squares 1 to 64, as the game record keeps it) holds only piece codes
// that exist, exactly one king a side and at most 16 men a side: what any sequence of commands
// must leave behind.
bool board_is_sound(const uint8_t* board);
