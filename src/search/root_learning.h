// What the root search does for position learning: it merges the learned positions into the
// table before the search, tells the learning file after each iteration what the search
// found, and at the end appends the root to the file when the search was instructive (long,
// or its score swung between depths, unless the game was decided at every depth). In analysis
// the root's table entries are kept as permanent ones.
#pragma once

#include <cstdint>

#include "board/position.h"

// Start of a search, with the root set up and the table ready.
void start_root_learning(Position& pos, PlyState& root);
// After a completed iteration of `depth` plies whose best move scored `score`.
void learn_from_iteration(int depth, int32_t score);
// End of a search, after the workers stopped.
void save_learning(Position& pos);
