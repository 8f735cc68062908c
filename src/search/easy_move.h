// The easy move: when the best root move keeps taking most of the main thread's nodes
// iteration after iteration (more readily when it recaptures), the search halves its time.
// The root search disallows it once the root score or the best move was in doubt.
#pragma once

#include <cstdint>

#include "board/position.h"

struct EasyMoveState {
  bool allowed;
  int budget;               // halvings left for moves that are not recaptures
  uint64_t firstMoveNodes;  // main-thread nodes spent on the first root move this iteration
};

extern EasyMoveState EasyMove;

// Start of a search: allowed, with a budget of two.
void reset_easy_move();
// After an iteration of `depth` plies under the clock: halves the time when the best move
// looks easy.
void consider_easy_move(const Position& pos, int depth);
