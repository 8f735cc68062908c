// One iteration of the single-line root search: the first root move inside an aspiration
// window around the previous iteration's score, widened step by step when it fails, then the
// other moves with zero windows, a move that beats the best re-searched to its score. The main
// thread reports, keeps the clock and judges the easy move; workers search the same windows
// silently.
#pragma once

#include <cstdint>

#include "board/position.h"

struct Iteration {
  int depth;
  int failState;     // 0 none, 1 after a first fail or best-move change, 2 after a second
  int32_t previous;  // score of the previous iteration
};

// Returns false when the search was stopped before the first move had a score.
bool search_first_move(Position& pos, Iteration& it);
void search_other_moves(Position& pos, Iteration& it);
