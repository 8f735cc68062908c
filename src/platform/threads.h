// Threads, self-resetting events with a time-out, and spin locks: what the parallel search
// needs from the system. Only the multi-threaded program uses them.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// A signal that releases one waiter and resets itself as it does so (an auto-reset event):
// set() while nobody waits leaves it set until the next wait.
class AutoResetEvent {
 public:
  void set();
  void reset();
  // Waits until the event is set or `timeoutMs` have passed; true when it was set (and is
  // now reset again), false on the time-out.
  bool wait(int timeoutMs);
  // Waits without a limit.
  void wait();

 private:
  std::mutex mutex_;
  std::condition_variable signal_;
  bool set_ = false;
};

// A 32-bit word taken with an atomic exchange to 1 and released by writing 0; a waiter spins
// on plain reads and yields the processor between them. For very short critical sections.
class SpinLock {
 public:
  void lock();
  void unlock() { word_.store(0, std::memory_order_release); }
  bool held() const { return word_.load(std::memory_order_relaxed) != 0; }

 private:
  std::atomic<uint32_t> word_{0};
};

// Holds a spin lock for the life of the guard.
class SpinGuard {
 public:
  explicit SpinGuard(SpinLock& lock) : lock_(lock) { lock_.lock(); }
  ~SpinGuard() { lock_.unlock(); }
  SpinGuard(const SpinGuard&) = delete;
  SpinGuard& operator=(const SpinGuard&) = delete;

 private:
  SpinLock& lock_;
};

// A system thread that can be waited for.
struct ThreadHandle {
  unsigned long id;
  bool running;
};

// Starts a thread running `body(argument)`; false when the system refused (the handle then
// stays empty).
bool start_thread(ThreadHandle& thread, void (*body)(int), int argument);
// Waits until the thread has ended (nothing happens for a handle without a thread).
void join_thread(ThreadHandle& thread);
// Lets the thread run on and release its resources by itself when it ends; the handle is empty.
void detach_thread(ThreadHandle& thread);

void yield_processor();
