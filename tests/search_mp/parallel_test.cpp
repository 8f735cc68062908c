// The parallel search in-process, against the multi-threaded library: workers start, stop and
// are released and joined as the main thread asks; a hanging worker cannot hold the main
// thread; the moves-in-progress table clears by thread; searches with two threads give sound
// results and the workers really search.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "board/game.h"
#include "board/legality.h"
#include "board/notation.h"
#include "board/setup.h"
#include "core/options.h"
#include "core/output.h"
#include "driver/hash_tables.h"
#include "driver/startup.h"
#include "driver/thread_count.h"
#include "platform/system.h"
#include "platform/threads.h"
#include "search/control.h"
#include "search/level.h"
#include "search/move_table.h"
#include "search/report.h"
#include "search/root.h"
#include "search/threads.h"
#include "search/workers.h"

namespace {

using Clock = std::chrono::steady_clock;

int64_t ms_since(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

void discard_output(const char*, size_t) {}

class Parallel : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(startup(false));
    threadsAfterStartup_ = Options.ThreadCount;
  }
  static void TearDownTestSuite() { shutdown(); }
  void SetUp() override {
    set_worker_search(nullptr);
    Control.InputPolling = false;
  }
  void TearDown() override {
    set_worker_search(nullptr);
    set_thread_count(1);
  }

  // Searches `fen` to `depth` with the current threads, as "go depth" does, without output.
  static Move search(const char* fen, int depth) {
    EXPECT_TRUE(parse_fen(fen, GameBoard.board, GameBoard.start)) << fen;
    reset_game_record();
    load_game_into_threads();
    clear_all_hash_tables();
    set_level(LevelDepth, depth);
    set_output_sink(discard_output);
    Control.SearchState = Thinking;
    const Move best = ThinkDriver(main_position());
    Control.SearchState = Idle;
    set_output_sink(nullptr);
    return best;
  }

  static bool legal_in(const char* fen, Move m) {
    Position* scratch = static_cast<Position*>(std::calloc(1, sizeof(Position)));
    init_position(*scratch, 0);
    const bool ok = m != NoMove && set_position_from_fen(*scratch, fen) &&
                    find_legal_move(*scratch, m) != NoMove;
    std::free(scratch);
    return ok;
  }

  static int threadsAfterStartup_;
};
int Parallel::threadsAfterStartup_ = 0;

TEST_F(Parallel, StartUpRunsOneThreadPerProcessorAndTheCountFollowsRequests) {
  // Start-up gave every processor a search thread, eight at most.
  EXPECT_EQ(threadsAfterStartup_, max_thread_count());

  set_thread_count(3);
  ASSERT_EQ(Options.ThreadCount, 3);
  for (int i = 0; i < 3; ++i) {
    ASSERT_NE(ThreadPositions[i], nullptr) << i;
    EXPECT_EQ(ThreadPositions[i]->threadIndex, i);
    EXPECT_EQ(ThreadPositions[i]->threadBit, 1u << i);
    EXPECT_NE(ThreadPositions[i]->pawnHash, nullptr) << "each thread owns its evaluation tables";
  }
  EXPECT_EQ(ThreadPositions[3], nullptr);
  set_thread_count(1);
  EXPECT_EQ(Options.ThreadCount, 1);
  EXPECT_EQ(ThreadPositions[1], nullptr);
  EXPECT_EQ(ThreadPositions[2], nullptr);
  set_thread_count(9);
  set_thread_count(0);
  EXPECT_EQ(Options.ThreadCount, 1) << "counts outside 1..8 are ignored";
  set_thread_count(8);
  EXPECT_EQ(Options.ThreadCount, 8) << "eight threads whatever the processors";
  set_thread_count(2);
  EXPECT_EQ(Options.ThreadCount, 2);
  EXPECT_EQ(ThreadPositions[2], nullptr);
}

std::atomic<int> Searches{0};
std::atomic<int> IndexSum{0};

TEST_F(Parallel, EveryReleaseRunsEachWorkerOnceAndTheJoinWaitsForThem) {
  set_worker_search([](Position& pos) {
    IndexSum += pos.threadIndex;
    // Work that outlasts the release, so that a join which does not wait is caught.
    const auto start = Clock::now();
    while (ms_since(start) < 100) {
    }
    Searches += 1;
  });
  set_thread_count(3);
  Searches = 0;
  IndexSum = 0;
  for (int round = 1; round <= 2; ++round) {
    Control.StopRequested = false;
    ReleaseWorkers();
    JoinWorkers();
    EXPECT_EQ(Searches.load(), 2 * round) << "both workers finished before the join returned";
    EXPECT_EQ(IndexSum.load(), 3 * round) << "workers 1 and 2, once each";
    EXPECT_TRUE(Control.StopRequested) << "the join tells the workers to stop";
  }
}

AutoResetEvent Unhang;
std::atomic<int> Entered{0}, Finished{0};

