// The root of the search: preparation, the root move list, iterative deepening with
// aspiration windows (or the MultiPV loop), the decisions to stop, and the move to report.
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

// Searches the game position on the main thread's Position under the current level, options
// and search control words; prints the search's info lines. Returns the best move (0 when
// there is none) and leaves the ponder move in RootSearch.ponderMove.
Move ThinkDriver(Position& pos);

// Whether "ponderhit" may end the search at once: a single legal move, or the allotted time
// already used while the first root move is searched with a stable score.
bool ponderhit_stops_search();
