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

// Prepares a search from ply 0 of `pos` as the root driver does (root evaluation preparation,
// learned bounds, search settings, an empty table of a new generation), polling switched off.
void prepare_test_search(Position& pos, int tableKB = 1024);

// Empties `pos` (its evaluation tables released) for a new set-up; builds the start-up tables
// and sets the default options on first use.
void reset_test_position(Position& pos);

// Sets up `pos` from a FEN (true on success) with an empty search state.
bool load_test_position(Position& pos, const char* fen);

// Searches the root (ply 0) to `depth`.
FixedDepthResult search_fixed_depth(Position& pos, int depth);

// Fills `out` with the legal moves of the side to move at `node` (at most 256); returns the count.
int legal_moves(Position& pos, PlyState& node, Move* out);

// Plays the legal move written as text ("e2e4", "e7e8q") at `node`; returns the next ply
// record, or nullptr (and a test failure) when no legal move has that text.
PlyState* play_text_move(Position& pos, PlyState& node, const char* text);

// Exhaustive check: can the side to move at `node` force mate within `moves` moves?
bool forces_mate(Position& pos, PlyState& node, int moves);
