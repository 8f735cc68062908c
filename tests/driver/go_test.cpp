// "go": parameter reading, level selection and the node budgets.
#include <climits>

#include "core/options.h"
#include "driver/engine_fixture.h"
#include "driver/go.h"
#include "search/control.h"
#include "search/level.h"

namespace {

using GoTest = EngineTest;
using Lines = std::vector<std::string>;

TEST_F(GoTest, AnswersWithTheBestmoveLineAndEndsIdle) {
  EXPECT_EQ(run("go depth 4"), Lines{"bestmove 0000"});
  EXPECT_EQ(Control.SearchState, Idle);
  EXPECT_EQ(run("go ponder infinite"), Lines{"bestmove 0000"});
  EXPECT_EQ(Control.SearchState, Idle);
}

TEST_F(GoTest, WithoutLimitsTheLevelIsTheStartUpDepth) {
  run("go");
  EXPECT_EQ(Level.LevelMode, LevelDepth);
  EXPECT_EQ(Level.maxDepth, 3);
  EXPECT_EQ(Level.allotted, INT32_MAX);
  // Never the limits of the go before: an infinite search there would never answer here.
  run("go depth 7");
  run("go ponder");
  EXPECT_EQ(Level.maxDepth, 3);
  run("go infinite");
  run("go searchmoves e2e4");
  EXPECT_EQ(Level.maxDepth, 3);
}

TEST_F(GoTest, ClockValuesOfTheSideNotToMoveAreSkipped) {
  run("position startpos moves e2e4");
  run("go wtime 1000 btime 2000 winc 10 binc 20");
  EXPECT_EQ(Level.LevelMode, LevelSuddenDeath);
  EXPECT_EQ(Level.clockTime, 2000);
  EXPECT_EQ(Level.increment, 20);
  EXPECT_TRUE(Level.clockMode);
  EXPECT_EQ(Level.allotted, 0);

  run("position startpos");
  run("go btime 2000 wtime 1000 movestogo 12");
  EXPECT_EQ(Level.LevelMode, LevelMovesToGo);
  EXPECT_EQ(Level.periodTime, 1000);
  EXPECT_EQ(Level.movesToGo, 12);
  EXPECT_EQ(Level.increment, 0);  // no increment given for White
}

TEST_F(GoTest, TheFirstMatchingLimitWins) {
  run("go depth 5 movetime 500");
  EXPECT_EQ(Level.LevelMode, LevelMoveTime);
  EXPECT_EQ(Level.allotted, 500);
  EXPECT_EQ(Level.hardLimit, 500);
  EXPECT_EQ(Level.maxDepth, 99);

  run("go movetime 300 infinite");
  EXPECT_EQ(Level.LevelMode, LevelDepth);
  EXPECT_EQ(Level.maxDepth, 99);

  run("go mate 3");
  EXPECT_EQ(Level.LevelMode, LevelDepth);
  EXPECT_EQ(Level.maxDepth, 99);
  EXPECT_EQ(Control.NodeLimit, 0u);
  EXPECT_EQ(Control.MateMoves, 3);

  run("go wtime 60000 depth 6");
  EXPECT_EQ(Level.LevelMode, LevelDepth);
  EXPECT_EQ(Level.maxDepth, 6);
}

TEST_F(GoTest, NodesSetTheBudgetAndShortenThePollInterval) {
  run("go nodes 100000");
  EXPECT_EQ(Control.NodeLimit, 100000u);
  EXPECT_LE(Control.PollIntervalShort, 1001u);
  EXPECT_EQ(Level.maxDepth, 99);
  // The next go starts again from a quarter of the long interval and no budget.
  run("go depth 2");
  EXPECT_EQ(Control.NodeLimit, 0u);
  EXPECT_EQ(Control.PollIntervalShort, Control.PollIntervalLong / 4);
  // No nodes at all is the smallest budget, never an unlimited search.
  run("go nodes -5");
  EXPECT_EQ(Control.NodeLimit, 1u);
  run("go nodes 0");
  EXPECT_EQ(Control.NodeLimit, 1u);
}

TEST_F(GoTest, AMissingValueEndsTheParameters) {
  run("go depth 8");
  run("go movetime");
  EXPECT_EQ(Level.LevelMode, LevelDepth);
  EXPECT_EQ(Level.maxDepth, 3);  // no limit read: the start-up depth
  run("go wtime 5000 movestogo");
  EXPECT_EQ(Level.LevelMode, LevelSuddenDeath);
  EXPECT_EQ(Level.clockTime, 5000);
  // Text without digits reads as 0; huge numbers saturate.
  run("go movetime abc");
  EXPECT_EQ(Level.allotted, 0);
  run("go movetime 123456789012");
  EXPECT_EQ(Level.allotted, INT32_MAX);
  run("go wtime -123456789012");
  EXPECT_EQ(Level.clockTime, INT32_MIN);
}

TEST_F(GoTest, DepthStaysWithinThePlyStack) {
  run("go depth 1000");
  EXPECT_EQ(Level.maxDepth, 99);
  run("go depth 0");
  EXPECT_EQ(Level.maxDepth, 1);
  run("go depth -7");
  EXPECT_EQ(Level.maxDepth, 1);
}

TEST_F(GoTest, SearchmovesCollectsMovesUpToItsCapacity) {
  run("go searchmoves e2e4 xyz d2d4 depth 3 g1f3");
  EXPECT_EQ(Level.maxDepth, 3);
  ASSERT_NE(Control.SearchMoves[0], NoMove);
  EXPECT_EQ(move_from(Control.SearchMoves[0]), 13);
  EXPECT_EQ(move_to(Control.SearchMoves[0]), 29);
  EXPECT_EQ(move_to(Control.SearchMoves[1]), 28);
  EXPECT_EQ(move_to(Control.SearchMoves[2]), 22);
  EXPECT_EQ(Control.SearchMoves[3], NoMove);

  std::string line = "go searchmoves";
  for (int i = 0; i < 300; ++i) line += " b1c3";
  line += " depth 9";
  run(line);
  for (int i = 0; i < SearchMovesCapacity; ++i) ASSERT_NE(Control.SearchMoves[i], NoMove) << i;
  EXPECT_EQ(Control.SearchMoves[SearchMovesCapacity], NoMove);
  EXPECT_EQ(Level.maxDepth, 9);  // keywords after the ignored moves still count

  run("go depth 3");
  EXPECT_EQ(Control.SearchMoves[0], NoMove);
}

TEST_F(GoTest, IllegalLevelModeIsReportedAndChangesNothing) {
  set_level(LevelMoveTime, 700);
  const SearchLevel before = Level;
  take_output();
  set_level(4, 100);
  set_level(-1, 100);
  EXPECT_EQ(take_output(), (Lines{"info string illegal level!", "info string illegal level!"}));
  EXPECT_EQ(Level.LevelMode, before.LevelMode);
  EXPECT_EQ(Level.allotted, before.allotted);
  EXPECT_EQ(Level.maxDepth, before.maxDepth);
}

TEST_F(GoTest, LimitedStrengthDrawsANodeBudgetFromTheElo) {
  run("setoption name UCI_LimitStrength value true");
  run("setoption name UCI_Elo value 1400");
  uint32_t low = UINT32_MAX, high = 0;
  for (int i = 0; i < 400; ++i) {
    run("go nodes 5000000");
    low = std::min(low, Control.NodeLimit);
    high = std::max(high, Control.NodeLimit);
    ASSERT_GE(Control.NodeLimit, 41u);
    ASSERT_LE(Control.NodeLimit, 480u);  // base 160: odd draws give 160, 320 or 480
    ASSERT_LE(Control.PollIntervalShort, Control.NodeLimit / 100 + 1);
  }
  EXPECT_LT(low, 100u);   // the budget really is spread
  EXPECT_EQ(high, 480u);

  run("setoption name UCI_Elo value 1000");
  for (int i = 0; i < 200; ++i) {
    const uint32_t budget = limit_strength_node_budget();
    ASSERT_GE(budget, 3u);
    ASSERT_LE(budget, 30u);
  }
  run("setoption name UCI_Elo value 2400");
  for (int i = 0; i < 200; ++i) {
    const uint32_t budget = limit_strength_node_budget();
    ASSERT_GE(budget, 163840u - 122879u);
    ASSERT_LE(budget, 3u * 163840u);
  }
}

}  // namespace
