// The multi-threaded program through pipes: the "Threads" option, searches with one, two and
// four threads, stopping and quitting while several threads search, and the CPU load figure.
#include <gtest/gtest.h>
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "board/legality.h"
#include "board/notation.h"
#include "board/setup.h"
#include "support/engine_process.h"
#include "support/positions.h"

namespace {

using Lines = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

constexpr int StartupMs = 8000;
constexpr const char* Middlegame =
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP1B1PPP/R2QKB1R w KQ - 0 8";

int processors() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
  return 1;
}

int64_t ms_since(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

std::string best_of(const Lines& lines) {
  if (lines.empty() || lines.back().rfind("bestmove ", 0) != 0) return "";
  const std::string rest = lines.back().substr(9);
  return rest.substr(0, rest.find(' '));
}

// One engine-mp process shared by the cases (start-up calibrates for a second).
class ThreadsProtocol : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    engine_ = new EngineProcess(TARROW_ENGINE_MP);
    ASSERT_TRUE(engine_->ask("uci", "uciok", StartupMs, &startupListing_));
  }
  static void TearDownTestSuite() {
    engine_->send("quit");
    engine_->wait_exit();
    delete engine_;
  }
  void SetUp() override { ASSERT_TRUE(engine_->started()); }

  static void sync() {
    ASSERT_TRUE(engine_->ask("isready", "readyok", 10000));
  }

  // Reads until "bestmove"; all lines read, the bestmove line last.
  static Lines until_bestmove(int timeoutMs) {
    Lines lines;
    if (!engine_->read_bestmove(lines, timeoutMs)) ADD_FAILURE() << "no bestmove within " << timeoutMs << " ms";
    return lines;
  }

  // The "Threads" line of a fresh "uci" reply.
  static std::string threads_line() {
    engine_->send("uci");
    Lines lines;
    EXPECT_TRUE(engine_->read_until("uciok", lines, 5000));
    for (const std::string& l : lines)
      if (l.rfind("option name Threads ", 0) == 0) return l;
    return "";
  }

  // The listing offers what "setoption" accepts: 1 to 8 on any machine.
  static std::string threads_listing(int current) {
    char text[100];
    std::snprintf(text, sizeof text, "option name Threads type spin min 1 max 8 default %d",
                  current);
    return text;
  }

  static EngineProcess* engine_;
  static Lines startupListing_;
};
EngineProcess* ThreadsProtocol::engine_ = nullptr;
Lines ThreadsProtocol::startupListing_;

TEST_F(ThreadsProtocol, StartsWithOneThreadPerProcessorAndFollowsTheOption) {
  const std::string expected = threads_listing(std::min(processors(), 8));
  EXPECT_NE(std::find(startupListing_.begin(), startupListing_.end(), expected),
            startupListing_.end())
      << "after start-up the listing offers " << expected;

  // Raising beyond the processors is allowed (up to eight), lowering ends workers, values
  // outside 1..8 are ignored.
  engine_->send("setoption name Threads value 4");
  EXPECT_EQ(threads_line(), threads_listing(4));
  engine_->send("setoption name Threads value 1");
  EXPECT_EQ(threads_line(), threads_listing(1));
  engine_->send("setoption name Threads value 9");
  engine_->send("setoption name threads value 0");
  EXPECT_EQ(threads_line(), threads_listing(1));
  engine_->send("setoption name THREADS value 3");
  EXPECT_EQ(threads_line(), threads_listing(3));
  engine_->send("setoption name Threads value 2");
  EXPECT_EQ(threads_line(), threads_listing(2));
  // The most it offers is taken, whatever the processor count, and shown within the range.
  engine_->send("setoption name Threads value 8");
  EXPECT_EQ(threads_line(), threads_listing(8));
  engine_->send("setoption name Threads value 2");
  EXPECT_EQ(threads_line(), threads_listing(2));
}

