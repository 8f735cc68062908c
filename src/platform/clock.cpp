#include "platform/clock.h"

#include <pthread.h>
#include <time.h>

int64_t tick_count() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void sleep_ms(int milliseconds) {
  if (milliseconds <= 0) return;
  timespec wait{milliseconds / 1000, long(milliseconds % 1000) * 1000000L};
  // Resume after a signal with whatever time is left.
  while (nanosleep(&wait, &wait) != 0) {
  }
}

ThreadCpuClock current_thread_cpu_clock() {
  clockid_t id;
  if (pthread_getcpuclockid(pthread_self(), &id) != 0) return {0, false};
  return {int(id), true};
}

int64_t thread_cpu_time_ms(ThreadCpuClock clock) {
  if (!clock.valid) return 0;
  timespec used;
  if (clock_gettime(clockid_t(clock.id), &used) != 0) return 0;
  return int64_t(used.tv_sec) * 1000 + used.tv_nsec / 1000000;
}
