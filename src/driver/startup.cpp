#include "driver/startup.h"

#include <unistd.h>

#include <cstdio>

#include "board/game.h"
#include "board/tables.h"
#include "core/input.h"
#include "core/options.h"
#include "core/output.h"
#include "core/random.h"
#include "driver/calibration.h"
#include "driver/commands.h"
#include "driver/fatal.h"
#include "driver/hash_tables.h"
#include "driver/thread_count.h"
#include "eval/thread_tables.h"
#include "search/control.h"
#include "search/level.h"
#include "search/root.h"
#include "search/threads.h"
#if TARROW_MP
#include "search/workers.h"
#endif
#include "platform/input.h"
#include "platform/system.h"
#include "tablebase/binding.h"

namespace {

// Poll intervals when the calibration is left out: those of a machine that manages about
// 40000 workload passes a second.
constexpr uint64_t DefaultPollIntervalLong = 1000000;

// Every command line passes here: echoed while debugging, then executed.
int execute_input_line(char* line) {
  if (Control.DebugMode) send_info_string("Tarrow got command %s", line);
#if TARROW_MP
  // A worker the last search gave up waiting for must be done before a command changes the
  // tables, the options or the threads it reads.
  if (Control.SearchState == Idle) SettleWorkers();
#endif
  return execute_command(line);
}

bool Started = false;

}  // namespace


bool startup(bool calibrate) {
  // Lines are read straight from the descriptor (platform/input), so nothing of the input
  // sits in a library buffer; a GUI that goes away must not end us through a write.
  ignore_broken_pipe();
  set_input_closed_handler(shutdown);
  set_failure_cleanup(shutdown);
  set_command_handler(execute_input_line);

  seed_random(1);
  start_thread_table();
  if (!create_game_storage()) return false;
  build_startup_tables();
  // The default 4 MB of hash, split between the transposition table and the evaluation
  // cache. Without that memory there is nothing to offer.
  reset_options();
  if (!allocate_hash_tables()) {
    free_game_storage();
    return false;
  }
  if (!allocate_thread_eval_tables(main_position())) {
    send_info_string("Not enough memory for Hash");
    fail_out_of_memory();
  }
  clear_all_hash_tables();
  reset_clock_control();
  if (calibrate) {
    SpeedCalibration();
  } else {
    Control.PollIntervalLong = DefaultPollIntervalLong;
    Control.PollIntervalShort = DefaultPollIntervalLong / 4;
  }

#if TARROW_MP
  // One helper search thread for every further processor, up to eight threads in all.
  set_default_worker_search([](Position& pos) { ThinkDriver(pos); });
  CreateWorkerSignals();
  if (processor_count() >= 2) set_thread_count(max_thread_count());
#endif
  reset_options();
  set_level(LevelDepth, DefaultLevelDepth);

  set_start_position(GameBoard.board, GameBoard.start);
  reset_game_record();
  load_game_into_threads();
  reset_search_control();
  Started = true;
  return true;
}

void shutdown() {
  if (!Started) return;
  Started = false;
#if TARROW_MP
  StopAllWorkers();
#endif
  free_game_storage();
  free_hash_tables();
  free_thread_eval_tables(main_position());
  tablebase_shutdown();
}
