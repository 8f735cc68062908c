// The search threads' table: one Position per thread. Thread 0 is the main thread, which also
// reads the input and writes every line; its Position lives in static storage (it is far too
// large for a stack).
#pragma once

#include "board/position.h"

constexpr int MaxThreads = 8;

// Position of each running search thread; entries at and beyond Options.ThreadCount are null.
extern Position* ThreadPositions[MaxThreads];

inline Position& main_position() { return *ThreadPositions[0]; }

// Gives the main thread its Position, initialised as thread 0, and sets the thread count to 1.
void start_thread_table();

// Copies the game board into every search thread's Position and rebuilds it from there.
void load_game_into_threads();

#if TARROW_MP
#include "platform/threads.h"

// Guards what several search threads touch together: the MultiPV ranking and the root move
// lists (their node totals are shared between threads, and each thread sorts its own).
extern SpinLock OutputLock;
#endif

// Largest thread count the "Threads" option offers: the processors, at most 8.
int max_thread_count();
