// The worker search threads of the multi-threaded program. Each worker owns a Position and
// waits for the main thread to release it; then it searches the same root as the main thread
// (sharing the transposition table, the evaluation cache and the moves-in-progress table)
// until the main thread sets the stop flag. Workers never read input and never print.
#pragma once

#if TARROW_MP
#include "board/position.h"

// How a new worker came up.
enum class WorkerStart {
  Started,
  Refused,          // no thread, no Position, or all eight threads already run
  NoMaterialTable,  // its first evaluation table could not be allocated
  NoOtherTable,     // one of its other evaluation tables could not be allocated
};

// Creates the event by which a new worker reports that it runs (start-up, before the first
// worker).
void CreateWorkerSignals();
// Starts one more worker (index = the current thread count) and waits at most 5000 ms until
// it has registered; the thread count then includes it.
WorkerStart StartWorker();
// Ends the newest worker while no search runs and waits until it has gone: the count drops.
void StopLastWorker();
// Ends every worker (shutdown).
void StopAllWorkers();

// Lets every worker start its search of the current root (the main thread's search has done
// its preparation).
void ReleaseWorkers();
// Sets the stop flag and waits for each worker to finish, at most 5000 ms each: a worker that
// hangs does not keep the main thread from answering.
void JoinWorkers();
// Waits, with the stop flag set and without a limit, until no worker is still busy with an
// earlier search that JoinWorkers gave up on. Anything that clears, resizes or refills the
// tables the workers read calls it first.
void SettleWorkers();

// What a released worker runs: start-up registers the root driver as the default; tests
// replace it for a while (nullptr restores the default).
using WorkerSearch = void (*)(Position& pos);
void set_default_worker_search(WorkerSearch search);
void set_worker_search(WorkerSearch search);
#endif
