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
#include "search/threads.h"

namespace {

constexpr int ReadyWaitMs = 5000;

struct Worker {
  ThreadHandle thread;
  AutoResetEvent start;  // the main thread releases the worker for one search
  AutoResetEvent done;   // wakes the main thread when `finished` has just moved
  std::atomic<bool> quit;
  // Releases given and the last release whose search has ended: the worker is busy while they
  // differ, so a search that ends after the join gave up on it cannot pass for the next one.
  std::atomic<uint32_t> released, finished;
  // Ticket of the start-up still undecided, 0 when none: the worker registering in time and
  // the main thread giving up on it both take it, and only one of them gets it.
  std::atomic<int> claim;
  WorkerStart outcome;   // written by the worker before it signals its creation
};

Worker Workers[MaxThreads];  // index 0 is the main thread and stays unused
AutoResetEvent Created;

// The search a released worker runs: the root driver, which start-up registers (the workers
// sit below the root in the search's layers), or a stand-in that a test puts in its place.
WorkerSearch DefaultBody = nullptr;
std::atomic<WorkerSearch> WorkerBody{nullptr};

void free_worker_position(Position* pos) {
  free_thread_eval_tables(*pos);
  std::free(pos);
}

// Start-up reports go through the claim: a worker that comes up after the main thread gave
// up on it must not touch the slot, which the next start may already reuse.
bool report_start(Worker& w, int ticket, WorkerStart outcome) {
  if (!w.claim.compare_exchange_strong(ticket, 0)) return false;
  w.outcome = outcome;
  return true;
}

// Body of worker `index`: set up its own Position and tables, register, then search each time
// the main thread releases it, until asked to quit.
void WorkerMain(int argument) {
  const int index = argument % MaxThreads, ticket = argument / MaxThreads;
  Worker& w = Workers[index];
  // The Position is far too large for a thread's stack.
  Position* pos = static_cast<Position*>(std::calloc(1, sizeof(Position)));
  if (!pos) {
    if (report_start(w, ticket, WorkerStart::Refused)) Created.set();
    return;
  }
  init_position(*pos, index);
  if (!allocate_thread_eval_tables(*pos)) {
    const WorkerStart outcome =
        pos->materialTable ? WorkerStart::NoOtherTable : WorkerStart::NoMaterialTable;
    free_worker_position(pos);
    if (report_start(w, ticket, outcome)) Created.set();
    return;
  }
  if (!report_start(w, ticket, WorkerStart::Started)) {
    free_worker_position(pos);  // abandoned: the main thread has detached us
    return;
  }
  load_board(*pos, GameBoard.board);
  register_thread_cpu_clock(index, current_thread_cpu_clock());
  ThreadPositions[index] = pos;
  Options.ThreadCount += 1;
  Created.set();

  while (!w.quit.load()) {
    w.start.wait();
    if (w.quit.load()) break;
    const uint32_t serving = w.released.load();
    WorkerBody.load()(*pos);
    w.finished.store(serving);
    w.done.set();
  }

  Options.ThreadCount -= 1;
  ThreadPositions[index] = nullptr;
  register_thread_cpu_clock(index, ThreadCpuClock{0, false});
  free_worker_position(pos);
}

bool busy(const Worker& w) { return w.finished.load() != w.released.load(); }

// Waits until the worker has finished its searches or `timeoutMs` have passed (negative: no
// limit). A wake-up left over from an earlier search does not count.
bool wait_until_idle(Worker& w, int timeoutMs) {
  const int64_t deadline = tick_count() + timeoutMs;
  while (busy(w)) {
    const int64_t left = timeoutMs < 0 ? 1000 : deadline - tick_count();
    if (left <= 0) return false;
    w.done.wait(int(left));
  }
  return true;
}

}  // namespace

void set_default_worker_search(WorkerSearch search) {
  DefaultBody = search;
  WorkerBody = search;
}
void set_worker_search(WorkerSearch search) { WorkerBody = search ? search : DefaultBody; }

void CreateWorkerSignals() { Created.reset(); }

WorkerStart StartWorker() {
  const int index = Options.ThreadCount;
  if (index >= MaxThreads) return WorkerStart::Refused;
  Worker& w = Workers[index];
  w.quit = false;
  w.released = w.finished = 0;
  static int lastTicket = 0;
  lastTicket = lastTicket % 1000000 + 1;
  const int ticket = lastTicket;
  w.claim = ticket;
  w.start.reset();
  w.done.reset();
  w.outcome = WorkerStart::Refused;
  Created.reset();
  if (!start_thread(w.thread, WorkerMain, index + MaxThreads * ticket)) {
    w.claim = 0;
    return WorkerStart::Refused;
  }
  if (!Created.wait(ReadyWaitMs)) {
    int expected = ticket;
    if (w.claim.compare_exchange_strong(expected, 0)) {
      // Too slow to come up, and perhaps stuck for good: waiting for its end could hang the
      // engine, so it is left to free what it has and end on its own.
      detach_thread(w.thread);
      return WorkerStart::Refused;
    }
    Created.wait();  // it reported just now; the signal follows at once
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
    Workers[i].released += 1;
    Workers[i].start.set();
  }
}

void JoinWorkers() {
  if (Options.ThreadCount < 2) return;
  Control.StopRequested = true;
  for (int i = 1; i < Options.ThreadCount; ++i) wait_until_idle(Workers[i], ReadyWaitMs);
}

void SettleWorkers() {
  bool anyBusy = false;
  for (int i = 1; i < Options.ThreadCount; ++i) anyBusy |= busy(Workers[i]);
  if (!anyBusy) return;
  Control.StopRequested = true;
  for (int i = 1; i < Options.ThreadCount; ++i) wait_until_idle(Workers[i], -1);
}
#endif
