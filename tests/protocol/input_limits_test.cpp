// Input at and beyond every limit, through the real programs: enormous move lists, overlong
// and binary lines, absurd numbers. Whatever arrives, the engine stays alive, answers every
// "go" with a legal move and every "isready" in time.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "board/legality.h"
#include "board/notation.h"
#include "board/setup.h"
#include "support/engine_process.h"
#include "support/positions.h"

namespace {

using Lines = std::vector<std::string>;

constexpr const char* StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

class InputLimits : public ::testing::TestWithParam<const char*> {
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

  // The engine still answers: "isready" gives "readyok" within a few seconds.
  void expect_alive(const std::string& after) {
    EXPECT_TRUE(engine_->ask("isready", "readyok")) << "after " << after.substr(0, 80);
  }

  // Sends a "go" line; a search that has not ended after 300 ms is stopped. Returns the
  // move of the one "bestmove" line ("" when none came).
  std::string go(const std::string& line) {
    engine_->send(line);
    const auto start = std::chrono::steady_clock::now();
    std::string reply;
    bool stopped = false;
    for (;;) {
      if (!stopped && std::chrono::steady_clock::now() - start > std::chrono::milliseconds(300)) {
        engine_->send("stop");
        stopped = true;
      }
      if (engine_->read_line(reply, stopped ? 5000 : 100)) {
        if (reply.rfind("bestmove ", 0) == 0) break;
      } else if (stopped) {
        ADD_FAILURE() << "no bestmove after stop: " << line.substr(0, 80);
        return "";
      }
    }
    const std::string rest = reply.substr(9);
    return rest.substr(0, rest.find(' '));
  }

  std::unique_ptr<EngineProcess> engine_;
};

TEST_P(InputLimits, LongGamesAreReadWholeAndTooLongLinesRefused) {
  // The knights' dance: every fourth ply the start position again.
  const auto dance = [](int plies) {
    const char* cycle[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    std::string line = "position startpos moves";
    for (int i = 0; i < plies; ++i) line += std::string(" ") + cycle[i % 4];
    return line;
  };
  // 2001 plies (about 10 KB): Black is to move after 1. Nf3, and must answer for Black.
  engine_->send(dance(2001));
  std::string best = go("go depth 3");
  EXPECT_TRUE(legal_in("rnbqkbnr/pppppppp/8/8/8/5N2/PPPPPPPP/RNBQKB1R b KQkq - 1 1", best)) << best;
  engine_->send(dance(10000));
  best = go("go depth 3");
  EXPECT_TRUE(legal_in(StartFen, best)) << best;
  // A line over a megabyte is refused whole, with a word why; the game stays as it was.
  engine_->send("position startpos moves e2e4");
  engine_->send(dance(220000));
  Lines lines;
  engine_->send("isready");
  ASSERT_TRUE(engine_->read_until("readyok", lines, 20000));
  bool said = false;
  for (const auto& l : lines) said |= l.rfind("info string line refused", 0) == 0;
  EXPECT_TRUE(said);
  best = go("go depth 3");
  EXPECT_TRUE(legal_in("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1", best)) << best;
}

TEST_P(InputLimits, OverlongNulAndHighBytesLines) {
  engine_->send(std::string(10000, 'x'));
  engine_->send("position startpos moves e2e4 " + std::string(5000, 'e') + " e7e5 g1f3");
  std::string binary;
  for (int b = 128; b < 256; ++b) binary += char(b);
  engine_->send(binary + binary);
  engine_->send_raw(std::string("isready\0garbage\n", 16));
  Lines lines;
  EXPECT_TRUE(engine_->read_until("readyok", lines, 5000));
  // The long word is skipped, the moves around it played. The NUL ends the command: a plain
  // "go" after 1. e4 e5 2. Nf3.
  const std::string best = go(std::string("go\0depth 2\x01\xff", 13));
  EXPECT_TRUE(legal_in("rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 2", best))
      << best;
  expect_alive("binary lines");
  engine_->send("position startpos");
  EXPECT_TRUE(legal_in(StartFen, go("go depth 2")));
}

TEST_P(InputLimits, GoWithNegativeZeroAndOverflowingNumbers) {
  engine_->send("position startpos");
  const char* lines[] = {
      "go wtime -1 btime -1", "go wtime 0 btime 0 winc 0 binc 0", "go movetime 0",
      "go movetime -5", "go depth 0", "go depth -3", "go nodes 0", "go nodes -1",
      "go mate 0", "go mate -2", "go movestogo 0 wtime 1000 btime 1000",
      "go movestogo -1 wtime 1000 btime 1000", "go wtime 99999999999999999999 btime 1",
      "go depth 2147483648", "go nodes 18446744073709551616", "go movetime -2147483649",
      "go wtime 2147483647 btime 2147483647 winc 2147483647 binc 2147483647 movestogo 1",
      "go winc -2147483648 binc -2147483648 wtime 100 btime 100",
  };
  for (const char* line : lines) {
    EXPECT_TRUE(legal_in(StartFen, go(line))) << line;
    expect_alive(line);
  }
}

TEST_P(InputLimits, SetoptionValuesFarOutOfRange) {
  const char* lines[] = {
      "setoption name Hash value 99999999999", "setoption name Hash value -1",
      "setoption name Hash value 2147483648", "setoption name MultiPV value 1000000",
      "setoption name MultiPV value -5", "setoption name Threads value 100000",
      "setoption name Threads value -1", "setoption name UCI_Elo value -99999999999",
      "setoption name Selectivity value 2147483648", "setoption name Draw Score value -99999",
      "setoption name Pawn value 99999999999999999999", "setoption name NalimovCache value 0",
      "setoption name Time Usage value -2147483649", "setoption name Forward Pruning value 6",
  };
  for (const char* line : lines) engine_->send(line);
  expect_alive("the options");
  engine_->send("position startpos moves e2e4");
  const std::string best = go("go depth 4");
  EXPECT_TRUE(legal_in("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1", best))
      << best;
}

TEST_P(InputLimits, SearchmovesWithThreeHundredMoves) {
  engine_->send("position startpos");
  const char* legal[] = {"a2a3", "a2a4", "b2b3", "b2b4", "c2c3", "c2c4", "d2d3", "d2d4",
                         "e2e3", "e2e4", "f2f3", "f2f4", "g2g3", "g2g4", "h2h3", "h2h4",
                         "b1a3", "b1c3", "g1f3", "g1h3"};
  std::string line = "go depth 3 searchmoves";
  for (int i = 0; i < 300; ++i) line += std::string(" ") + legal[i % 20];
  EXPECT_TRUE(legal_in(StartFen, go(line)));
  // Three hundred moves none of which is legal here, then one that is (beyond the room for
  // the list): the search does not come back empty-handed.
  line = "go depth 3 searchmoves";
  for (int i = 0; i < 300; ++i) line += " e7e5";
  const std::string best = go(line + " d2d4");
  EXPECT_TRUE(legal_in(StartFen, best)) << best;
  expect_alive("searchmoves");
}

INSTANTIATE_TEST_SUITE_P(Programs, InputLimits, ::testing::Values(TARROW_ENGINE, TARROW_ENGINE_MP),
                         [](const auto& info) { return info.index == 0 ? "engine" : "engine_mp"; });

}  // namespace
