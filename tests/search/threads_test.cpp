// The pieces of the parallel search that the one-thread program can check too: where a move
// lands in the moves-in-progress table, and the system's events, spin locks and threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>

#include "board/types.h"
#include "platform/threads.h"
#include "search/move_table.h"

namespace {

using Clock = std::chrono::steady_clock;

int64_t ms_since(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

TEST(MoveTable, IndexIsMoveXorLockModulo2048) {
  EXPECT_EQ(move_table_index(0, 0), 0u);
  EXPECT_EQ(move_table_index(0x7FF, 0), 0x7FFu);
  EXPECT_EQ(move_table_index(0x800, 0), 0u) << "bit 11 and above fall outside the table";
  EXPECT_EQ(move_table_index(0x12345678, 0x0000FFFF), (0x12345678u ^ 0xFFFFu) & 2047u);
  // The same move at two nodes whose lock keys differ in the low bits lands apart; keys that
  // agree in the low eleven bits share a byte.
  EXPECT_NE(move_table_index(0x1234, 0xABC00001), move_table_index(0x1234, 0xABC00002));
  EXPECT_EQ(move_table_index(0x1234, 0xABC00001), move_table_index(0x1234, 0x00000001));
  // Over many different moves at one node every byte is reachable and none lies outside.
  std::set<uint32_t> seen;
  for (uint32_t m = 0; m < 4096; ++m) {
    const uint32_t i = move_table_index(m * 0x9E3779B1u, 0xDEADBEEF);
    ASSERT_LT(i, MoveTableSize);
    seen.insert(i);
  }
  EXPECT_EQ(seen.size(), size_t(MoveTableSize));
}

TEST(AutoResetEvent, KeepsASignalForOneWaiterOnly) {
  AutoResetEvent e;
  EXPECT_FALSE(e.wait(20)) << "a fresh event is not set";
  e.set();
  EXPECT_TRUE(e.wait(0)) << "a signal given before the wait is kept";
  EXPECT_FALSE(e.wait(20)) << "the wait that took it reset it";
  e.set();
  e.set();
  EXPECT_TRUE(e.wait(0));
  EXPECT_FALSE(e.wait(0)) << "two signals without a waiter count once";
  e.set();
  e.reset();
  EXPECT_FALSE(e.wait(0)) << "reset takes the signal back";
}

TEST(AutoResetEvent, TimesOutAndWakesAWaitingThread) {
  AutoResetEvent e;
  const auto start = Clock::now();
  EXPECT_FALSE(e.wait(150));
  const int64_t waited = ms_since(start);
  EXPECT_GE(waited, 140);
  EXPECT_LT(waited, 2000);

  // A thread waiting on the event is released by a set from another thread.
  static AutoResetEvent go, back;
  ThreadHandle t;
  ASSERT_TRUE(start_thread(t, [](int) {
    if (go.wait(5000)) back.set();
  }, 0));
  go.set();
  EXPECT_TRUE(back.wait(5000));
  join_thread(t);
  EXPECT_FALSE(t.running);
  join_thread(t);  // a second join of an ended thread does nothing
}

// Two threads add to a plain counter under the lock; without mutual exclusion increments get
// lost.
TEST(SpinLock, ExcludesTheOtherThreadAndPassesItsArgument) {
  static SpinLock lock;
  static int64_t counter = 0;
  static std::atomic<int> argumentSum{0};
  constexpr int Rounds = 200000;
  auto body = [](int argument) {
    argumentSum += argument;
    for (int i = 0; i < Rounds; ++i) {
      SpinGuard guard(lock);
      counter = counter + 1;
    }
  };
  ThreadHandle a, b;
  ASSERT_TRUE(start_thread(a, body, 3));
  ASSERT_TRUE(start_thread(b, body, 4));
  join_thread(a);
  join_thread(b);
  EXPECT_EQ(counter, 2 * Rounds);
  EXPECT_EQ(argumentSum.load(), 7);
  EXPECT_FALSE(lock.held());
  lock.lock();
  EXPECT_TRUE(lock.held());
  lock.unlock();
  EXPECT_FALSE(lock.held());
}

}  // namespace
