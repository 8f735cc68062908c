// What a GUI relies on around "go", through the real programs: an infinite or pondering search
// ends only when told, every "go" starts from its own limits, node budgets count every thread,
// a finished game still gets a score, and a malformed position changes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "board/legality.h"
#include "board/notation.h"
#include "board/setup.h"
#include "support/engine_process.h"
#include "support/positions.h"

namespace {

using Lines = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

constexpr const char* StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
constexpr const char* AfterE4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1";

bool starts_with(const std::string& line, const std::string& prefix) {
  return line.rfind(prefix, 0) == 0;
}

class GoSemantics : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    engine_ = std::make_unique<EngineProcess>(GetParam());
    ASSERT_TRUE(engine_->started());
    ASSERT_TRUE(engine_->ask("uci", "uciok", 8000));
  }
  void TearDown() override {
    engine_->send("quit");
    EXPECT_EQ(engine_->wait_exit(5000), 0) << "the engine did not end normally";
  }

  // Reads for `ms` milliseconds; true when a "bestmove" line came (it is left in `lines`).
  bool bestmove_within(int ms, Lines& lines) { return engine_->read_bestmove(lines, ms); }
  std::string move_of(const Lines& lines) {
    const std::string rest = lines.back().substr(9);
    return rest.substr(0, rest.find(' '));
  }
  // The search holds its move back for a while, still answers "isready", and moves on "stop".
  void expect_waits_for(const std::string& release, const std::string& what) {
    Lines lines;
    EXPECT_FALSE(bestmove_within(1200, lines)) << what << ": ended by itself";
    if (!lines.empty() && starts_with(lines.back(), "bestmove")) return;
    EXPECT_TRUE(engine_->ask("isready", "readyok", 3000)) << what;
    engine_->send(release);
    EXPECT_TRUE(bestmove_within(5000, lines)) << what << ": no bestmove after " << release;
  }

  std::unique_ptr<EngineProcess> engine_;
};

TEST_P(GoSemantics, InfiniteAndPonderSearchesEndOnlyWhenTold) {
  const struct { const char* fen; const char* what; } cases[] = {
      {"8/8/4k3/8/8/4K3/8/8 w - - 0 1", "a dead draw"},
      {"k7/8/8/8/8/8/1q6/K7 w - - 0 1", "a single legal move"},
      {"6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1", "a mate in one"},
  };
  for (const auto& c : cases) {
    engine_->send(std::string("position fen ") + c.fen);
    engine_->send("go infinite");
    expect_waits_for("stop", std::string("go infinite, ") + c.what);
    engine_->send("go ponder wtime 60000 btime 60000");
    expect_waits_for("ponderhit", std::string("go ponder, ") + c.what);
  }
  // A strength budget is spent in a few nodes; the search still waits for "stop".
  engine_->send("setoption name UCI_LimitStrength value true");
  engine_->send("position startpos");
  engine_->send("go infinite");
  expect_waits_for("stop", "go infinite with UCI_LimitStrength");
}

TEST_P(GoSemantics, EveryGoStartsFromItsOwnLimits) {
  engine_->send("position startpos");
  engine_->send("go infinite");
  Lines lines;
  EXPECT_FALSE(bestmove_within(300, lines));
  engine_->send("stop");
  ASSERT_TRUE(bestmove_within(5000, lines));
  // No limit named: the start-up level (a few plies), not the infinite search before it.
  lines.clear();
  engine_->send("go searchmoves e2e4");
  ASSERT_TRUE(bestmove_within(10000, lines)) << "a go without limits kept the infinite one";
  EXPECT_EQ(move_of(lines), "e2e4");
  // A budget of no nodes is the smallest budget, not none.
  for (const char* go : {"go nodes 0", "go nodes -5"}) {
    lines.clear();
    engine_->send(go);
    ASSERT_TRUE(bestmove_within(10000, lines)) << go << " searched without a limit";
    EXPECT_TRUE(legal_in(StartFen, move_of(lines))) << go;
  }
  // "go mate 2" finds the mate in two and ends there, even where MultiPV would search on.
  engine_->send("setoption name MultiPV value 2");
  engine_->send("position fen r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq - 1 1");
  lines.clear();
  engine_->send("go mate 2");
  const bool ended = bestmove_within(15000, lines);
  if (!ended) engine_->send("stop");
  EXPECT_TRUE(ended) << "the mate search did not end at the mate";
  bool mateTwo = false;
  for (const auto& l : lines) mateTwo |= l.find(" score mate 2 ") != std::string::npos;
  EXPECT_TRUE(mateTwo);
  engine_->ask("isready", "readyok", 5000);
}

