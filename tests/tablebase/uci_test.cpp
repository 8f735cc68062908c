// The tables through the real program: "NalimovPath" takes effect at "isready", and the search
// reports exact mates and table hits.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/engine_process.h"
#include "tables.h"

namespace {

using Lines = std::vector<std::string>;

bool any_line_has(const Lines& lines, const std::string& text) {
  for (const std::string& l : lines)
    if (l.find(text) != std::string::npos) return true;
  return false;
}

// Sends "go ..." and gathers the lines up to the "bestmove" line.
Lines search(EngineProcess& engine, const std::string& go) {
  engine.send(go);
  Lines lines;
  std::string line;
  while (engine.read_line(line, 10000)) {
    if (line.rfind("bestmove", 0) == 0) return lines;
    lines.push_back(line);
  }
  ADD_FAILURE() << "no bestmove after " << go;
  return lines;
}

// Each test talks to a fresh program (the one of the parameter) that has answered "uci";
// it must end normally on "quit" afterwards.
class TablebaseUci : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    process_ = std::make_unique<EngineProcess>(GetParam());
    ASSERT_TRUE(process_->started());
    ASSERT_TRUE(process_->ask("uci", "uciok", 8000));
  }
  void TearDown() override {
    if (!process_->started()) return;
    process_->send("quit");
    EXPECT_EQ(process_->wait_exit(), 0);
  }
  // Sends "isready"; true when "readyok" comes (the tables are catalogued by then).
  bool ready() { return process_->ask("isready", "readyok"); }
  std::unique_ptr<EngineProcess> process_;
};

TEST_P(TablebaseUci, PathTakesEffectAtIsreadyAndTheSearchSeesExactMates) {
  EngineProcess& engine = *process_;
  Lines lines;
  const std::string mateInThree = "position fen 8/7Q/8/1k6/3K4/8/8/8 w - - 0 1";

  // Without tables the one-ply search sees no mate; a new cache size alone starts nothing.
  engine.send("setoption name NalimovCache value 2");
  ASSERT_TRUE(ready());
  engine.send(mateInThree);
  lines = search(engine, "go depth 1");
  EXPECT_FALSE(any_line_has(lines, "score mate 3"));
  EXPECT_FALSE(any_line_has(lines, "tbhits"));

  engine.send("setoption name NalimovPath value " + tbtest::generated_tables());
  ASSERT_TRUE(ready());
  engine.send(mateInThree);
  lines = search(engine, "go depth 1");
  EXPECT_TRUE(any_line_has(lines, "score mate 3")) << "no exact mate reported";
  EXPECT_TRUE(any_line_has(lines, "tbhits"));

  // "Use Tablebases" Never: the tables stay catalogued but the search does not probe.
  engine.send("setoption name Use Tablebases value Never");
  engine.send(mateInThree);
  lines = search(engine, "go depth 1");
  EXPECT_FALSE(any_line_has(lines, "tbhits"));
}

// Scores of the "info" lines, as "cp 0", "mate 3".
Lines scores(const Lines& lines) {
  Lines out;
  for (const std::string& l : lines) {
    const size_t at = l.find(" score ");
    if (at == std::string::npos) continue;
    const size_t end = l.find(' ', l.find(' ', at + 7) + 1);
    out.push_back(l.substr(at + 7, end - at - 7));
  }
  return out;
}

// A drawn root where the side to move has more material: only the moves that keep the draw
// are searched, and every score shows 0 even where the search alone sees a piece more.
TEST_P(TablebaseUci, DrawnRootWithMoreMaterialKeepsTheDrawAndShowsZero) {
  EngineProcess& engine = *process_;
  engine.send("setoption name NalimovPath value " + tbtest::generated_tables());
  ASSERT_TRUE(ready());

  // Bishop and knight both attacked by the king: one of them falls whatever White plays.
  const std::string fork = "position fen 8/8/8/8/8/8/5BkN/K7 w - - 0 1";
  engine.send(fork);
  Lines shown = scores(search(engine, "go depth 4"));
  ASSERT_FALSE(shown.empty());
  for (const std::string& s : shown) EXPECT_EQ(s, "cp 0");

  // The queen pinned against its king: seven of nine moves lose (the rook takes the queen or
  // escapes the recapture); only Qb1 and Qxh1 keep the draw.
  engine.send("position fen 8/8/8/8/8/8/6k1/K2Q3r w - - 0 1");
  engine.send("go depth 6");
  std::string line;
  while (engine.read_line(line, 10000) && line.rfind("bestmove", 0) != 0) {
    if (line.find(" score ") != std::string::npos) {
      EXPECT_NE(line.find(" score cp 0 "), std::string::npos) << line;
    }
  }
  ASSERT_EQ(line.rfind("bestmove", 0), 0u);
  const std::string move = line.substr(9, 4);
  EXPECT_TRUE(move == "d1b1" || move == "d1h1") << line;

  // Without the tables the same shallow search shows White's extra piece. The drawn scores
  // of the searches above stay in the kept tables and the learning file, where this search
  // would find them again, so both are emptied first. One thread only: a second thread of
  // engine-mp may fill the shared table with the true (drawn) value of the lost piece before
  // the main thread's first report, and then even depth 1 shows 0. (The one-thread program
  // has no "Threads" option and ignores the line.)
  engine.send("setoption name Threads value 1");
  engine.send("setoption name Use Tablebases value Never");
  engine.send("setoption name Clear Hash");
  engine.send("setoption name Clear PosLearning");
  engine.send(fork);
  shown = scores(search(engine, "go depth 4"));
  bool nonZero = false;
  for (const std::string& s : shown) nonZero = nonZero || s != "cp 0";
  EXPECT_TRUE(nonZero);
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, TablebaseUci, ::testing::Values(TARROW_ENGINE, TARROW_ENGINE_MP));

}  // namespace
