#include "driver/calibration.h"

#include "board/tables.h"
#include "platform/clock.h"
#include "platform/system.h"
#include "search/control.h"

int64_t SpeedCalibration() {
  const int64_t t0 = tick_count();
  int64_t passes = 1;
  const int oldPriority = raise_thread_priority();
  // Start on a fresh tick so that the second is a whole one.
  while (tick_count() == t0) {
  }
  // The workload rebuilds three of the start-up tables; each pass costs about as much as 25
  // nodes of the search.
  while (tick_count() <= t0 + 1000) {
    for (int i = 0; i < 2; ++i) {
      build_leaper_lists();
      build_slider_tables();
      build_attack_type_table();
    }
    ++passes;
  }
  restore_thread_priority(oldPriority);
  Control.PollIntervalLong = uint64_t(passes) * 100 / 4;
  Control.PollIntervalShort = Control.PollIntervalLong / 4;
  return passes;
}
