// The engine's own time per move stays inside an honest clock, however short.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "support/engine_process.h"

namespace {

using Clock = std::chrono::steady_clock;

TEST(ClockProtocol, MovesInsideTheClock) {
  EngineProcess engine(TARROW_ENGINE);
  ASSERT_TRUE(engine.started());
  ASSERT_TRUE(engine.ask("uci", "uciok", 8000));
  struct Case {
    const char* go;
    int clockMs;
  };
  const Case cases[] = {
      {"go wtime 1000 btime 1000", 1000},
      {"go wtime 1000 btime 1000 winc 100 binc 100", 1000},
      {"go wtime 1000 btime 1000 movestogo 1", 1000},
      {"go wtime 300 btime 300", 300},
      {"go wtime 60 btime 60", 60},
      {"go wtime 5000 btime 5000 movestogo 2", 5000},
  };
  const char* positions[] = {
      "position startpos",
      "position fen r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP2BPPP/R2QKB1R w KQ - 0 8",
  };
  for (const char* position : positions) {
    for (const Case& c : cases) {
      engine.send(position);
      ASSERT_TRUE(engine.ask("isready", "readyok"));
      const auto start = Clock::now();
      engine.send(c.go);
      std::string line;
      bool answered = false;
      while (!answered && engine.read_line(line, c.clockMs + 2000)) answered = line.rfind("bestmove ", 0) == 0;
      const auto took =
          std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
      EXPECT_TRUE(answered) << c.go;
      EXPECT_LT(took, c.clockMs) << position << " / " << c.go;
    }
  }
  engine.send("quit");
  EXPECT_EQ(engine.wait_exit(), 0);
}

// A limited-strength search spends its few nodes at once and then waits out a share of the
// time, reading input meanwhile. That wait must end on time, not at the next of its sleeps:
// on a short clock the difference is a loss. Median of several searches, against a load spike.
TEST(ClockProtocol, LimitedStrengthWaitEndsOnTime) {
  EngineProcess engine(TARROW_ENGINE);
  ASSERT_TRUE(engine.started());
  ASSERT_TRUE(engine.ask("uci", "uciok", 8000));
  engine.send("setoption name UCI_LimitStrength value true");
  engine.send("setoption name UCI_Elo value 1000");
  std::vector<long> took;
  for (int i = 0; i < 7; ++i) {
    engine.send(i % 2 ? "position startpos moves e2e4" : "position startpos");
    ASSERT_TRUE(engine.ask("isready", "readyok"));
    const auto start = Clock::now();
    engine.send("go movetime 20");
    std::string line;
    bool answered = false;
    while (!answered && engine.read_line(line, 3000)) answered = line.rfind("bestmove ", 0) == 0;
    ASSERT_TRUE(answered) << "search " << i;
    took.push_back(long(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count()));
  }
  std::sort(took.begin(), took.end());
  // Sleeping in 50 ms steps answered a 20 ms search after 50 ms or more, every time.
  std::string times;
  for (long ms : took) times += " " + std::to_string(ms);
  EXPECT_LT(took[took.size() / 2], 45) << "times of the searches (ms):" << times;
  engine.send("quit");
  EXPECT_EQ(engine.wait_exit(), 0);
}

}  // namespace
