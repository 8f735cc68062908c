// Time services: a millisecond tick count for all timing, a millisecond sleep, and the
// processor time a thread has used (for the CPU load figure of a search).
#pragma once

#include <cstdint>

// Milliseconds since an arbitrary fixed point; never goes backwards.
int64_t tick_count();

void sleep_ms(int milliseconds);

// A handle on one thread's CPU clock, taken by the thread itself so that another thread can
// read it later.
struct ThreadCpuClock {
  int id;
  bool valid;
};
ThreadCpuClock current_thread_cpu_clock();
// Processor time (kernel plus user) that the thread has used, in milliseconds; 0 when the
// clock is not valid.
int64_t thread_cpu_time_ms(ThreadCpuClock clock);
