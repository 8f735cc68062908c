// The root of the search: the main thread's iterative-deepening driver. It prepares the search
// and the root, builds the root move list (search/root_moves), deepens iteration by iteration
// with aspiration windows (search/aspiration) or the MultiPV loop (search/multipv), decides
// between iterations whether to go on, and finds the move to report and the ponder move.
// Learning and the easy move hook in through search/root_learning and search/easy_move;
// workers run search/worker_root.
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
