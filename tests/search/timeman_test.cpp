#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>

#include "core/options.h"
#include "search/control.h"
#include "search/level.h"
#include "search/timeman.h"

namespace {

class TimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_options();
    reset_clock_control();
    Options.PonderEnabled = 0;
    Control.PollIntervalLong = 4000000;
    Control.PollIntervalShort = 1000000;
  }
  void TearDown() override { reset_options(); reset_clock_control(); }

  static void sudden_death(int32_t clock, int32_t inc = 0) {
    set_level(LevelSuddenDeath, clock, 0, inc);
    AllotTime();
  }
  static void moves_to_go(int32_t period, int32_t movesToGo, int32_t inc = 0) {
    set_level(LevelMovesToGo, period, movesToGo, inc);
    AllotTime();
  }
};

// The reserve the clock modes promise to keep: 50 ms plus 5% of the remaining time.
int64_t reserve_for(int64_t remaining) { return 50 + std::max<int64_t>(remaining, 0) / 20; }

TEST_F(TimeTest, FixedMoveTimeUsesTheWholeTimeAndKeepsItsLimit) {
  set_level(LevelMoveTime, 1000);
  AllotTime();  // not a clock mode: nothing changes
  EXPECT_EQ(Level.allotted, 1000);
  EXPECT_EQ(Level.hardLimit, 1000);
  // Root loop: stops at 1000 ms, stable or not.
  EXPECT_FALSE(StopBetweenRootMoves(999, true));
  EXPECT_TRUE(StopBetweenRootMoves(1000, false));
  // In the tree only once depth 5 is under way.
  EXPECT_FALSE(StopInTree(5000, 4, true));
  EXPECT_FALSE(StopInTree(999, 5, true));
  EXPECT_TRUE(StopInTree(1000, 5, false));
  // A fixed move time is used up: no early end between iterations.
  EXPECT_FALSE(StopBeforeNextIteration(990, 10, true));
  EXPECT_FALSE(IterationTimeUp(990, 10));
  // A changing root score must not turn the move time into a clock limit.
  UpdateHardLimit(-800);
  EXPECT_EQ(Level.hardLimit, 1000);
  FoldExtraTime(100, -100);
  EXPECT_EQ(Level.allotted, 1000);
}

TEST_F(TimeTest, FixedDepthNeverStopsOnTime) {
  set_level(LevelDepth, 12);
  AddExtraTime(5000);  // sums with the largest 32-bit allotment must not wrap
  EXPECT_FALSE(StopInTree(INT32_MAX - 1, 20, true));
  EXPECT_FALSE(StopBetweenRootMoves(INT32_MAX - 1, true));
  EXPECT_FALSE(StopBeforeNextIteration(INT32_MAX - 1, 20, true));
  EXPECT_FALSE(IterationTimeUp(INT32_MAX - 1, 20));
  EXPECT_FALSE(PonderhitStopsAtOnce(1000000, false, true, true));
  EXPECT_TRUE(PonderhitStopsAtOnce(0, true, false, false));
  HalveForEasyMove();
  EXPECT_EQ(Level.allotted, INT32_MAX);
}

TEST_F(TimeTest, SuddenDeathTargets) {
  sudden_death(60000);
  EXPECT_EQ(Level.allotted, 944);  // (60000 - 1000) * 1.6 / 100
  EXPECT_EQ(Level.softMargin, 944);
  EXPECT_EQ(Level.hardLimit, 14750);  // 25% of 59000
  EXPECT_EQ(Level.extra, 0);

  sudden_death(300000, 2000);
  EXPECT_EQ(Level.allotted, 13500);  // (300000 * 3.6 + 180000 + 90000) / 100
  EXPECT_EQ(Level.hardLimit, 74750);

  sudden_death(300000);
  EXPECT_EQ(Level.allotted, 7700);  // (300000 * 2.2 + 110000) / 100

  sudden_death(30000, 1000);
  EXPECT_EQ(Level.allotted, (29000 * 32 + 450 * 1000) / 1000);
  // An increment of a third of the clock or more is not counted on.
  sudden_death(30000, 10000);
  EXPECT_EQ(Level.allotted, 928);
  sudden_death(30001, 10000);
  EXPECT_EQ(Level.allotted, (29001 * 32 + 4500000) / 1000);
  // Never planned beyond the hard limit: 514 ms planned, 500 ms allowed.
  sudden_death(3001, 1000);
  EXPECT_EQ(Level.hardLimit, 500);
  EXPECT_EQ(Level.allotted, 500);
}