TEST_P(GoSemantics, NodeBudgetsCountEveryThread) {
  engine_->send("setoption name Threads value 2");
  engine_->send("position startpos moves e2e4 e7e5 g1f3");
  engine_->send("go nodes 40000");
  Lines lines;
  ASSERT_TRUE(bestmove_within(30000, lines));
  long long reported = -1;
  static const std::regex nodes(" nodes ([0-9]+)");
  for (const auto& l : lines) {
    std::smatch m;
    if (std::regex_search(l, m, nodes)) reported = std::stoll(m[1]);
  }
  ASSERT_GT(reported, 0);
  // The main thread polls the budget; on a loaded machine the helper runs on while it waits
  // for a processor, so allow half again. A budget per thread gives twice the nodes.
  EXPECT_LE(reported, 60000) << "a budget of 40000 nodes";
}

TEST_P(GoSemantics, AFinishedGameStillGetsAScore) {
  const struct { const char* fen; const char* score; } cases[] = {
      {"7k/6Q1/6K1/8/8/8/8/8 b - - 0 1", "info depth 0 score mate 0"},  // checkmated
      {"7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "info depth 0 score cp 0"},    // stalemated
  };
  for (const auto& c : cases) {
    engine_->send(std::string("position fen ") + c.fen);
    engine_->send("go depth 5");
    Lines lines;
    ASSERT_TRUE(bestmove_within(5000, lines)) << c.fen;
    EXPECT_EQ(lines.back(), "bestmove 0000");
    bool scored = false;
    for (const auto& l : lines) scored |= l == c.score;
    EXPECT_TRUE(scored) << c.fen << ": no \"" << c.score << "\" before the null move";
  }
}

TEST_P(GoSemantics, MalformedPositionsLeaveTheGameAsItWasAndTabsSeparateWords) {
  const char* malformed[] = {
      "position fen rnbqkbnr/ppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",  // a 7-square rank
      "position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN w KQkq - 0 1",  // and the last one
      "position xyz",
      "position",
  };
  for (const char* line : malformed) {
    engine_->send("position startpos moves e2e4");
    engine_->send(line);
    engine_->send("go depth 2");
    Lines lines;
    ASSERT_TRUE(bestmove_within(5000, lines)) << line;
    EXPECT_TRUE(legal_in(AfterE4, move_of(lines))) << line << " changed the game";
  }
  engine_->send("position\tstartpos\tmoves\te2e4");
  engine_->send("go\tdepth\t2");
  Lines lines;
  ASSERT_TRUE(bestmove_within(5000, lines)) << "tab-separated go";
  EXPECT_TRUE(legal_in(AfterE4, move_of(lines)));
}

TEST_P(GoSemantics, CpuLoadStaysOnTheProtocolsScale) {
  engine_->send("setoption name Threads value 8");
  engine_->send("position startpos");
  engine_->send("go movetime 1500");
  Lines lines;
  ASSERT_TRUE(bestmove_within(10000, lines));
  static const std::regex load(" cpuload ([0-9]+)");
  int seen = 0;
  for (const auto& l : lines) {
    std::smatch m;
    if (!std::regex_search(l, m, load)) continue;
    ++seen;
    EXPECT_LE(std::stoi(m[1]), 1000) << l;
  }
  EXPECT_GT(seen, 0);
}

TEST_P(GoSemantics, AnIdleEngineAnswersAtOnce) {
  // The idle loop waits for input rather than sleeping between looks. A command sent a few
  // milliseconds after the last reply finds a loop that sleeps 10 ms still asleep for most of
  // that; one that waits on the input answers at once. The median of 21 round trips shows it.
  std::vector<long> micros;
  for (int i = 0; i < 21; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    const auto start = Clock::now();
    ASSERT_TRUE(engine_->ask("isready", "readyok", 5000));
    micros.push_back(long(std::chrono::duration_cast<std::chrono::microseconds>(
                              Clock::now() - start).count()));
  }
  std::sort(micros.begin(), micros.end());
  EXPECT_LT(micros[10], 5000) << "median round trip in microseconds";
}

INSTANTIATE_TEST_SUITE_P(Programs, GoSemantics, ::testing::Values(TARROW_ENGINE, TARROW_ENGINE_MP),
                         [](const auto& info) { return info.index == 0 ? "engine" : "engine_mp"; });

}  // namespace