TEST_F(ThreadsProtocol, SearchesWithOneTwoAndFourThreadsGiveLegalMoves) {
  for (int threads : {1, 2, 4}) {
    SCOPED_TRACE("Threads " + std::to_string(threads));
    engine_->send("setoption name Threads value " + std::to_string(threads));
    engine_->send("ucinewgame");
    engine_->send(std::string("position fen ") + Middlegame);
    engine_->send("go depth 9");
    Lines lines = until_bestmove(60000);
    EXPECT_TRUE(legal_in(Middlegame, best_of(lines))) << lines.back();
    bool depth9 = false;
    for (const std::string& l : lines) depth9 |= l.rfind("info depth 9 ", 0) == 0;
    EXPECT_TRUE(depth9);

    engine_->send("position startpos moves e2e4 c7c5 g1f3");
    engine_->send("go movetime 300");
    const auto start = Clock::now();
    lines = until_bestmove(5000);
    EXPECT_LT(ms_since(start), 2500);
    EXPECT_TRUE(legal_in("rnbqkbnr/pp1ppppp/8/2p5/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 2",
                         best_of(lines)))
        << lines.back();
  }
  engine_->send("setoption name Threads value 2");
  sync();
}

// The lines of a depth-limited search that do not depend on the clock: time and speed
// figures are cut out.
Lines clock_free(const Lines& lines) {
  static const std::regex clock(" (time|nps|cpuload) \\d+");
  Lines out;
  for (const std::string& l : lines)
    if (l.rfind("info hashfull", 0) != 0) out.push_back(std::regex_replace(l, clock, ""));
  return out;
}

Lines search_lines(EngineProcess& engine) {
  Lines lines;
  std::string line;
  while (engine.read_line(line, 60000)) {
    lines.push_back(line);
    if (line.rfind("bestmove", 0) == 0) break;
  }
  return lines;
}

// Two fresh processes (some output state lives for a whole process) searching side by side.
TEST(ThreadsProtocolAlone, OneThreadSearchesExactlyAsTheOneThreadProgram) {
  EngineProcess single(TARROW_ENGINE), multi(TARROW_ENGINE_MP);
  ASSERT_TRUE(single.started());
  ASSERT_TRUE(multi.started());
  const char* commands[] = {"position startpos moves d2d4 g8f6 c2c4 e7e6", "go depth 9",
                            "position fen r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP1B1PPP/R2QKB1R w KQ - 0 8",
                            "go depth 8"};
  multi.send("setoption name Threads value 1");
  for (int i = 0; i < 4; i += 2) {
    for (EngineProcess* e : {&single, &multi}) {
      e->send(commands[i]);
      e->send(commands[i + 1]);
    }
    const Lines one = search_lines(single), mp = search_lines(multi);
    ASSERT_FALSE(one.empty());
    EXPECT_EQ(one.back().rfind("bestmove", 0), 0u);
    EXPECT_EQ(clock_free(mp), clock_free(one)) << "same tree, same lines, same node counts";
  }
  for (EngineProcess* e : {&single, &multi}) {
    e->send("quit");
    EXPECT_EQ(e->wait_exit(), 0);
  }
}

// The workers search single lines; the ranking of several lines is the main thread's alone.
// Their entries in the shared table make the main thread's searches of one move disagree now
// and then, which must not put a move into the ranking or the bestmove with a score that was
// only a bound. Several rounds, because a disagreement needs the right timing.
TEST_F(ThreadsProtocol, MultiPVWithTwoThreadsRanksDistinctLegalMoves) {
  engine_->send("setoption name Threads value 2");
  engine_->send("setoption name MultiPV value 3");
  const std::regex ranked(
      "^info multipv (\\d) depth 8 seldepth \\d+ time \\d+ score cp (-?\\d+) .* pv ([a-h][1-8][a-h][1-8][nbrq]?).*$");
  for (int round = 0; round < 4; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    engine_->send("ucinewgame");
    engine_->send(std::string("position fen ") + Middlegame);
    engine_->send("go depth 8");
    const Lines lines = until_bestmove(60000);
    std::string move[4];
    int score[4] = {};
    for (const std::string& l : lines) {
      std::smatch m;
      if (!std::regex_match(l, m, ranked)) continue;
      const int rank = std::stoi(m[1]);
      score[rank] = std::stoi(m[2]);
      move[rank] = m[3];
    }
    for (int rank = 1; rank <= 3; ++rank)
      EXPECT_TRUE(legal_in(Middlegame, move[rank])) << "rank " << rank << ": " << move[rank];
    EXPECT_NE(move[1], move[2]);
    EXPECT_NE(move[2], move[3]);
    EXPECT_NE(move[1], move[3]);
    EXPECT_GE(score[1], score[2]);
    EXPECT_GE(score[2], score[3]);
    // The best move is a top-ranked one (a later move that ties the best score may take its
    // place without moving ahead in the ranking).
    int bestRank = 0;
    for (int rank = 1; rank <= 3; ++rank)
      if (move[rank] == best_of(lines)) bestRank = rank;
    ASSERT_GT(bestRank, 0) << lines.back();
    EXPECT_EQ(score[bestRank], score[1]) << lines.back();
    // Every line keeps to the quiet, level nature of the position: no piece is thrown away.
    EXPECT_GT(score[3], -100);
  }
  engine_->send("setoption name MultiPV value 1");
}

