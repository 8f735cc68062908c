// The start-up speed measurement that sets how often a search polls the input.
#include <gtest/gtest.h>

#include "board/tables.h"
#include "driver/calibration.h"
#include "platform/clock.h"
#include "search/control.h"

namespace {

TEST(SpeedCalibration, TakesOneSecondAndSetsBothIntervals) {
  build_startup_tables();
  const int64_t start = tick_count();
  const int64_t passes = SpeedCalibration();
  const int64_t elapsed = tick_count() - start;
  EXPECT_GE(elapsed, 1000);
  EXPECT_LT(elapsed, 1500);
  EXPECT_GT(passes, 100);  // even a slow machine manages far more passes than this
  EXPECT_EQ(Control.PollIntervalLong, uint64_t(passes) * 25);
  EXPECT_EQ(Control.PollIntervalShort, Control.PollIntervalLong / 4);
}

}  // namespace
