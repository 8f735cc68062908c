// A small fixed-depth root search for the tests of the node procedures: iterative deepening
// over the legal root moves with a principal-variation window, no clock and no output.
#pragma once

#include <cstdint>

#include "board/position.h"

struct FixedDepthResult {
  Move best;
  int32_t score;
  uint64_t nodes;
};

// Clears the search state of `pos` and the table, and sets the search parameters to their
// defaults with polling switched off.
void prepare_test_search(Position& pos, int tableKB = 1024);

// Sets up `pos` from a FEN (true on success) with an empty search state.
bool load_test_position(Position& pos, const char* fen);

// Searches the root (ply 0) to `depth`.
FixedDepthResult search_fixed_depth(Position& pos, int depth);

// Fills `out` with the legal moves of the side to move at `node` (at most 256); returns the count.
int legal_moves(Position& pos, PlyState& node, Move* out);

// Exhaustive check: can the side to move at `node` force mate within `moves` moves?
bool forces_mate(Position& pos, PlyState& node, int moves);