TEST_F(Parallel, AWorkerThatHangsDoesNotHoldTheMainThreadNorPassForTheNextSearch) {
  // The first search hangs until released; the next one works for a while.
  set_worker_search([](Position&) {
    if (++Entered == 1) {
      Unhang.wait(30000);
    } else {
      const auto start = Clock::now();
      while (ms_since(start) < 300) {
      }
    }
    Finished += 1;
  });
  set_thread_count(2);
  Entered = Finished = 0;
  Unhang.reset();
  ReleaseWorkers();
  const auto start = Clock::now();
  JoinWorkers();
  const int64_t waited = ms_since(start);
  EXPECT_GE(waited, 4900);
  EXPECT_LT(waited, 8000);

  // The next search is released while the worker still hangs in the last one; when that one
  // ends, its late signal must not end the new join before the new search has run.
  ReleaseWorkers();
  std::thread unhang([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Unhang.set();
  });
  JoinWorkers();
  unhang.join();
  EXPECT_EQ(Finished.load(), 2);
}

TEST_F(Parallel, SettlingWaitsForAWorkerStillInTheLastSearch) {
  set_worker_search([](Position&) {
    while (!Control.StopRequested) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // winding down
    Finished += 1;
  });
  set_thread_count(3);
  Finished = 0;
  SettleWorkers();  // nothing to wait for
  Control.StopRequested = false;
  ReleaseWorkers();
  SettleWorkers();
  EXPECT_TRUE(Control.StopRequested);
  EXPECT_EQ(Finished.load(), 2) << "both workers ended before the tables may be touched";
}

TEST_F(Parallel, MovesInProgressClearByThread) {
  set_thread_count(2);
  const Position& main = *ThreadPositions[0];
  const Position& worker = *ThreadPositions[1];
  const Move a = 0x1234, b = 0x0567;
  const uint32_t lock = 0xCAFE0000;
  ClearMoveTable(0);
  mark_move_in_progress(main, a, lock);
  mark_move_in_progress(worker, a, lock);
  mark_move_in_progress(worker, b, lock);
  EXPECT_TRUE(move_busy_elsewhere(main, a, lock));
  EXPECT_TRUE(move_busy_elsewhere(worker, a, lock));
  EXPECT_FALSE(move_busy_elsewhere(worker, b, lock)) << "a thread's own mark does not hold it back";
  EXPECT_TRUE(move_busy_elsewhere(main, b, lock));
  EXPECT_FALSE(move_busy_elsewhere(main, b, lock + 1)) << "another node, another byte";

  ClearMoveTable(uint8_t(worker.threadMask));
  EXPECT_FALSE(move_busy_elsewhere(main, a, lock));
  EXPECT_FALSE(move_busy_elsewhere(main, b, lock));
  EXPECT_TRUE(move_busy_elsewhere(worker, a, lock)) << "the main thread's mark stays";

  clear_move_in_progress(main, a, lock);
  EXPECT_FALSE(move_busy_elsewhere(worker, a, lock));

  mark_move_in_progress(worker, b, lock);
  set_thread_count(1);
  ClearMoveTable(0);
  set_thread_count(2);
  EXPECT_TRUE(move_busy_elsewhere(main, b, lock)) << "with one thread the table is left alone";
  ClearMoveTable(0);
  EXPECT_FALSE(move_busy_elsewhere(main, b, lock));
}

TEST_F(Parallel, TwoThreadsFindTheMoveAndBothSearch) {
  set_thread_count(2);
  // A back-rank mate must be found whatever the other thread does to the table.
  const char* mateInOne = "6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1";
  const Move mate = search(mateInOne, 6);
  char text[6];
  move_text(mate, text);
  EXPECT_STREQ(text, "a1a8");

  const char* middlegame = "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP1B1PPP/R2QKB1R w KQ - 0 8";
  const Move best = search(middlegame, 9);
  EXPECT_TRUE(legal_in(middlegame, best));
  const uint64_t mainNodes = ThreadPositions[0]->nodes;
  const uint64_t workerNodes = ThreadPositions[1]->nodes;
  EXPECT_GT(mainNodes, 0u);
  EXPECT_GT(workerNodes, 1000u) << "the worker searched the same root";
  EXPECT_EQ(total_nodes(), mainNodes + workerNodes);
  EXPECT_TRUE(Control.StopRequested) << "the workers were stopped at the end";
}

TEST_F(Parallel, FourThreadsShareTheSearchWhateverTheProcessors) {
  set_thread_count(4);
  ASSERT_EQ(Options.ThreadCount, 4);
  const char* middlegame = "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP1B1PPP/R2QKB1R w KQ - 0 8";
  for (int depth : {6, 8}) EXPECT_TRUE(legal_in(middlegame, search(middlegame, depth)));
  uint64_t sum = 0;
  for (int i = 0; i < 4; ++i) {
    EXPECT_GT(ThreadPositions[i]->nodes, 0u) << "thread " << i;
    sum += ThreadPositions[i]->nodes;
  }
  EXPECT_EQ(total_nodes(), sum);
}

TEST_F(Parallel, OneThreadSearchesAreRepeatable) {
  const char* fen = "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP1B1PPP/R2QKB1R w KQ - 0 8";
  set_thread_count(1);
  const Move first = search(fen, 8);
  const uint64_t nodes = main_position().nodes;
  const Move second = search(fen, 8);
  EXPECT_EQ(first, second);
  EXPECT_EQ(main_position().nodes, nodes) << "one thread: no deferral, the same tree";
}

}  // namespace