TEST_F(TimeTest, TimeUsageScalesTheAllotmentButNotTheHardLimit) {
  Options.TimeUsage = 50;
  sudden_death(60000);
  EXPECT_EQ(Level.allotted, 472);
  EXPECT_EQ(Level.softMargin, 472);
  EXPECT_EQ(Level.hardLimit, 14750);
  Options.TimeUsage = 400;
  sudden_death(60000);
  EXPECT_EQ(Level.allotted, 3776);
  EXPECT_EQ(Level.hardLimit, 14750);
  // Scaled below the floor: the floor wins.
  Options.TimeUsage = 25;
  sudden_death(5000);
  EXPECT_EQ(Level.allotted, 28);
}

TEST_F(TimeTest, ShortClocksStayInsideTheClock) {
  // Between 1 and about 1.23 s the floors decide: 28 ms planned, 58 ms at most.
  for (int32_t clock : {1000, 1100, 1232}) {
    sudden_death(clock);
    EXPECT_EQ(Level.allotted, 28) << clock;
    EXPECT_EQ(Level.softMargin, 28) << clock;
    EXPECT_EQ(Level.hardLimit, 58) << clock;
  }
  // Below 1 s the formulas go negative; the floors still hold while they fit the clock...
  sudden_death(500);
  EXPECT_EQ(Level.allotted, 28);
  EXPECT_EQ(Level.hardLimit, 58);
  // ...but 58 ms would flag a clock of 100 ms or less: the reserve wins over the floors.
  sudden_death(100);
  EXPECT_EQ(Level.hardLimit, 100 - 55);
  EXPECT_EQ(Level.allotted, 28);
  sudden_death(60);
  EXPECT_EQ(Level.hardLimit, 7);
  EXPECT_EQ(Level.allotted, 7);
  EXPECT_EQ(Level.softMargin, 7);
  for (int32_t clock : {50, 1, 0, -300}) {  // a flagged or absurd clock: move at once
    sudden_death(clock);
    EXPECT_EQ(Level.hardLimit, 1) << clock;
    EXPECT_EQ(Level.allotted, 1) << clock;
  }
  // With a big increment and 1 s left the period target would be far beyond the clock.
  moves_to_go(1000, 1, 5000);
  EXPECT_EQ(Level.hardLimit, 58);
  EXPECT_EQ(Level.allotted, 58);
}

TEST_F(TimeTest, MovesToGoTargets) {
  Options.PonderEnabled = 1;
  moves_to_go(30000, 20);
  EXPECT_EQ(Level.allotted, 30000 * 4 / 68);  // e / (0.75 k + 2)
  // f = (90 e - 85 (k - 1) e / (k + 2)) / 100 = 4977.27...
  EXPECT_EQ(Level.hardLimit, 4977);
  moves_to_go(30000, 7);  // few moves to go: no pondering discount
  EXPECT_EQ(Level.allotted, 30000 / 9);
  Options.PonderEnabled = 0;
  moves_to_go(30000, 20, 1000);
  EXPECT_EQ(Level.allotted, 30000 / 22 + 900);
  // More than 60 moves count as 60.
  moves_to_go(600000, 100);
  const int32_t far = Level.allotted;
  moves_to_go(600000, 60);
  EXPECT_EQ(Level.allotted, far);
  EXPECT_EQ(Level.allotted, 600000 / 62);
  // The last move of the period may use 90% of it, but keeps 1 s.
  moves_to_go(30000, 1);
  EXPECT_EQ(Level.allotted, 10000);
  EXPECT_EQ(Level.hardLimit, 27000);
  moves_to_go(5000, 1);
  EXPECT_EQ(Level.hardLimit, 4000);
  // "movestogo 0" is a sudden-death clock of the period's time.
  moves_to_go(60000, 0);
  EXPECT_EQ(Level.allotted, 944);
  EXPECT_EQ(Level.hardLimit, 14750);
}

TEST_F(TimeTest, MovesToGoCountsThePeriodNotAnEarlierClock) {
  sudden_death(3000000);
  moves_to_go(2000, 3);
  EXPECT_LE(Level.hardLimit, 2000 - reserve_for(2000));
  EXPECT_EQ(ClockSafeLimit(), 2000 - 150);
  set_level(LevelSuddenDeath, 2000);
  EXPECT_EQ(ClockSafeLimit(), 2000 - 150);
  set_level(LevelMoveTime, 2000);
  EXPECT_EQ(ClockSafeLimit(), INT32_MAX);
}