TEST_F(ThreadsProtocol, StopDuringATwoThreadSearchGivesOneBestmove) {
  engine_->send("setoption name Threads value 2");
  engine_->send(std::string("position fen ") + Middlegame);
  engine_->send("go infinite");
  sync();  // "isready" is answered while the threads search
  const auto start = Clock::now();
  engine_->send("stop");
  const Lines lines = until_bestmove(5000);
  EXPECT_LT(ms_since(start), 2000);
  EXPECT_TRUE(legal_in(Middlegame, best_of(lines))) << lines.back();
  // Nothing more follows: exactly one bestmove.
  engine_->send("isready");
  Lines after;
  ASSERT_TRUE(engine_->read_until("readyok", after, 5000));
  EXPECT_EQ(after, Lines{"readyok"});
}

// Processor time of the whole machine from /proc/stat: busy and total ticks over all processors.
struct MachineTime {
  unsigned long long busy = 0, total = 0;
};
MachineTime machine_time() {
  MachineTime t;
  FILE* f = std::fopen("/proc/stat", "r");
  if (!f) return t;
  unsigned long long v[8] = {};
  if (std::fscanf(f, "cpu %llu %llu %llu %llu %llu %llu %llu %llu", &v[0], &v[1], &v[2], &v[3],
                  &v[4], &v[5], &v[6], &v[7]) == 8) {
    for (unsigned long long x : v) t.total += x;
    t.busy = t.total - v[3] - v[4];  // less idle and waiting for input/output
  }
  std::fclose(f);
  return t;
}

TEST_F(ThreadsProtocol, TwoThreadsUseMoreThanOneProcessor) {
  if (processors() < 2) GTEST_SKIP() << "one processor only";
  engine_->send("setoption name Threads value 2");
  engine_->send("ucinewgame");
  engine_->send(std::string("position fen ") + Middlegame);
  const MachineTime before = machine_time();
  engine_->send("go movetime 3000");
  const Lines lines = until_bestmove(10000);
  const MachineTime after = machine_time();
  ASSERT_GE(lines.size(), 2u);
  const std::string& summary = lines[lines.size() - 2];
  std::smatch m;
  ASSERT_TRUE(std::regex_search(summary, m, std::regex("cpuload (\\d+)"))) << summary;
  const int load = std::stoi(m[1]);
  EXPECT_LE(load, 2000);
  if (load <= 1000) {
    // The machine is shared: when other programs kept the processors busy, two threads could
    // not get two processors, and the figure rightly says so.
    const unsigned long long total = after.total - before.total;
    const double machineLoad =
        total ? 1000.0 * processors() * double(after.busy - before.busy) / double(total) : 0;
    if (machineLoad - load > 300)
      GTEST_SKIP() << "cpuload " << load << " while the machine was busy at " << machineLoad
                   << " per mill of one processor: starved by other work";
    ADD_FAILURE() << "two searching threads used only " << load << " per mill of one processor ("
                  << "machine " << machineLoad << "): " << summary;
  }
}

// Last: the process ends here.
TEST_F(ThreadsProtocol, QuitDuringATwoThreadSearchAnswersOnceAndEnds) {
  engine_->send("setoption name Threads value 2");
  engine_->send(std::string("position fen ") + Middlegame);
  engine_->send("go infinite");
  sync();
  engine_->send("quit");
  const Lines lines = until_bestmove(5000);
  EXPECT_TRUE(legal_in(Middlegame, best_of(lines))) << lines.back();
  std::string more;
  EXPECT_FALSE(engine_->read_line(more, 2000)) << more;
  EXPECT_EQ(engine_->wait_exit(5000), 0);
  // The suite's tear-down sends "quit" to a process that has gone; that is harmless.
}

}  // namespace
