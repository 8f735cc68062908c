// "go" end to end through the real program: best moves, timing, pondering, stopping, MultiPV
// and score formats, as a GUI sees them.
#include <gtest/gtest.h>

#include <cstdio>

#include <chrono>
#include <regex>
#include <string>
#include <vector>

#include "board/legality.h"
#include "board/makemove.h"
#include "board/notation.h"
#include "board/setup.h"
#include "support/engine_process.h"
#include "support/positions.h"

namespace {

using Lines = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

constexpr int StartupMs = 8000;
constexpr const char* StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

int64_t ms_since(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// One engine process shared by the cases of this suite (start-up calibrates for a second).
class SearchProtocol : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    engine_ = new EngineProcess(TARROW_ENGINE);
    ASSERT_TRUE(engine_->ask("uci", "uciok", StartupMs));
  }
  static void TearDownTestSuite() {
    engine_->send("quit");
    engine_->wait_exit();
    delete engine_;
  }
  void SetUp() override {
    ASSERT_TRUE(engine_->started());
    engine_->send("setoption name MultiPV value 1");
    engine_->send("ucinewgame");
    sync();
  }

  static void sync() {
    ASSERT_TRUE(engine_->ask("isready", "readyok", 10000));
  }

  // Reads until a "bestmove" line; returns all lines read (the bestmove line last).
  static Lines until_bestmove(int timeoutMs) {
    Lines lines;
    if (!engine_->read_bestmove(lines, timeoutMs)) ADD_FAILURE() << "no bestmove within " << timeoutMs << " ms";
    return lines;
  }

  static std::string best_of(const Lines& lines) {
    if (lines.empty() || lines.back().rfind("bestmove ", 0) != 0) return "";
    const std::string rest = lines.back().substr(9);
    return rest.substr(0, rest.find(' '));
  }

  static std::string ponder_of(const Lines& lines) {
    const auto at = lines.empty() ? std::string::npos : lines.back().find(" ponder ");
    return at == std::string::npos ? "" : lines.back().substr(at + 8);
  }

  static EngineProcess* engine_;
};
EngineProcess* SearchProtocol::engine_ = nullptr;

// Whether `text` is a legal move in the position `fen`.
// Whether `reply` is a legal move after `first` was played in `fen`.
bool legal_after(const char* fen, const std::string& first, const std::string& reply) {
  auto pos = new_position();
  if (!set_position_from_fen(*pos, fen)) return false;
  PlyState& root = pos->plies[0];
  root.move = find_legal_move(*pos, parse_move_text(first.c_str(), pos->board, root.side));
  if (!root.move) return false;
  PlyState* next = make_move(*pos, root);
  if (!next) return false;
  for (Move m : legal_moves(*pos, *next)) {
    char t[6];
    move_text(m, t);
    if (reply == t) return true;
  }
  return false;
}

TEST_F(SearchProtocol, DepthLimitedSearchGivesALegalMoveWithInfoLines) {
  engine_->send("position startpos moves e2e4 e7e5");
  engine_->send("go depth 5");
  const Lines lines = until_bestmove(30000);
  const std::string fen = "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2";
  EXPECT_TRUE(legal_in(fen.c_str(), best_of(lines))) << lines.back();
  bool sawDepth5 = false;
  const std::regex pv("^info depth (\\d+) seldepth \\d+ time \\d+ score (cp -?\\d+|mate -?\\d+) .*pv( [a-h][1-8][a-h][1-8][nbrq]?)+$");
  for (const std::string& l : lines) {
    std::smatch m;
    if (std::regex_match(l, m, pv) && m[1] == "5") sawDepth5 = true;
    EXPECT_EQ(l.find("info depth 6 "), std::string::npos) << l;
  }
  EXPECT_TRUE(sawDepth5);
  // The ponder move, when given, is legal after the best move.
  const std::string ponder = ponder_of(lines);
  if (!ponder.empty()) {
    EXPECT_TRUE(legal_after(fen.c_str(), best_of(lines), ponder)) << lines.back();
  }
}

