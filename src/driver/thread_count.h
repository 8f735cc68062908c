// The number of search threads, as the "Threads" option and start-up set it.
#pragma once

#if TARROW_MP
// Starts or ends helper search threads until `count` (1..8) threads search; stops early when
// the system refuses a thread. Out of memory for a new thread's tables ends the process.
void set_thread_count(int count);
#endif
