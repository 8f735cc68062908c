#include <algorithm>
#include <cstdlib>

#include "core/input.h"
#include "core/options.h"
#include "core/random.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "search/control.h"
#include "search/level.h"
#include "search/params.h"
#include "search/report.h"
#include "search/search.h"
#include "search/tablebase_search.h"
#include "search/timeman.h"
#include "search/transposition.h"

namespace {

constexpr int32_t NodeLimitSleepMs = 50;

int64_t elapsed_ms() { return tick_count() - Search.startTime; }

// The node budget is spent: play on the clock for a while (a randomised share of the
// allotted time, so that a limited engine does not move instantly), reading input meanwhile.
void wait_out_node_limit() {
  if (Level.LevelMode == LevelDepth && Control.SearchState != Pondering) return;
  const int64_t target = NodeLimitWaitTarget(std::abs(int64_t(random_number())));
  while (!Control.StopRequested) {
    // Never sleep past the target: on a short clock the last few milliseconds decide
    // whether the move comes in time.
    const int64_t left = target - elapsed_ms();
    const bool thinking = Control.SearchState != Pondering;
    const int64_t pause =
        thinking ? std::clamp<int64_t>(left, 1, NodeLimitSleepMs) : NodeLimitSleepMs;
    search_pause(int32_t(pause));
    if (search_input_waiting()) read_command();
    if (Control.SearchState != Pondering && elapsed_ms() >= target) break;
  }
}

// After the first two seconds: the current line every 750 ms when the GUI asked for it, and
// the hash fill with the speed every 1500 ms.
void send_periodic_lines(const Position& pos, const PlyState& node, int64_t elapsed) {
  if (elapsed < 2000) return;
  tablebase_poll_adjust(elapsed);
  const int64_t now = Search.startTime + elapsed;
  if (Options.ShowCurrLine && now - Report.lastCurrLineTick > 750) {
    Report.lastCurrLineTick = now;
    send_currline(pos, node, elapsed);
  }
  if (TransTable.entries && now - Report.lastHashStatusTick > 1500) {
    Report.lastHashStatusTick = now;
    send_hash_status(elapsed);
  }
}

}  // namespace

bool poll_search(Position& pos, const PlyState& node) {
  const int64_t elapsed = elapsed_ms();
  // A node budget counts the nodes of all threads, like the "nodes" the engine reports.
  const uint64_t limit = Control.NodeLimit;
  const uint64_t searched = limit != 0 ? pos.nodes + worker_nodes() : 0;
  if (limit != 0 && searched >= limit &&
      (Search.stable || Search.iterationDepth > 1 || searched >= 8 * limit)) {
    wait_out_node_limit();
    Control.StopRequested = true;
  }
  Search.nextPoll =
      pos.nodes + NextPollInterval(elapsed, pos.nodes, Control.SearchState == Pondering);
  send_periodic_lines(pos, node, elapsed);
  if (Control.StopRequested) return true;
  if (search_input_waiting()) {
    read_command();
    if (Control.StopRequested) return true;
  }
  if (Control.SearchState == Thinking &&
      StopInTree(elapsed_ms(), Search.iterationDepth, Search.stable)) {
    Control.StopRequested = true;
    return true;
  }
  return false;
}