TEST_F(SearchProtocol, MoveTimeIsKept) {
  engine_->send("position startpos");
  const auto start = Clock::now();
  engine_->send("go movetime 300");
  const Lines lines = until_bestmove(5000);
  const int64_t took = ms_since(start);
  EXPECT_GE(took, 250);
  EXPECT_LE(took, 1000);
  EXPECT_TRUE(legal_in(StartFen, best_of(lines)));
}

TEST_F(SearchProtocol, InfiniteSearchEndsOnlyWithStop) {
  engine_->send("position startpos moves d2d4");
  engine_->send("go infinite");
  std::string line;
  const auto start = Clock::now();
  while (ms_since(start) < 700 && engine_->read_line(line, 100))
    ASSERT_EQ(line.rfind("bestmove", 0), std::string::npos) << "ended without stop";
  engine_->send("stop");
  const Lines lines = until_bestmove(3000);
  EXPECT_TRUE(legal_in("rnbqkbnr/pppppppp/8/8/3P4/8/PPP1PPPP/RNBQKBNR b KQkq - 0 1", best_of(lines)));
}

TEST_F(SearchProtocol, StopRightAfterGoStillGivesALegalMove) {
  engine_->send("position startpos");
  engine_->send("go infinite");
  engine_->send("stop");
  const Lines lines = until_bestmove(3000);
  EXPECT_TRUE(legal_in(StartFen, best_of(lines)));
}

TEST_F(SearchProtocol, PonderhitSwitchesToTheClock) {
  engine_->send("position startpos moves e2e4");
  engine_->send("go ponder wtime 3000 btime 3000");
  std::string line;
  const auto start = Clock::now();
  while (ms_since(start) < 400 && engine_->read_line(line, 100))
    ASSERT_EQ(line.rfind("bestmove", 0), std::string::npos) << "a ponder search answered early";
  const auto hit = Clock::now();
  engine_->send("ponderhit");
  const Lines lines = until_bestmove(4000);
  EXPECT_LT(ms_since(hit), 3000);
  EXPECT_TRUE(legal_in("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1", best_of(lines)));
}

TEST_F(SearchProtocol, MultiPVRanksLinesFromDepthFour) {
  engine_->send("setoption name MultiPV value 3");
  engine_->send("position startpos");
  engine_->send("go depth 5");
  const Lines lines = until_bestmove(30000);
  const std::regex ranked("^info multipv ([123]) depth (\\d+) seldepth .* pv .*");
  // The ranking is first printed once a line of depth 4 has been reported; the first batch
  // therefore holds a depth-4 line (lines of rank 2 and 3 may still be from depth 3).
  std::vector<std::pair<int, int>> shown;  // rank, depth
  for (const std::string& l : lines) {
    EXPECT_NE(l.rfind("info depth ", 0) == 0 && l.find(" pv ") != std::string::npos, true)
        << "single-PV line in MultiPV mode: " << l;
    std::smatch m;
    if (std::regex_match(l, m, ranked)) shown.emplace_back(std::stoi(m[1]), std::stoi(m[2]));
  }
  ASSERT_GE(shown.size(), 3u);
  EXPECT_EQ(shown[0].first, 1);
  EXPECT_TRUE(shown[0].second >= 4 || shown[1].second >= 4 || shown[2].second >= 4);
  bool ranks[4] = {false, false, false, false};
  for (const auto& [rank, depth] : shown)
    if (depth == 5) ranks[rank] = true;
  EXPECT_TRUE(ranks[1] && ranks[2] && ranks[3]);
  engine_->send("setoption name MultiPV value 1");
}