TEST_F(TimeTest, ReservePercentTables) {
  set_level(LevelSuddenDeath, 60000);
  const struct { int32_t change, percent; } suddenDeath[] = {
      {500, 25}, {10, 25}, {9, 25}, {0, 25}, {-9, 25}, {-10, 26},
      {-300, 55}, {-509, 75}, {-510, 75}, {-5000, 75}};
  for (const auto& c : suddenDeath) EXPECT_EQ(ReservePercent(c.change), c.percent) << c.change;

  set_level(LevelMovesToGo, 60000, 30);
  const struct { int32_t change, percent; } movesToGo[] = {
      {500, 85}, {10, 85}, {0, 85}, {-19, 84}, {-100, 75}, {-700, 15}, {-709, 15},
      {-710, 15}, {-5000, 15}};
  for (const auto& c : movesToGo) EXPECT_EQ(ReservePercent(c.change), c.percent) << c.change;
  // Zero moves to go is the sudden-death table.
  set_level(LevelMovesToGo, 60000, 0);
  EXPECT_EQ(ReservePercent(-300), 55);
}

TEST_F(TimeTest, FallingScoresMoveTheHardLimit) {
  sudden_death(60000);
  UpdateHardLimit(-300);
  EXPECT_EQ(Level.hardLimit, 59000 * 55 / 100);
  UpdateHardLimit(-3000);
  EXPECT_EQ(Level.hardLimit, 59000 * 75 / 100);
  UpdateHardLimit(40);
  EXPECT_EQ(Level.hardLimit, 14750);
  // All but 1 s would eat into the reserve of 50 + 3000 ms.
  EXPECT_EQ(HardLimitFor(100), 56950);
  EXPECT_EQ(HardLimitFor(250), 56950);
  EXPECT_EQ(HardLimitFor(-20), 58);  // percentages are 0..100
  // The reserve caps every recomputation.
  sudden_death(10000);
  EXPECT_EQ(HardLimitFor(100), 9000);
  sudden_death(1100);
  UpdateHardLimit(-3000);
  EXPECT_EQ(Level.hardLimit, 75);

  // Moves to go: a falling score lowers the percentage kept back.
  moves_to_go(40000, 20);
  const int32_t first = Level.hardLimit;
  UpdateHardLimit(-400);
  EXPECT_GT(Level.hardLimit, first);
  EXPECT_EQ(Level.hardLimit, (90 * 40000 * 22 - 45 * 19 * 40000) / 2200);
}

TEST_F(TimeTest, ExtraTimeIsFoldedAfterEachIteration) {
  sudden_death(60000);
  AddExtraTime(400);
  FoldExtraTime(50, 20);  // fell by 30: all of it
  EXPECT_EQ(Level.allotted, 1344);
  EXPECT_EQ(Level.extra, 0);
  AddExtraTime(400);
  FoldExtraTime(50, 25);  // fell by exactly 25: half
  EXPECT_EQ(Level.allotted, 1544);
  AddExtraTime(400);
  FoldExtraTime(50, 90);
  EXPECT_EQ(Level.allotted, 1744);
  // Huge grants saturate instead of wrapping.
  AddExtraTime(int64_t(30000) * 1000000 / 25);
  AddExtraTime(int64_t(30000) * 1000000 / 25);
  EXPECT_GT(Level.extra, 0);
  EXPECT_TRUE(StopInTree(Level.hardLimit, 5, true));
  EXPECT_FALSE(StopBetweenRootMoves(Level.hardLimit - 1, true));
  FoldExtraTime(0, -100);
  EXPECT_GT(Level.allotted, 0);
}

TEST_F(TimeTest, EasyMoveAndTablebaseDrawShortenThePlan) {
  sudden_death(300000, 2000);
  HalveForEasyMove();
  EXPECT_EQ(Level.allotted, 6750);
  EXPECT_EQ(Level.softMargin, 6750);
  EXPECT_EQ(Level.hardLimit, 74750);
  CapTablebaseDrawTime();
  EXPECT_EQ(Level.allotted, 3000);
  sudden_death(60000);
  CapTablebaseDrawTime();
  EXPECT_EQ(Level.allotted, 944);
}

