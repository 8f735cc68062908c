// The real programs driven through pipes, the way a GUI drives them.
#include <gtest/gtest.h>
#include <sched.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "driver/expected_uci_reply.h"
#include "support/engine_process.h"

namespace {

using Lines = std::vector<std::string>;

// Start-up includes a one-second calibration.
constexpr int StartupMs = 8000;

Lines read_reply(EngineProcess& engine, const std::string& last, int timeoutMs = 5000) {
  Lines lines;
  EXPECT_TRUE(engine.read_until(last, lines, timeoutMs)) << "no \"" << last << "\"";
  return lines;
}

// Sends "isready" and collects everything up to the "readyok".
Lines exchange(EngineProcess& engine, const std::string& line) {
  engine.send(line);
  engine.send("isready");
  Lines lines = read_reply(engine, "readyok");
  if (!lines.empty()) lines.pop_back();
  return lines;
}

// The processors the engine may run on: those of its affinity mask, which it inherits from us.
int processors() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : int(n);
}

TEST(Protocol, OneThreadProgramHandshakeOptionsDebugAndQuit) {
  EngineProcess engine(TARROW_ENGINE);
  ASSERT_TRUE(engine.started());
  engine.send("uci");
  EXPECT_EQ(read_reply(engine, "uciok", StartupMs), expected_uci_reply(false));
  EXPECT_EQ(exchange(engine, ""), Lines{});

  // Options whose line shows the current value; out-of-range values and a "Threads" option
  // (unknown to this program) change nothing.
  for (const char* line : {"setoption name Pawn value 150", "setoption name selectivity value 99",
                           "setoption name Draw Score value -301", "setoption name Threads value 1",
                           "setoption name Forward Pruning value 0", "setoption name KNIGHT value 24",
                           "setoption name Time Usage value 401", "setoption name Hash value 64",
                           "setoption name Style value solid", "setoption name MultiPV value 25"})
    EXPECT_EQ(exchange(engine, line), Lines{}) << line;
  Lines expected = expected_uci_reply(false);
  for (std::string& line : expected) {
    if (line.rfind("option name Pawn type", 0) == 0)
      line = "option name Pawn type spin min 25 max 400 default 150";
    if (line.rfind("option name Selectivity", 0) == 0)
      line = "option name Selectivity type spin min -3 max 99 default 99";
    if (line.rfind("option name Forward Pruning", 0) == 0)
      line = "option name Forward Pruning type spin min 0 max 5 default 0";
  }
  engine.send("uci");
  EXPECT_EQ(read_reply(engine, "uciok"), expected);

  // A search under the clock ends with its "bestmove" line.
  EXPECT_EQ(exchange(engine, "position startpos moves e2e4 e7e5"), Lines{});
  engine.send("go wtime 1000 btime 2000");
  std::string line;
  bool answered = false;
  while (!answered && engine.read_line(line, 3000)) answered = line.rfind("bestmove ", 0) == 0;
  EXPECT_TRUE(answered);

  // A long line is one command however long: the "isready" at its end is no command of its
  // own (a stray "readyok" would upset the next exchange).
  const std::string longLine = std::string(4095, 'x') + "isready";
  EXPECT_EQ(exchange(engine, longLine), Lines{});

  // With debugging on every line is echoed first, line ends removed.
  EXPECT_EQ(exchange(engine, "debug on"), Lines{"info string Tarrow got command isready"});
  engine.send_raw("isready\r\n\r\nGO\n");
  EXPECT_EQ(read_reply(engine, "info string Tarrow got command GO"),
            (Lines{"info string Tarrow got command isready", "readyok",
                   "info string Tarrow got command ", "info string Tarrow got command GO"}));
  engine.send("quit");
  EXPECT_EQ(read_reply(engine, "info string ready!"),
            (Lines{"info string Tarrow got command quit", "info string ready!"}));
  std::string more;
  EXPECT_FALSE(engine.read_line(more, 2000)) << more;
  EXPECT_EQ(engine.wait_exit(), 0);
}