TEST_F(SearchProtocol, MateScoresAndPositionsWithoutMoves) {
  struct Case {
    const char* fen;
    const char* score;
  };
  const Case cases[] = {
      {"r5rk/5p1p/5R2/4B3/8/8/7P/7K w - - 0 1", "score mate 3 "},
      {"1k6/8/1K6/8/8/8/8/6R1 b - - 0 1", "score mate -2 "},
      {"k7/8/1K6/8/8/8/8/7R w - - 0 1", "score mate 1 "},
  };
  for (const Case& c : cases) {
    engine_->send(std::string("position fen ") + c.fen);
    // Null-move cuts can hide a short mate for a few iterations (how many depends on the
    // evaluation's values); the search stops as soon as it proves the mate.
    engine_->send("go depth 12");
    const Lines lines = until_bestmove(30000);
    bool found = false;
    for (const std::string& l : lines) found |= l.find(c.score) != std::string::npos;
    EXPECT_TRUE(found) << c.fen;
    EXPECT_TRUE(legal_in(c.fen, best_of(lines))) << c.fen;
  }
  // Checkmated and stalemated sides have no move to report.
  for (const char* fen : {"k7/1Q6/1K6/8/8/8/8/8 b - - 0 1", "k7/8/1QK5/8/8/8/8/8 b - - 0 1"}) {
    engine_->send(std::string("position fen ") + fen);
    engine_->send("go depth 3");
    const Lines lines = until_bestmove(5000);
    EXPECT_EQ(lines.back(), "bestmove 0000") << fen;
  }
}

// A hundred reversible plies make the draw claimable, not the game over: the engine still
// answers a legal move, and where no move resets the count every line scores a draw.
TEST_F(SearchProtocol, FiftyMoveCountStillGivesALegalMove) {
  std::string shuffle = "position startpos moves";
  for (int i = 0; i < 25; ++i) shuffle += " g1f3 g8f6 f3g1 f6g8";
  engine_->send(shuffle);
  engine_->send("go depth 4");
  Lines lines = until_bestmove(30000);
  EXPECT_TRUE(legal_in(StartFen, best_of(lines))) << lines.back();

  // A rook up but no capture or pawn move to play: every line is a draw.
  const char* rookEnding = "8/8/4k3/8/8/3K4/8/7R w - - 0 1";
  std::string rookShuffle = std::string("position fen ") + rookEnding + " moves";
  for (int i = 0; i < 25; ++i) rookShuffle += " h1h2 e6e7 h2h1 e7e6";
  engine_->send(rookShuffle);
  engine_->send("go depth 6");
  lines = until_bestmove(30000);
  EXPECT_TRUE(legal_in(rookEnding, best_of(lines))) << lines.back();
  int scores = 0;
  for (const std::string& l : lines) {
    const auto at = l.find(" score ");
    if (at == std::string::npos) continue;
    scores += 1;
    EXPECT_EQ(l.compare(at, 12, " score cp 0 "), 0) << l;
  }
  EXPECT_GT(scores, 0);
}

TEST_F(SearchProtocol, OneBestmovePerGoWhateverArrivesMeanwhile) {
  engine_->send("position startpos");
  engine_->send("go movetime 400");
  engine_->send("go depth 3");                       // ignored: a search runs
  engine_->send("setoption name MultiPV value 4");   // ignored: a search runs
  engine_->send("xyzzy garbage \x01\x02");
  engine_->send("position startpos moves e2e4");     // ignored while searching
  Lines lines = until_bestmove(5000);
  EXPECT_TRUE(legal_in(StartFen, best_of(lines)));
  // Nothing more comes: the second "go" was not queued.
  std::string line;
  EXPECT_FALSE(engine_->read_line(line, 600) && line.rfind("bestmove", 0) == 0) << line;
  sync();
}

TEST(SearchProtocolExit, QuitDuringASearchSendsBestmoveAndExitsZero) {
  EngineProcess engine(TARROW_ENGINE);
  ASSERT_TRUE(engine.started());
  engine.send("position startpos");
  engine.send("go infinite");
  engine.send("isready");
  Lines lines;
  ASSERT_TRUE(engine.read_until("readyok", lines, StartupMs));  // answered while searching
  engine.send("quit");
  bool sawBestmove = false;
  std::string line;
  while (!sawBestmove && engine.read_line(line, 3000)) sawBestmove = line.rfind("bestmove", 0) == 0;
  EXPECT_TRUE(sawBestmove);
  EXPECT_EQ(engine.wait_exit(5000), 0);
}

}  // namespace