TEST_F(TimeTest, InTreeStopRule) {
  sudden_death(60000);  // allotted = soft = 944, hard 14750
  EXPECT_FALSE(StopInTree(1887, 5, true));
  EXPECT_TRUE(StopInTree(1888, 5, true));
  EXPECT_FALSE(StopInTree(14749, 5, false));
  EXPECT_TRUE(StopInTree(14750, 5, false));
  AddExtraTime(100);
  EXPECT_FALSE(StopInTree(1987, 5, true));
  EXPECT_TRUE(StopInTree(1988, 5, true));
  // Shallow iterations run on past the hard limit, but never past the clock's reserve.
  EXPECT_FALSE(StopInTree(20000, 4, false));
  EXPECT_FALSE(StopInTree(56949, 1, false));
  EXPECT_TRUE(StopInTree(56950, 1, false));
}

TEST_F(TimeTest, RootMoveStopRule) {
  sudden_death(60000);
  EXPECT_FALSE(StopBetweenRootMoves(943, true));
  EXPECT_TRUE(StopBetweenRootMoves(944, true));
  EXPECT_FALSE(StopBetweenRootMoves(944, false));
  AddExtraTime(56);
  EXPECT_FALSE(StopBetweenRootMoves(999, true));
  EXPECT_TRUE(StopBetweenRootMoves(1000, true));
  EXPECT_TRUE(StopBetweenRootMoves(14750, false));
}

TEST_F(TimeTest, AfterIterationRules) {
  set_level(LevelSuddenDeath, 60000);
  AllotTime();
  Level.allotted = 1000;
  // 70% of the plan with a quiet piece move as the best move, or all of it.
  EXPECT_FALSE(StopBeforeNextIteration(700, 6, true));
  EXPECT_TRUE(StopBeforeNextIteration(701, 6, true));
  EXPECT_FALSE(StopBeforeNextIteration(999, 6, false));
  EXPECT_TRUE(StopBeforeNextIteration(1000, 6, false));
  EXPECT_FALSE(StopBeforeNextIteration(5000, 3, true));
  AddExtraTime(1000);
  EXPECT_FALSE(StopBeforeNextIteration(1400, 6, true));
  EXPECT_TRUE(StopBeforeNextIteration(1401, 6, true));
  Level.extra = 0;
  Options.PonderEnabled = 1;
  EXPECT_FALSE(StopBeforeNextIteration(750, 6, true));
  EXPECT_TRUE(StopBeforeNextIteration(751, 6, true));

  EXPECT_FALSE(IterationTimeUp(999, 4));
  EXPECT_TRUE(IterationTimeUp(1000, 4));
  EXPECT_FALSE(IterationTimeUp(5000, 3));
  Level.allotted = 20000;
  EXPECT_TRUE(IterationTimeUp(14750, 4));
}

TEST_F(TimeTest, PonderhitRule) {
  sudden_death(60000);
  EXPECT_TRUE(PonderhitStopsAtOnce(0, true, false, false));
  EXPECT_TRUE(PonderhitStopsAtOnce(944, false, true, true));
  EXPECT_FALSE(PonderhitStopsAtOnce(943, false, true, true));
  EXPECT_FALSE(PonderhitStopsAtOnce(5000, false, false, true));
  EXPECT_FALSE(PonderhitStopsAtOnce(5000, false, true, false));
  AddExtraTime(100);
  EXPECT_FALSE(PonderhitStopsAtOnce(1043, false, true, true));
  // Pondered past the hard limit: the move is due now.
  EXPECT_TRUE(PonderhitStopsAtOnce(14750, false, false, false));
}

// Runs the main thread's poll schedule of a search at `nodesPerMs` (which may change with the
// node count) and returns the elapsed time at which the in-tree rule stops the search.
template <typename Rate>
int64_t simulated_stop(Rate nodesPerMs, int depth = 10) {
  uint64_t nodes = std::min<uint64_t>(Control.PollIntervalShort, 1000);
  double elapsed = double(nodes) / nodesPerMs(0);
  for (int polls = 0; polls < 100000; ++polls) {
    const int64_t ms = int64_t(elapsed);
    if (StopInTree(ms, depth, false)) return ms;
    const uint64_t step = NextPollInterval(ms, nodes, false);
    EXPECT_GE(step, 1u);
    EXPECT_LE(step, ms >= 5000 ? Control.PollIntervalLong : Control.PollIntervalShort);
    elapsed += double(step) / nodesPerMs(nodes);
    nodes += step;
  }
  ADD_FAILURE() << "the search never stopped";
  return -1;
}

