// What the search prints: score formats, bounds, the principal variation read back from the
// table, the ponder move that survives a shorter re-search, and the MultiPV ranking.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/makemove.h"
#include "board/notation.h"
#include "core/options.h"
#include "core/output.h"
#include "eval/thread_tables.h"
#include "search/fixed_depth.h"
#include "search/report.h"
#include "search/threads.h"
#include "search/transposition.h"
#include "support/positions.h"

namespace {

std::string Captured;
void capture(const char* text, size_t length) { Captured.append(text, length); }

class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pos_ = new_position();
    ThreadPositions[0] = pos_.get();
    ASSERT_TRUE(load_test_position(*pos_, "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3"));
    prepare_test_search(*pos_);
    reset_report_throttling();
    Options.MultiPVCount = 1;
    set_output_sink(capture);
    Captured.clear();
  }
  void TearDown() override {
    free_thread_eval_tables(*pos_);
    set_output_sink(nullptr);
    ThreadPositions[0] = nullptr;
    Options.MultiPVCount = 1;
  }
  Move move(const char* text) {
    return parse_move_text(text, pos_->board, pos_->plies[0].side);
  }
  std::string take() {
    std::string out;
    out.swap(Captured);
    return out;
  }
  std::unique_ptr<Position> pos_;
};

TEST_F(ReportTest, ScoreFormats) {
  struct Case {
    int32_t score;
    int bound;
    const char* text;
  };
  const Case cases[] = {
      {29995, ReportExact, " score mate 3 "},
      {-29996, ReportExact, " score mate -2 "},
      {29500, ReportExact, " score mate 250 lowerbound "},
      {-29500, ReportExact, " score mate -250 upperbound "},
      {35, ReportUpper, " score cp 35 upperbound "},
      {-12, ReportLower, " score cp -12 lowerbound "},
      {0, ReportExact, " score cp 0 "},
  };
  Report.HideScore = false;
  for (const Case& c : cases) {
    send_pv_info(*pos_, move("f1b5"), 5, 100, c.score, c.bound);
    const std::string line = take();
    EXPECT_EQ(line.rfind("info depth 5 seldepth 5 time 100", 0), 0u) << line;
    EXPECT_NE(line.find(c.text), std::string::npos) << line << " wants" << c.text;
    EXPECT_NE(line.find(" pv f1b5"), std::string::npos) << line;
    EXPECT_EQ(line.back(), '\n');
  }
  Report.HideScore = true;
  send_pv_info(*pos_, move("f1b5"), 5, 100, 250, ReportExact);
  EXPECT_NE(take().find(" score cp 0 "), std::string::npos);
  Report.HideScore = false;
}

TEST_F(ReportTest, PrincipalVariationComesFromExactTableEntriesAndPonderMoveSurvives) {
  const FixedDepthResult r = search_fixed_depth(*pos_, 6);
  ASSERT_NE(r.best, NoMove);
  send_pv_info(*pos_, r.best, 6, 50, r.score, ReportExact);
  const std::string line = take();
  const size_t pv = line.find(" pv ");
  ASSERT_NE(pv, std::string::npos);
  // Every move of the line is legal in turn.
  std::vector<std::string> moves;
  for (size_t at = pv + 4; at < line.size();) {
    const size_t end = line.find_first_of(" \n", at);
    moves.push_back(line.substr(at, end - at));
    at = end + 1;
  }
  EXPECT_GE(moves.size(), 2u) << line;
  PlyState* ply = &pos_->plies[0];
  for (const std::string& text : moves) {
    bool found = false;
    for (Move m : legal_moves(*pos_, *ply)) {
      char t[6];
      move_text(m, t);
      if (text == t) {
        ply->move = m;
        found = true;
      }
    }
    ASSERT_TRUE(found) << text << " in " << line;
    ply = make_move(*pos_, *ply);
  }
  take_back_all(*pos_, ply);
  EXPECT_EQ(Report.line.moves[0], r.best);
  const Move ponder = Report.line.moves[1];
  ASSERT_NE(ponder, NoMove);

  // A re-search that finds no second move keeps the old ponder move for the same best move.
  clear_transposition_table();
  send_pv_info(*pos_, r.best, 7, 60, r.score, ReportLower);
  EXPECT_EQ(Report.line.moves[1], ponder);
  char t[6];
  move_text(ponder, t);
  EXPECT_NE(take().find(std::string(" ") + t), std::string::npos);
}

TEST_F(ReportTest, MultiPVRanksByScoreAndPrintsFromDepthFour) {
  Options.MultiPVCount = 2;
  const Move moves[3] = {move("f1b5"), move("f1c4"), move("d2d4")};
  start_search_report(moves, 3);
  send_pv_info(*pos_, moves[0], 3, 10, 20, ReportExact);
  send_multipv(moves[0], 3, 10, 20, ReportExact);
  EXPECT_EQ(take(), "");  // nothing before depth 4, and no single-PV line either
  send_pv_info(*pos_, moves[0], 4, 10, 30, ReportExact);
  send_multipv(moves[0], 4, 10, 30, ReportExact);
  send_pv_info(*pos_, moves[2], 4, 12, 45, ReportExact);
  send_multipv(moves[2], 4, 12, 45, ReportExact);
  const std::string out = take();
  // The second batch ranks d2d4 (45) above f1b5 (30) and shows exactly two lines.
  const size_t second = out.rfind("info multipv 1 ");
  ASSERT_NE(second, std::string::npos) << out;
  const std::string batch = out.substr(second);
  EXPECT_EQ(batch.rfind("info multipv 1 depth 4 seldepth", 0), 0u) << batch;
  EXPECT_NE(batch.find("score cp 45"), std::string::npos) << batch;
  EXPECT_NE(batch.find("info multipv 2 depth 4"), std::string::npos) << batch;
  EXPECT_NE(batch.find("score cp 30"), std::string::npos) << batch;
  EXPECT_EQ(batch.find("info multipv 3"), std::string::npos) << batch;
  EXPECT_EQ(Report.slots[0].move, moves[2]);
}

TEST_F(ReportTest, DepthLineOnlyWhenBothDepthsChange) {
  send_depth(*pos_, 8);
  send_depth(*pos_, 8);
  send_depth(*pos_, 9);
  const std::string out = take();
  EXPECT_EQ(out, "info depth 8 seldepth 8\ninfo depth 9 seldepth 9\n");
}

}  // namespace