namespace {

// The bench's node total is a signature of the search: two runs must agree exactly, also when
// the second one counts the search statistics, which end with one line per completed depth.
TEST(Bench, NodeCountIsTheSameFromRunToRunAndWithStatistics) {
  std::string last[2];
  std::vector<std::string> statsLines;
  for (int run = 0; run < 2; ++run) {
    std::vector<std::string> args = {"bench", "6"};
    if (run == 1) args.push_back("stats");
    EngineProcess bench(TARROW_ENGINE, args);
    ASSERT_TRUE(bench.started());
    std::string line;
    while (bench.read_line(line, 60000)) {
      last[run] = line;
      if (run == 1) statsLines.push_back(line);
    }
    EXPECT_EQ(bench.wait_exit(5000), 0);
  }
  EXPECT_EQ(last[0].rfind("nodes ", 0), 0u) << last[0];
  EXPECT_EQ(last[0].substr(0, last[0].find(" nps")), last[1].substr(0, last[1].find(" nps")));
  double firstMoveShare = -1;
  int depthLines = 0;
  // The shares of the nodes by subtree (counted around each subtree's searches) and of the
  // move loops (counted node by node): every node counts once, for its outermost subtree or
  // for the loops, so the shares add up to the whole.
  double subtreeShares = -1;
  int subtreeKinds = 0;
  for (const std::string& l : statsLines) {
    std::sscanf(l.c_str(), " first-move cutoffs %lf%%", &firstMoveShare);
    if (l.find("nodes searched in") != std::string::npos) {
      subtreeShares = 0;
      static const std::regex share("(\\d+\\.\\d)%");
      for (std::sregex_iterator it(l.begin(), l.end(), share), end; it != end; ++it, ++subtreeKinds)
        subtreeShares += std::stod((*it)[1]);
    }
    int depth, positions;
    if (std::sscanf(l.c_str(), " %d %d %*f %*u", &depth, &positions) == 2 && depth == depthLines + 1 &&
        positions >= 15)
      ++depthLines;
  }
  EXPECT_GT(firstMoveShare, 50.0);
  EXPECT_LE(firstMoveShare, 100.0);
  EXPECT_EQ(depthLines, 6);  // every depth, reached by all positions but the mate in one
  EXPECT_EQ(subtreeKinds, 8);
  EXPECT_NEAR(subtreeShares, 100.0, 0.5);
}

}  // namespace

namespace {
// The score of the last "info depth N ... score cp S" line at depth N in `lines`, or 99999.
int score_at_depth(const std::vector<std::string>& lines, int depth) {
  const std::regex re("^info depth (\\d+) .*score cp (-?\\d+) nodes .* pv .*$");
  int score = 99999;
  for (const std::string& l : lines) {
    std::smatch m;
    if (std::regex_match(l, m, re) && std::stoi(m[1]) == depth) score = std::stoi(m[2]);
  }
  return score;
}
}  // namespace

// What a search leaves in the kept table must not mislead the next one. After 4. cxd5 in the
// Queen's Gambit, 4...Bb4? 5. Qa4+ wins the bishop: searching the position before 4...Bb4 first
// once left shallow bounds in the table that the second search took for scores, and it saw
// the lost piece as an equal game.
TEST_F(SearchProtocol, KeptTableDoesNotHideALostPiece) {
  const std::string line = "position startpos moves d2d4 d7d5 c2c4 e7e6 b1c3 g8f6 c4d5";
  engine_->send(line);
  engine_->send("go depth 10");
  until_bestmove(60000);
  engine_->send(line + " f8b4 d1a4");
  engine_->send("go depth 6");
  const Lines kept = until_bestmove(60000);
  engine_->send("ucinewgame");
  engine_->send("setoption name Clear Hash");
  engine_->send(line + " f8b4 d1a4");
  engine_->send("go depth 6");
  const Lines fresh = until_bestmove(60000);
  const int keptScore = score_at_depth(kept, 6), freshScore = score_at_depth(fresh, 6);
  EXPECT_LT(freshScore, -200);
  EXPECT_LT(keptScore, -200) << "fresh search: " << freshScore;
}