TEST_F(TimeTest, PollsComeSoonEnoughToHonourTheHardLimit) {
  // A calibration that promised a second per interval on a machine (or a position) that is
  // twenty times slower: the intervals alone would let the search run for many seconds.
  Control.PollIntervalShort = 2000000;
  Control.PollIntervalLong = 8000000;
  const auto steady = [](uint64_t) { return 100.0; };
  for (int32_t clock : {1000, 1500, 5000, 60000, 300000}) {
    sudden_death(clock);
    const int64_t stop = simulated_stop(steady);
    EXPECT_GE(stop, Level.hardLimit) << clock;
    EXPECT_LE(stop, Level.hardLimit + 3) << clock;
  }
  // The speed falls to a quarter midway: the overshoot stays inside the reserve.
  sudden_death(1000);
  const auto slowing = [](uint64_t nodes) { return nodes < 3000 ? 100.0 : 25.0; };
  const int64_t stop = simulated_stop(slowing);
  EXPECT_GE(stop, Level.hardLimit);
  EXPECT_LE(stop, Level.hardLimit + reserve_for(1000) / 2);
  // A fixed move time is honoured as closely.
  set_level(LevelMoveTime, 300);
  EXPECT_LE(simulated_stop(steady), 303);
  // Before depth 5 only the clock's own reserve stops the search.
  sudden_death(1000);
  EXPECT_LE(simulated_stop(steady, 3), ClockSafeLimit() + 3);
}

TEST_F(TimeTest, PollIntervalBounds) {
  // Fixed depth: the calibrated intervals, short first and long after 5 s.
  set_level(LevelDepth, 99);
  Control.PollIntervalLong = 8000000;
  EXPECT_EQ(NextPollInterval(10, 1000, false), Control.PollIntervalShort);
  EXPECT_EQ(NextPollInterval(5999, 600000000, false), Control.PollIntervalLong);
  // After 5 s the long interval never spans more than 100 ms of the search's own speed, so a
  // calibration that overrates it (more threads than processors, a slow position) cannot
  // leave "stop" unread for seconds: here 1000 nodes a millisecond.
  EXPECT_EQ(NextPollInterval(5999, 6000000, false), 100000u);
  // A node budget bounds both intervals to its hundredth, so "go nodes" stops within 1% of its
  // budget however long the search has run.
  Control.NodeLimit = 3000000;
  EXPECT_EQ(NextPollInterval(10, 1000, false), 30001u);
  EXPECT_EQ(NextPollInterval(6000, 60000000, false), 30001u);
  // The budget counts the nodes of all threads and the polls the main thread's: with four
  // threads each poll comes after a quarter of that.
  const int32_t threads = Options.ThreadCount;
  Options.ThreadCount = 4;
  EXPECT_EQ(NextPollInterval(10, 1000, false), 7501u);
  Options.ThreadCount = threads;
  Control.NodeLimit = 0;
  // Never 0, even with no nodes yet or an empty calibration.
  sudden_death(60000);
  EXPECT_EQ(NextPollInterval(0, 0, false), 1u);
  Control.PollIntervalShort = 0;
  EXPECT_EQ(NextPollInterval(100, 100000, false), 1u);
  Control.PollIntervalShort = 1000000;
  // Pondering keeps polling at most every half reserve (at most 250 ms) so that "ponderhit" is
  // read while the clock still has room: here 1000 nodes per ms and 1 s on the clock.
  // (The speed is counted over elapsed + 1 ms: the clock truncates.)
  sudden_death(1000);
  EXPECT_EQ(NextPollInterval(3999, 4000000, true), 50u * 1000);
  sudden_death(600000);
  EXPECT_EQ(NextPollInterval(3999, 4000000, true), 250u * 1000);
  // Far from the hard limit a thinking search polls at most every 250 ms as well.
  EXPECT_EQ(NextPollInterval(999, 1000000, false), 250u * 1000);
  // On a 36 ms clock the move is due at once after "ponderhit": poll every 4 ms, and do not
  // take 4000 nodes in the first "1 ms" for a speed of 4000 nodes per ms.
  sudden_death(36);
  EXPECT_EQ(NextPollInterval(19, 20000, true), 4u * 1000);
  EXPECT_EQ(NextPollInterval(1, 4000, true), 4u * 2000);
}

