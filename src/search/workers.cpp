#include "search/workers.h"

#if TARROW_MP
#include <atomic>
#include <cstdlib>

#include "board/game.h"
#include "board/setup.h"
#include "core/options.h"
#include "eval/thread_tables.h"
#include "platform/clock.h"
#include "platform/threads.h"
#include "search/control.h"
#include "search/report.h"
#include "search/root.h"
#include "search/threads.h"

namespace {

constexpr int ReadyWaitMs = 5000;

struct Worker {
  ThreadHandle thread;
  AutoResetEvent start;  // the main thread releases the worker for one search
  AutoResetEvent done;   // the worker has finished that search
  std::atomic<bool> quit;
  WorkerStart outcome;   // written by the worker before it signals its creation
};

Worker Workers[MaxThreads];  // index 0 is the main thread and stays unused
AutoResetEvent Created;

void run_search(Position& pos) { ThinkDriver(pos); }
std::atomic<WorkerSearch> WorkerBody{run_search};

void free_worker_position(Position* pos) {
  free_thread_eval_tables(*pos);
  std::free(pos);
}

// Body of worker `index`: set up its own Position and tables, register, then search each time
// the main thread releases it, until asked to quit.
void WorkerMain(int index) {
  Worker& w = Workers[index];
  // The Position is far too large for a thread's stack.
  Position* pos = static_cast<Position*>(std::calloc(1, sizeof(Position)));
  if (!pos) {
    w.outcome = WorkerStart::Refused;
    Created.set();
    return;
  }
  init_position(*pos, index);
  if (!allocate_thread_eval_tables(*pos)) {
    w.outcome = pos->materialTable ? WorkerStart::NoOtherTable : WorkerStart::NoMaterialTable;
    free_worker_position(pos);
    Created.set();
    return;
  }
  load_board(*pos, GameBoard.board);
  register_thread_cpu_clock(index, current_thread_cpu_clock());
  ThreadPositions[index] = pos;
  Options.ThreadCount += 1;
  w.outcome = WorkerStart::Started;
  Created.set();

  while (!w.quit.load()) {
    w.start.wait();
    if (w.quit.load()) break;
    WorkerBody.load()(*pos);
    w.done.set();
  }

  Options.ThreadCount -= 1;
  ThreadPositions[index] = nullptr;
  register_thread_cpu_clock(index, ThreadCpuClock{0, false});
  free_worker_position(pos);
}

}  // namespace

void set_worker_search(WorkerSearch search) { WorkerBody = search ? search : run_search; }

void CreateWorkerSignals() { Created.reset(); }

WorkerStart StartWorker() {
  const int index = Options.ThreadCount;
  if (index >= MaxThreads) return WorkerStart::Refused;
  Worker& w = Workers[index];
  w.quit = false;
  w.start.reset();
  w.done.reset();
  w.outcome = WorkerStart::Refused;
  Created.reset();
  if (!start_thread(w.thread, WorkerMain, index)) return WorkerStart::Refused;
  if (!Created.wait(ReadyWaitMs)) {
    // Too slow to come up: have it leave as soon as it can rather than race the next start.
    w.quit = true;
    w.start.set();
    join_thread(w.thread);
    return WorkerStart::Refused;
  }
  if (w.outcome != WorkerStart::Started) join_thread(w.thread);
  return w.outcome;
}

void StopLastWorker() {
  if (Options.ThreadCount < 2) return;
  Worker& w = Workers[Options.ThreadCount - 1];
  w.quit = true;
  Control.StopRequested = true;
  w.start.set();
  join_thread(w.thread);
}

void StopAllWorkers() {
  while (Options.ThreadCount > 1) StopLastWorker();
}

void ReleaseWorkers() {
  for (int i = 1; i < Options.ThreadCount; ++i) {
    Workers[i].done.reset();
    Workers[i].start.set();
  }
}

void JoinWorkers() {
  if (Options.ThreadCount < 2) return;
  Control.StopRequested = true;
  for (int i = 1; i < Options.ThreadCount; ++i) Workers[i].done.wait(ReadyWaitMs);
}
#endif
