// What the root of the search knows while it runs: the root move list with its ordering, the
// best move and score so far, and the score of every completed iteration. The root driver owns
// it; the tablebase root filter and the report read it.
#pragma once

#include <cstdint>

#include "board/position.h"

constexpr int RootMovesCapacity = 221;

struct RootMove {
  Move move;
  int64_t order;  // static value before the first iteration, then nodes searched below it
};

struct RootSearchState {
  RootMove moves[RootMovesCapacity + 1];  // ends with move 0 and the largest order value
  int count;
  Move bestMove;
  int32_t bestScore;
  Move ponderMove;          // left for the "bestmove" line
  bool singleLegalMove;
  bool firstMoveSearching;  // the first root move of the current iteration is being searched
  int iterationDepth;
  int32_t depthScore[100];  // score of every completed iteration
  uint32_t lastPawnTerms;  // pawn-term fingerprint of the previous search: kept pawn entries go stale when it changes
};

extern RootSearchState RootSearch;