TEST(Protocol, MultiThreadProgramNamesItselfAndOffersThreads) {
  EngineProcess engine(TARROW_ENGINE_MP);
  ASSERT_TRUE(engine.started());
  engine.send("uci");
  // One search thread per processor runs after start-up, at most eight.
  EXPECT_EQ(read_reply(engine, "uciok", StartupMs),
            expected_uci_reply(true, 8, std::min(processors(), 8)));
  engine.send("setoption name Threads value 9");
  engine.send("setoption name Pawn value 399");
  engine.send("quit");
  std::string line;
  EXPECT_FALSE(engine.read_line(line, 3000)) << line;
  EXPECT_EQ(engine.wait_exit(), 0);
}

TEST(Protocol, ClosingTheInputPipeEndsWithStatus255) {
  EngineProcess engine(TARROW_ENGINE);
  ASSERT_TRUE(engine.started());
  engine.send("isready");
  EXPECT_EQ(read_reply(engine, "readyok", StartupMs), Lines{"readyok"});
  engine.close_input();
  EXPECT_EQ(engine.wait_exit(3000), 255);

  // A last line without its line feed is still executed before the end.
  EngineProcess second(TARROW_ENGINE_MP);
  ASSERT_TRUE(second.started());
  second.send_raw("isready");
  second.close_input();
  EXPECT_EQ(read_reply(second, "readyok", StartupMs), Lines{"readyok"});
  EXPECT_EQ(second.wait_exit(3000), 255);
}

// A "Hash" far beyond what the process may map (a memory limit stands in for a small
// machine): the engine says so and ends with status 255, it does not crash. The address
// sanitizer reserves more address space than any such limit allows, so its builds skip this.
TEST(Protocol, HashBeyondTheMemoryLimitEndsWithTheMessage) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "sanitizer builds cannot run under a memory limit";
#endif
  for (const char* program : {TARROW_ENGINE, TARROW_ENGINE_MP}) {
    EngineProcess engine("/bin/sh", {"-c", std::string("ulimit -v 600000; exec ") + program});
    ASSERT_TRUE(engine.started());
    engine.send("uci");
    read_reply(engine, "uciok", StartupMs);
    engine.send("setoption name Hash value 4096");
    engine.send("isready");
    Lines lines;
    EXPECT_FALSE(engine.read_until("readyok", lines, 10000)) << program;
    EXPECT_NE(std::find(lines.begin(), lines.end(), "info string Not enough memory for Hash"),
              lines.end())
        << program;
    EXPECT_EQ(engine.wait_exit(3000), 255) << program;
  }
}

// The generator's rule written out plainly: a 1279-word table filled by a linear congruence
// from the seed 1, four cursors moving forward together, 100000 draws thrown away.
std::vector<int32_t> reference_random_numbers(int count) {
  std::vector<uint32_t> v(1279);
  v[0] = 1;
  for (int k = 1; k < 1279; ++k) v[k] = v[k - 1] * 69069u + 1u;
  int a = 1278, b = 1062, c = 979, d = 680;
  std::vector<int32_t> out;
  for (int i = 0; i < 100000 + count; ++i) {
    c = (c + 1) % 1279;
    b = (b + 1) % 1279;
    a = (a + 1) % 1279;
    d = (d + 1) % 1279;
    v[a] = v[a] ^ (v[d] + v[c] + v[b]);
    if (i >= 100000) out.push_back(int32_t(v[a]));
  }
  return out;
}

TEST(Protocol, RandomSequenceFollowsTheRuleAndRepeatsInEveryRun) {
  const int count = 2000;
  std::vector<int32_t> expected = reference_random_numbers(count);
  for (int run = 0; run < 2; ++run) {
    EngineProcess engine(TARROW_ENGINE, {"random", std::to_string(count)});
    ASSERT_TRUE(engine.started());
    std::string line;
    for (int i = 0; i < count; ++i) {
      ASSERT_TRUE(engine.read_line(line)) << "run " << run << ", number " << i;
      ASSERT_EQ(line, std::to_string(expected[i])) << "run " << run << ", number " << i;
    }
    EXPECT_FALSE(engine.read_line(line, 1000));
    EXPECT_EQ(engine.wait_exit(), 0);
  }
}

TEST(Protocol, PerftRunsWithoutStartUp) {
  EngineProcess engine(TARROW_ENGINE, {"perft", "3"});
  ASSERT_TRUE(engine.started());
  Lines lines;
  EXPECT_TRUE(engine.read_until("nodes 8902", lines, 800));  // no one-second calibration first
  EXPECT_EQ(engine.wait_exit(), 0);
}

}  // namespace