TEST_F(TimeTest, NodeLimitWait) {
  // A depth level waits for nothing but the node count.
  set_level(LevelDepth, 99);
  EXPECT_EQ(NodeLimitWaitTarget(12345), 0);
  // A fixed move time waits for exactly that time.
  set_level(LevelMoveTime, 500);
  EXPECT_EQ(NodeLimitWaitTarget(12345), 500);
  EXPECT_EQ(NodeLimitWaitTarget(12346), 500);
  // Clocks spread the wait around the allotment, but never past the hard limit.
  sudden_death(60000);  // 944 planned
  EXPECT_EQ(NodeLimitWaitTarget(1001), 944 + 1001 % 944);
  EXPECT_EQ(NodeLimitWaitTarget(1000), 944 - 1000 % 629);
  sudden_death(1000);  // 28 planned, 58 at most
  for (int64_t r = 0; r < 200; ++r) {
    EXPECT_LE(NodeLimitWaitTarget(r), 58) << r;
    EXPECT_GE(NodeLimitWaitTarget(r), 0) << r;
  }
  // Nothing planned at all (a move time of 0) must not divide by zero.
  set_level(LevelMoveTime, 0);
  EXPECT_EQ(NodeLimitWaitTarget(7), 0);
  sudden_death(60000);
  Level.allotted = 0;
  EXPECT_EQ(NodeLimitWaitTarget(7), 0);
}

// Over a grid of clocks, increments, moves to go, "Ponder" and "Time Usage": the plan fits
// inside the hard limit, and the hard limit keeps the reserve, at the start of the search and
// after any recomputation.
TEST_F(TimeTest, EveryClockKeepsItsReserve) {
  const int32_t clocks[] = {-100, 0,     1,     20,     50,     57,     100,     200,
                            500,  999,   1000,  1001,   1232,   1233,   1500,    2000,
                            2750, 3000,  5000,  10000,  59999,  60000,  60001,   180000,
                            300000, 3600000, 86400000, INT32_MAX};
  const int32_t increments[] = {0, 1, 10, 100, 500, 1000, 2000, 10000, 60000, INT32_MAX};
  const int32_t movesToGo[] = {-1, 0, 1, 2, 5, 7, 8, 20, 40, 60, 61, 1000, INT32_MAX};
  const int32_t usages[] = {25, 100, 400};
  const int32_t changes[] = {-30000, -800, -500, -100, -30, 0, 30, 500, 30000};
  int checked = 0;
  for (int ponder = 0; ponder <= 1; ++ponder) {
    Options.PonderEnabled = ponder;
    for (int32_t usage : usages) {
      Options.TimeUsage = usage;
      for (int32_t clock : clocks)
        for (int32_t inc : increments)
          for (int32_t mtg : movesToGo) {
            if (mtg < 0) sudden_death(clock, inc);
            else moves_to_go(clock, mtg, inc);
            const int64_t safe = std::max<int64_t>(1, int64_t(clock) - reserve_for(clock));
            const auto where = [&] {
              return ::testing::Message() << "clock " << clock << " inc " << inc << " mtg "
                                          << mtg << " ponder " << ponder << " usage " << usage;
            };
            ASSERT_EQ(ClockSafeLimit(), safe) << where();
            ASSERT_GE(Level.allotted, 1) << where();
            ASSERT_LE(Level.allotted, Level.hardLimit) << where();
            ASSERT_LE(Level.softMargin, Level.hardLimit) << where();
            ASSERT_GE(Level.hardLimit, 1) << where();
            ASSERT_LE(Level.hardLimit, safe) << where();
            // The floors hold wherever the clock leaves room for them.
            ASSERT_GE(Level.hardLimit, std::min<int64_t>(58, safe)) << where();
            ASSERT_GE(Level.allotted, std::min<int32_t>(28, Level.hardLimit)) << where();
            for (int32_t change : changes) {
              UpdateHardLimit(change);
              ASSERT_GE(Level.hardLimit, 1) << where() << " change " << change;
              ASSERT_LE(Level.hardLimit, safe) << where() << " change " << change;
            }
            // Whatever the plan grew to, the stop rules end the search inside the reserve.
            AddExtraTime(int64_t(INT32_MAX) * 4);
            FoldExtraTime(0, -1000);
            ASSERT_TRUE(StopBetweenRootMoves(safe, false)) << where();
            ASSERT_TRUE(StopInTree(safe, 1, false)) << where();
            ASSERT_TRUE(IterationTimeUp(safe, 4)) << where();
            ASSERT_LE(NodeLimitWaitTarget(12345), safe) << where();
            ++checked;
          }
    }
  }
  EXPECT_EQ(checked, 2 * 3 * 28 * 10 * 13);
}

}  // namespace
