#include "platform/system.h"

#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

int processor_count() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int n = CPU_COUNT(&set);
    if (n > 0) return n;
  }
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? int(online) : 1;
}

namespace {
// On Linux the nice value of a single thread is set through its thread id.
id_t current_thread_id() { return id_t(syscall(SYS_gettid)); }
}  // namespace

int raise_thread_priority() {
  errno = 0;
  const int old = getpriority(PRIO_PROCESS, current_thread_id());
  if (errno != 0) return 0;
  // Try the strongest setting first, then weaker ones; an unprivileged process may lower its
  // nice value only down to its soft limit.
  for (int nice = -20; nice < old; nice += 5) {
    if (setpriority(PRIO_PROCESS, current_thread_id(), nice) == 0) break;
  }
  return old;
}

void restore_thread_priority(int token) {
  setpriority(PRIO_PROCESS, current_thread_id(), token);
}

void ignore_broken_pipe() { signal(SIGPIPE, SIG_IGN); }
