#include "search/timeman.h"

#include <algorithm>
#include <climits>

#include "core/options.h"
#include "search/control.h"
#include "search/search.h"

namespace {

// Extra time is kept far below the 32-bit range so that allotted + extra + softMargin can be
// formed in any width without overflow (a quarter of the range is still six days).
constexpr int64_t ExtraTimeCap = INT32_MAX / 4;

constexpr int64_t MinPollMs = 2;
constexpr int64_t MaxPollMs = 250;
constexpr int64_t MaxInputGapMs = 100;

bool clock_level() {
  return Level.LevelMode == LevelMovesToGo || Level.LevelMode == LevelSuddenDeath;
}

bool moves_to_go_level() { return Level.LevelMode == LevelMovesToGo && Level.movesToGo > 0; }

// The remaining time the clock modes count with: the period's time in mode 2, the game's in 3.
int64_t remaining_time() {
  return Level.LevelMode == LevelMovesToGo ? Level.periodTime : Level.clockTime;
}

int64_t clock_reserve(int64_t remaining) {
  return ClockReserveFixed + std::max<int64_t>(remaining, 0) * ClockReservePercent / 100;
}

int32_t to_int32(int64_t v) {
  return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// The planned time for this move before "Time Usage", and the percentage of the clock that the
// first hard limit keeps in reserve.
struct Target {
  int64_t time;
  int32_t reservePercent;
};

Target clock_target() {
  const int64_t inc = std::max<int32_t>(Level.increment, 0);
  if (moves_to_go_level()) {
    // Spread the period over the moves to go, two spare; with pondering the opponent's time
    // buys some of ours, so a long period is spread over fewer shares.
    const int64_t e = Level.periodTime;
    const int64_t k = std::min<int32_t>(Level.movesToGo, 60);
    const int64_t share = Options.PonderEnabled && Level.movesToGo > 7
                              ? e * 4 / (3 * k + 8)  // e / (0.75 k + 2)
                              : e / (k + 2);
    return {share + inc * 90 / 100, 85};
  }
  const int64_t c = remaining_time();
  int64_t t;
  if (inc == 0) {
    t = c <= 60000 ? (c - 1000) * 16 / 1000 : (c * 22 + 1100000) / 1000;
  } else if (c <= 60000) {
    // When the increment is large against the clock it is not counted on: the clock may be
    // the only thing that stands between this move and the next increment.
    t = 3 * inc < c ? ((c - 1000) * 32 + 450 * inc) / 1000 : (c - 1000) * 32 / 1000;
  } else {
    t = (c * 36 + 900 * inc + 900000) / 1000;
  }
  return {t, 25};
}

}  // namespace

int32_t ClockSafeLimit() {
  if (!clock_level()) return INT32_MAX;
  const int64_t c = remaining_time();
  return to_int32(std::max<int64_t>(c - clock_reserve(c), 1));
}

int32_t HardLimitFor(int32_t percent) {
  if (!clock_level()) return Level.hardLimit;
  const int64_t p = std::clamp(percent, 0, 100);
  int64_t limit;
  if (moves_to_go_level()) {
    // f = (90 e - p (k - 1) e / (k + 2)) / 100, kept as one fraction so that the comparison
    // with e - 1000 is exact.
    const int64_t e = Level.periodTime;
    const int64_t k = std::min<int32_t>(Level.movesToGo, 60);
    const int64_t num = 90 * e * (k + 2) - p * (k - 1) * e;
    const int64_t den = 100 * (k + 2);
    limit = num < (e - 1000) * den ? num / den : e - 1000;
  } else {
    const int64_t b = remaining_time() - 1000;
    limit = std::min(b, p * b / 100);
  }
  limit = std::max<int64_t>(limit, MinimumHardLimit);
  return to_int32(std::min<int64_t>(limit, ClockSafeLimit()));
}

int32_t ReservePercent(int32_t scoreChange) {
  const int32_t x = scoreChange / 10;
  if (moves_to_go_level()) {
    if (x > 0) return 85;
    if (x < -70) return 15;
    return 85 + x;
  }
  if (x < -50) return 75;
  if (x <= 0) return 25 - x;
  return 25;
}

void AllotTime() {
  if (!clock_level()) return;
  const Target target = clock_target();
  Level.hardLimit = HardLimitFor(target.reservePercent);
  int64_t allotted = target.time;
  if (Options.TimeUsage != 100) allotted = allotted * Options.TimeUsage / 100;
  Level.extra = 0;
  int64_t soft;
  if (allotted >= MinimumAllotment) {
    soft = allotted;
  } else {
    allotted = soft = MinimumAllotment;
  }
  // The hard limit is the one that guards the clock; nothing planned may lie beyond it.
  Level.allotted = to_int32(std::min<int64_t>(allotted, Level.hardLimit));
  Level.softMargin = to_int32(std::min<int64_t>(soft, Level.hardLimit));
}

void UpdateHardLimit(int32_t scoreChange) {
  if (clock_level()) Level.hardLimit = HardLimitFor(ReservePercent(scoreChange));
}

void AddExtraTime(int64_t ms) {
  Level.extra = int32_t(std::clamp<int64_t>(int64_t(Level.extra) + ms, -ExtraTimeCap, ExtraTimeCap));
}

void FoldExtraTime(int32_t previousScore, int32_t score) {
  if (clock_level()) {
    const int64_t dropped = int64_t(previousScore) - score;
    const int64_t add = dropped > 25 ? Level.extra : Level.extra / 2;
    Level.allotted = to_int32(int64_t(Level.allotted) + add);
  }
  Level.extra = 0;
}

void HalveForEasyMove() {
  if (!clock_level()) return;
  Level.allotted /= 2;
  Level.softMargin /= 2;
}

void CapTablebaseDrawTime() {
  if (clock_level()) Level.allotted = std::min(Level.allotted, 3000);
}

bool StopInTree(int64_t elapsed, int iterationDepth, bool stable) {
  // Whatever the depth, the clock itself is never overrun.
  if (clock_level() && elapsed >= ClockSafeLimit()) return true;
  if (iterationDepth <= 4) return false;
  if (elapsed >= Level.hardLimit) return true;
  return stable && elapsed >= int64_t(Level.softMargin) + Level.allotted + Level.extra;
}

bool StopBetweenRootMoves(int64_t elapsed, bool stable) {
  if (elapsed >= Level.hardLimit) return true;
  if (clock_level() && elapsed >= ClockSafeLimit()) return true;
  return stable && elapsed >= int64_t(Level.allotted) + Level.extra;
}

bool StopBeforeNextIteration(int64_t elapsed, int depth, bool quietNonPawnBest) {
  if (!clock_level() || depth <= 3) return false;
  const int64_t budget = int64_t(Level.allotted) + Level.extra;
  const int64_t share = Options.PonderEnabled ? 75 : 70;
  return elapsed * 100 > share * budget && (elapsed >= budget || quietNonPawnBest);
}

bool IterationTimeUp(int64_t elapsed, int depth) {
  if (!clock_level() || depth < 4) return false;
  return elapsed >= Level.hardLimit || elapsed >= Level.allotted;
}

bool MateSearchDone(int32_t score) {
  return Control.MateMoves > 0 && score >= MateScore - (2 * Control.MateMoves - 1);
}

bool PonderhitStopsAtOnce(int64_t elapsed, bool oneLegalMove, bool stable, bool firstMove) {
  if (oneLegalMove) return true;
  if (elapsed >= Level.hardLimit) return true;
  return stable && firstMove && elapsed >= int64_t(Level.allotted) + Level.extra;
}

namespace {

// The nodes this search runs in `ms` milliseconds at its speed so far. The clock counts whole
// milliseconds, so the true elapsed time lies below elapsed + 1: dividing by that never
// overrates the speed, which early in a search (a few thousand nodes in "1 ms") would stretch
// an interval several times over.
uint64_t nodes_in(int64_t ms, int64_t elapsed, uint64_t nodes) {
  const uint64_t per = uint64_t(std::max<int64_t>(elapsed, 0)) + 1;
  return nodes / per * uint64_t(ms) + nodes % per * uint64_t(ms) / per;
}

}  // namespace

uint64_t NextPollInterval(int64_t elapsed, uint64_t nodes, bool pondering) {
  uint64_t interval = elapsed >= 5000 ? Control.PollIntervalLong : Control.PollIntervalShort;
  // The long interval is a second of nodes as the start-up calibration measured them, which a
  // slower search (more threads than processors, a heavy middlegame) stretches to several
  // seconds: "stop" and "isready" must still be read within MaxInputGapMs.
  if (elapsed >= 5000) interval = std::min(interval, nodes_in(MaxInputGapMs, elapsed, nodes));
  // A node budget is checked at polls only: after the first 5 s the long interval (about a
  // second of nodes) would overrun it by up to that much, so the budget's hundredth, which
  // already bounds the short interval, bounds the long one too. The budget counts the nodes
  // of all threads while the polls count the main thread's, so it is shared out among them.
  if (Control.NodeLimit) {
    const uint64_t share = Control.NodeLimit / 100 / uint64_t(std::max(Options.ThreadCount, 1)) + 1;
    interval = std::min(interval, share);
  }
  if (interval < 1) interval = 1;
  if (Level.LevelMode == LevelDepth) return interval;

  // The longest acceptable delay between two polls: half the reserve under the clock, and
  // under a fixed move time half of what the same reserve rule would keep of that time.
  const int64_t budget = clock_level() ? remaining_time() : Level.hardLimit;
  const int64_t maxLatency = std::clamp(clock_reserve(budget) / 2, MinPollMs, MaxPollMs);
  // Approach the hard limit in halving steps, so the poll after it comes within MinPollMs.
  // A pondering search may be told "ponderhit" at any moment, and on a short clock the move
  // is then due at once: poll within an eighth of the clock.
  const int64_t wanted =
      pondering ? std::clamp(budget / 8, MinPollMs, maxLatency)
                : std::clamp((int64_t(Level.hardLimit) - elapsed) / 2, MinPollMs, maxLatency);

  return std::clamp<uint64_t>(nodes_in(wanted, elapsed, nodes), 1, interval);
}

int64_t NodeLimitWaitTarget(int64_t r) {
  if (Level.LevelMode == LevelDepth) return 0;
  int64_t target = int64_t(Level.allotted) + Level.extra;
  if (Level.LevelMode != LevelMoveTime && target > 0 && r >= 0) {
    // Spread the reply time like a human's: longer or shorter than planned.
    if (r & 1) target += r % target;
    else target -= r % std::max<int64_t>(1, 2 * target / 3);
  }
  return std::min<int64_t>(target, Level.hardLimit);
}
