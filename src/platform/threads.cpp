#include "platform/threads.h"

#include <pthread.h>
#include <sched.h>

#include <chrono>
#include <new>

void AutoResetEvent::set() {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    set_ = true;
  }
  signal_.notify_one();
}

void AutoResetEvent::reset() {
  std::lock_guard<std::mutex> guard(mutex_);
  set_ = false;
}

bool AutoResetEvent::wait(int timeoutMs) {
  std::unique_lock<std::mutex> hold(mutex_);
  if (!signal_.wait_for(hold, std::chrono::milliseconds(timeoutMs), [this] { return set_; }))
    return false;
  set_ = false;
  return true;
}

void AutoResetEvent::wait() {
  std::unique_lock<std::mutex> hold(mutex_);
  signal_.wait(hold, [this] { return set_; });
  set_ = false;
}

void SpinLock::lock() {
  while (word_.exchange(1, std::memory_order_acquire) != 0) {
    while (word_.load(std::memory_order_relaxed) != 0) yield_processor();
  }
}

static_assert(sizeof(pthread_t) <= sizeof(unsigned long), "a thread id must fit the handle");

namespace {

struct StartRecord {
  void (*body)(int);
  int argument;
};

void* thread_entry(void* raw) {
  StartRecord* record = static_cast<StartRecord*>(raw);
  const StartRecord copy = *record;
  delete record;
  copy.body(copy.argument);
  return nullptr;
}

}  // namespace

bool start_thread(ThreadHandle& thread, void (*body)(int), int argument) {
  thread = ThreadHandle{0, false};
  StartRecord* record = new (std::nothrow) StartRecord{body, argument};
  if (!record) return false;
  pthread_t id;
  if (pthread_create(&id, nullptr, thread_entry, record) != 0) {
    delete record;
    return false;
  }
  thread = ThreadHandle{static_cast<unsigned long>(id), true};
  return true;
}

void join_thread(ThreadHandle& thread) {
  if (!thread.running) return;
  pthread_join(static_cast<pthread_t>(thread.id), nullptr);
  thread.running = false;
}

void detach_thread(ThreadHandle& thread) {
  if (!thread.running) return;
  pthread_detach(static_cast<pthread_t>(thread.id));
  thread.running = false;
}

void yield_processor() { sched_yield(); }
