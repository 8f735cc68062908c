// The root of the search: preparation, the root move list, iterative deepening with
// aspiration windows (or the MultiPV loop), the decisions to stop, and the move to report.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "search/root_state.h"

// Searches the game position on the main thread's Position under the current level, options
// and search control words; prints the search's info lines. Returns the best move (0 when
// there is none) and leaves the ponder move in RootSearch.ponderMove.
Move ThinkDriver(Position& pos);

// Whether "ponderhit" may end the search at once: a single legal move, or the allotted time
// already used while the first root move is searched with a stable score.
bool ponderhit_stops_search();
