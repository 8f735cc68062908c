// The root move list of each search thread: built from the legal moves, cut down to the moves
// "searchmoves" names, ordered by the nodes each move took (summed over all threads, so that
// every thread orders its root alike), and searched one move at a time. Used by the root's
// iterative-deepening drivers and their iteration forms only.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "platform/clock.h"
#include "search/control.h"
#include "search/params.h"
#include "search/root_state.h"

#if TARROW_MP
// The root state of the thread that owns `pos`: RootSearch for the main thread.
RootSearchState& root_state(const Position& pos);
inline bool on_main(const Position& pos) { return pos.threadIndex == 0; }
// Whether the thread's list is built for the current search, so that the other threads may
// add their node counts to it.
void share_root_list(const Position& pos, bool shared);
#else
inline RootSearchState& root_state(const Position&) { return RootSearch; }
constexpr bool on_main(const Position&) { return true; }
#endif

// The widest window: no score reaches it.
constexpr int32_t FullWindow = 30000;

// Every legal move, valued by a full evaluation of the position after it (captures add their
// exchange estimate); the list ends with move 0.
void build_root_moves(Position& pos, PlyState& root, RootSearchState& rs);
// Keeps only the moves that "searchmoves" named; a list that names no legal move restricts
// nothing.
void restrict_to_search_moves(RootSearchState& rs);
// Orders by descending order value and puts the best move so far first.
void sort_root_moves(RootSearchState& rs);
// Adds the nodes that root move `index` took since `nodesBefore` to its order value, in this
// thread's list and in every other thread's.
void account_nodes(RootSearchState& rs, int index, uint64_t nodesBefore, const Position& pos);

// Searches root move `m` with (alpha, beta) and `depth` plies below it. Returns the score from
// the root's view.
int32_t search_root_move(Position& pos, Move m, int32_t alpha, int32_t beta, int depth);
// The principal-variation line of root move `m` (and its MultiPV ranking line).
void report_root_line(Position& pos, Move m, int depth, int32_t score, int bound);

// The clock and the stop flag as the root reads them: milliseconds since the search started,
// and whether it was told to stop.
inline int64_t elapsed_ms() { return tick_count() - Search.startTime; }
inline bool stopped() { return Control.StopRequested.load(std::memory_order_relaxed); }
