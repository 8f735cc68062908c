// Dispatch of the command words and the small commands.
#include "driver/engine_fixture.h"
#include "search/control.h"

namespace {

using CommandsTest = EngineTest;
using Lines = std::vector<std::string>;

TEST_F(CommandsTest, CommandWordsAreExactAndCaseSensitive) {
  EXPECT_EQ(run_result(""), 0);
  EXPECT_EQ(run_result("     "), 0);
  EXPECT_EQ(run_result("GO"), 0);
  EXPECT_EQ(run_result("Isready"), 0);
  EXPECT_EQ(run_result("isready\t"), 0);  // a tab belongs to the token
  EXPECT_EQ(run_result("xyzzy isready"), 0);
  EXPECT_EQ(run("GO depth 1"), Lines{});
  EXPECT_EQ(run("isreadyx"), Lines{});
  EXPECT_EQ(run("   isready   "), Lines{"readyok"});
  EXPECT_EQ(run_result("ucinewgame"), 1);
  EXPECT_EQ(run_result("ponderhit"), 1);
}

TEST_F(CommandsTest, StopQuitAndPonderhitSetTheSearchWords) {
  run("stop");
  EXPECT_TRUE(Control.StopRequested);
  Control.StopRequested = false;

  run("quit");
  EXPECT_TRUE(Control.QuitRequested);
  EXPECT_FALSE(Control.StopRequested);  // no search to stop
  Control.QuitRequested = false;

  run("ponderhit");
  EXPECT_EQ(Control.SearchState, Idle);
  Control.SearchState = Thinking;
  run("ponderhit");
  EXPECT_EQ(Control.SearchState, Thinking);
  Control.SearchState = Pondering;
  run("ponderhit");
  EXPECT_EQ(Control.SearchState, Thinking);

  // Nested inside a search: "quit" also stops it, "isready" and "uci" are still answered,
  // "go" is ignored.
  run("quit");
  EXPECT_TRUE(Control.QuitRequested);
  EXPECT_TRUE(Control.StopRequested);
  EXPECT_EQ(run("isready"), Lines{"readyok"});
  EXPECT_EQ(run("uci").back(), "uciok");
  EXPECT_EQ(run("go depth 2"), Lines{});
  Control.SearchState = Idle;
}

TEST_F(CommandsTest, DebugTakesOnlyOnAndOff) {
  run("debug on");
  EXPECT_TRUE(Control.DebugMode);
  run("debug");
  run("debug ON");
  run("debug off now");
  EXPECT_FALSE(Control.DebugMode);
  run("debug on");
  run("debug 0");
  EXPECT_TRUE(Control.DebugMode);
  EXPECT_EQ(run("debug on"), Lines{});  // the interpreter itself does not echo
}

}  // namespace
