// Counters of what the search's rules did, for judging a change by more than its node count
// ("engine bench stats"). Each search thread counts in its own slot with plain increments; the
// counters never influence the search.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "search/threads.h"

// The searches that a node runs besides its own move loop, for counting where the tree's nodes
// go. A node searched inside several of them counts for the outermost one.
enum class Subtree : uint8_t {
  None,  // zero, so that a cleared SearchStats has no subtree open
  NullMove,
  MultiCut,
  RefutationSweep,
  CutNodeDeepening,
  SingularTest,
  ReducedLateMove,  // the reduced search that decides whether a late move is searched at all
  ReSearch,         // the wider searches after a zero-window fail high
  Count
};

struct SearchStats {
  uint64_t quiescenceNodes;
  uint64_t tableHits;            // full-width nodes whose table probe found an entry
  uint64_t quiescenceTableHits;
  uint64_t firstMoveCuts;        // beta cutoffs by the first move searched at a node
  uint64_t laterMoveCuts;        // beta cutoffs by any later move
  uint64_t nullTries, nullCuts;
  uint64_t futileNodes;          // nodes whose moves were searched with futility pruning on
  uint64_t futileFailLows;       // of those, the ones that failed low as the pruning assumes
  uint64_t futilePrunedMoves;
  uint64_t multiCutTries, multiCutCuts;
  uint64_t singularTests, singularFound;
  uint64_t subtreeNodes[uint32_t(Subtree::Count)];  // by Subtree; the None slot stays 0
  Subtree open;                                     // the outermost subtree being counted
  uint64_t moveLoopNodes;                           // nodes entered with no subtree open
};

// One record per search thread, each on cache lines of its own so that counting threads do
// not slow each other down.
struct alignas(64) ThreadSearchStats : SearchStats {};
extern ThreadSearchStats ThreadStats[MaxThreads];

inline SearchStats& stats_of([[maybe_unused]] const Position& pos) {
#if TARROW_MP
  return ThreadStats[pos.threadIndex];
#else
  return ThreadStats[0];
#endif
}

// Completed iterations of the main thread's latest search: when each ended and how many
// nodes it had taken by then.
constexpr int IterationLogSize = 100;
struct IterationLog {
  int count;
  int64_t micros[IterationLogSize];  // since start_iteration_log(), by depth - 1
  uint64_t nodes[IterationLogSize];
};
extern IterationLog Iterations;

void start_iteration_log();
void log_iteration(int depth, uint64_t nodes);
