#include <algorithm>
#include <cstdlib>

#include "core/input.h"
#include "core/random.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "search/control.h"
#include "search/level.h"
#include "search/params.h"
#include "search/search.h"

namespace {

constexpr int64_t LongIntervalAfterMs = 5000;
constexpr int32_t NodeLimitSleepMs = 50;

int64_t elapsed_ms() { return tick_count() - Search.startTime; }

// The node budget is spent: play on the clock for a while (a randomised share of the
// allotted time, so that a limited engine does not move instantly), reading input meanwhile.
void wait_out_node_limit() {
  if (Level.LevelMode == LevelDepth && Control.SearchState != Pondering) return;
  int64_t target = int64_t(Level.allotted) + Level.extra;
  if (Level.LevelMode != LevelMoveTime && target > 0) {
    const int64_t r = std::abs(int64_t(random_number()));
    if (r & 1) target += r % target;
    else target -= r % std::max<int64_t>(1, 2 * target / 3);
  }
  while (!Control.StopRequested) {
    sleep_ms(NodeLimitSleepMs);
    if (poll_input()) read_command();
    if (Control.SearchState != Pondering && elapsed_ms() >= target) break;
  }
}

}  // namespace

bool poll_search(Position& pos) {
  int64_t elapsed = elapsed_ms();
  const uint64_t limit = Control.NodeLimit;
  if (limit != 0 && pos.nodes >= limit &&
      (Search.stable || Search.iterationDepth > 1 || pos.nodes >= 8 * limit)) {
    wait_out_node_limit();
    Control.StopRequested = true;
  }
  Search.nextPoll = pos.nodes + (elapsed >= LongIntervalAfterMs ? Control.PollIntervalLong
                                                                 : Control.PollIntervalShort);
  if (Control.StopRequested) return true;
  if (poll_input()) {
    read_command();
    if (Control.StopRequested) return true;
  }
  if (Control.SearchState == Thinking && Search.iterationDepth > 4) {
    elapsed = elapsed_ms();
    const int64_t soft = int64_t(Level.softMargin) + Level.allotted + Level.extra;
    if (elapsed >= Level.hardLimit || (elapsed >= soft && Search.stable)) {
      Control.StopRequested = true;
      return true;
    }
  }
  return false;
}
