// Time management: turns the clock of a "go" into the times of `Level` (allotted, extra,
// hardLimit, softMargin), adjusts them while the root search runs, and answers the stop
// questions that the root search and the in-tree clock poll ask.
//
// Everything here works on the global `Level` (search/level.h) and explicit arguments; all
// times are milliseconds since the start of the search. The stop predicates answer for a
// "go" without "ponder": a pondering search never stops on time, so the callers ask them only
// while `Control.SearchState` is `Thinking`.
//
// Safety: under the two clock modes no limit ever reaches the end of the clock. Every hard
// limit is capped by `ClockSafeLimit`, which keeps a reserve of 50 ms plus 5% of the remaining
// time for what the engine cannot see (pipe and scheduling delays, the time between two clock
// polls, the GUI's own bookkeeping), and `NextPollInterval` keeps the time between two polls
// short enough, measured with the search's real speed rather than the start-up calibration,
// that the search notices a passed limit within a few milliseconds.
#pragma once

#include <cstdint>

#include "search/level.h"

// Reserve kept under the clock modes: a fixed part and a share of the remaining time.
constexpr int32_t ClockReserveFixed = 50;
constexpr int32_t ClockReservePercent = 5;
// No allotment or soft limit is below this (unless the clock itself is shorter).
constexpr int32_t MinimumAllotment = 28;
// No hard limit is below this (unless the clock itself is shorter).
constexpr int32_t MinimumHardLimit = 58;

// The latest moment the search may still be running under the clock modes: the remaining
// time (of the period in mode 2) less the reserve; at least 1. INT32_MAX outside the clock
// modes.
int32_t ClockSafeLimit();

// Computes allotted, hardLimit and softMargin at the start of a search under the clock modes
// (2 and 3) from the clock, the increment, the moves to go, "Time Usage" and "Ponder"; resets
// extra. Does nothing in the other modes. Afterwards allotted <= hardLimit <= ClockSafeLimit().
void AllotTime();

// The hard limit that keeps `percent` of the remaining time in reserve, computed from the
// clock of the current level (clock modes only); capped by ClockSafeLimit().
int32_t HardLimitFor(int32_t percent);

// How much of the clock the hard limit may spend after the root score changed by
// `scoreChange` centipawns (new minus previous): a falling score earns a later hard limit.
int32_t ReservePercent(int32_t scoreChange);

// After the root score or best move changed: hardLimit = HardLimitFor(ReservePercent(change)).
// Only under the clock modes; a fixed move time or depth keeps its limit.
void UpdateHardLimit(int32_t scoreChange);

// extra += ms, saturating well below the 32-bit range (sums of the times never overflow).
void AddExtraTime(int64_t ms);

// After a completed iteration: under the clock modes the extra time is folded into the
// allotment (all of it when the score fell by more than 25 below the previous iteration's,
// half of it otherwise); extra becomes 0 in every mode.
void FoldExtraTime(int32_t previousScore, int32_t score);

// The best move looks easy: allotted and softMargin are halved.
void HalveForEasyMove();

// A drawn tablebase root with several drawing moves: allotted at most 3000 ms (clock modes).
void CapTablebaseDrawTime();

// Rule for the in-tree poll (main thread, not pondering): true when the search must stop now.
// From iteration depth 5 on: elapsed >= hardLimit, or elapsed >= softMargin + allotted + extra
// with the best move stable. At any depth under the clock modes: elapsed >= ClockSafeLimit().
bool StopInTree(int64_t elapsed, int iterationDepth, bool stable);

// Rule before each root move after the first: elapsed >= hardLimit, or elapsed >= allotted +
// extra with the best move stable.
bool StopBetweenRootMoves(int64_t elapsed, bool stable);

// Rule after a completed iteration of depth `depth` under the clock modes, once the extra time
// has been folded: no new iteration when more than 70% (75% with "Ponder" on) of allotted +
// extra has passed and either all of it has, or the best move is a quiet non-pawn move (such
// a move rarely changes at the next depth).
bool StopBeforeNextIteration(int64_t elapsed, int depth, bool quietNonPawnBest);

// Rule after a completed iteration under the clock modes from depth 4 on: elapsed >= hardLimit
// or elapsed >= allotted.
bool IterationTimeUp(int64_t elapsed, int depth);

// "go mate N": whether the score of a completed iteration (from the root's view) proves a
// mate in N moves or less, which ends the search.
bool MateSearchDone(int32_t score);

// "ponderhit": true when the search should stop at once. A single legal move stops at once;
// so does a search that has already used its hard limit, and one that has used allotted +
// extra while the best move is stable and the first root move of the iteration is being
// searched. Otherwise the search goes on under the rules above.
bool PonderhitStopsAtOnce(int64_t elapsed, bool oneLegalMove, bool stable, bool firstMove);

// Nodes from now to the next clock poll of the main thread, given the main thread's node count
// and the elapsed time so far. The calibrated interval (short before 5000 ms of search, long
// after) is the most; under a fixed move time and the clock modes it is shortened so that,
// at the speed the search has shown so far, the next poll comes after at most half of the time
// left to the hard limit (at least 2 ms, at most 250 ms or half the clock reserve). A
// pondering search uses the latter bound, so that "ponderhit" is read in time. At least 1.
uint64_t NextPollInterval(int64_t elapsed, uint64_t nodes, bool pondering);

// The moment (ms) until which a search that has reached its node limit waits before it stops:
// allotted + extra, moved at random by `r` (a non-negative random draw) except under a fixed
// move time, and never beyond the hard limit. Under a fixed depth the limit is the node count
// alone: 0 (a pondering search still waits for "ponderhit" or "stop").
int64_t NodeLimitWaitTarget(int64_t r);
