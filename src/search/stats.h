// Counters of what the search's rules did, for judging a change by more than its node count
// ("engine bench stats"). Each thread counts in its own Position with plain increments; the
// counters never influence the search.
#pragma once

#include <cstdint>

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
};

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
