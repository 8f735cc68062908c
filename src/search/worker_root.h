// The root search of a worker thread in the multi-threaded program: iterative deepening over
// the worker's own root list, with the main thread's windows but without clock, input or
// output, until the main thread sets the stop flag.
#pragma once

#if TARROW_MP
#include "board/position.h"

// A worker's search of the root that the main thread prepared. Returns its best move.
Move WorkerThinkDriver(Position& pos);
// The main thread's part in starting the workers: every thread's node count and evaluation
// tables as a fresh search wants them, an empty moves-in-progress table.
void prepare_workers(bool clearPawnHash);
#endif
