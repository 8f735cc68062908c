// A value that one thread writes while others read it during a search, with no ordering
// needed: counters summed for the status lines, per-iteration limits the workers pick up when
// they next look. Every access is an atomic access with relaxed ordering, which on the
// machines we build for compiles to the same plain loads and stores as an ordinary field,
// but keeps the program free of data races. The value stays trivially copyable, so a
// structure holding it may still be cleared with memset while no search runs.
#pragma once

#include <atomic>
#include <type_traits>

template <typename T>
struct Relaxed {
  static_assert(std::is_trivially_copyable_v<T>);
  T value;

  operator T() const { return ref().load(std::memory_order_relaxed); }
  Relaxed& operator=(T v) {
    ref().store(v, std::memory_order_relaxed);
    return *this;
  }
  // Read-modify-write by the only thread that writes it: a load and a store, no locked
  // instruction. Readers see the old or the new value, never a torn one.
  Relaxed& operator+=(T d) { return *this = T(*this + d); }
  Relaxed& operator-=(T d) { return *this = T(*this - d); }
  // Read-modify-write by several writers at once: no update is lost.
  void add_shared(T d) { ref().fetch_add(d, std::memory_order_relaxed); }

 private:
  std::atomic_ref<T> ref() const { return std::atomic_ref<T>(const_cast<T&>(value)); }
};
