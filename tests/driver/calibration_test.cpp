// The start-up speed measurement that sets how often a search polls the input.
#include <gtest/gtest.h>
#include <time.h>

#include "board/tables.h"
#include "driver/calibration.h"
#include "platform/clock.h"
#include "search/control.h"

namespace {

int64_t thread_cpu_ms() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

TEST(SpeedCalibration, TakesOneSecondAndSetsBothIntervals) {
  build_startup_tables();
  const int64_t start = tick_count(), cpuStart = thread_cpu_ms();
  const int64_t passes = SpeedCalibration();
  const int64_t elapsed = tick_count() - start, cpu = thread_cpu_ms() - cpuStart;
  EXPECT_GE(elapsed, 1000);
  // The measurement ends with the first pass after the second. On a loaded machine the wall
  // clock also counts the time other processes had the processor; the time this thread ran
  // does not, so that is what must stay close to one second.
  EXPECT_LT(cpu, 1300);
  EXPECT_LT(elapsed, 10000) << "far beyond any load";
  EXPECT_GT(passes, 100);  // even a slow machine manages far more passes than this
  EXPECT_EQ(Control.PollIntervalLong, uint64_t(passes) * 25);
  EXPECT_EQ(Control.PollIntervalShort, Control.PollIntervalLong / 4);
}

}  // namespace
