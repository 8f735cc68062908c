#include "search/stats.h"

#include <chrono>

IterationLog Iterations;
ThreadSearchStats ThreadStats[MaxThreads];

namespace {

std::chrono::steady_clock::time_point LogStart;

}  // namespace

void start_iteration_log() {
  Iterations.count = 0;
  LogStart = std::chrono::steady_clock::now();
}

// The millisecond tick of the search clock is too coarse for the first iterations.
void log_iteration(int depth, uint64_t nodes) {
  if (depth < 1 || depth > IterationLogSize) return;
  const auto elapsed = std::chrono::steady_clock::now() - LogStart;
  Iterations.micros[depth - 1] = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
  Iterations.nodes[depth - 1] = nodes;
  if (depth > Iterations.count) Iterations.count = depth;
}
