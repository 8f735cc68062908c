#include "eval/eval_cache.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {
EvalCacheEntry* Tables[2] = {nullptr, nullptr};
uint32_t Entries = 0;
int32_t AllocatedKB = 0;
}  // namespace

bool resize_eval_cache(int32_t kilobytes) {
  if (kilobytes < 1) kilobytes = 1;
  if (kilobytes == AllocatedKB && Tables[0]) return true;
  free_eval_cache();
  const uint32_t entries = uint32_t(uint64_t(kilobytes) * 1024 / 16);
  for (int side = 0; side < 2; ++side) {
    Tables[side] = static_cast<EvalCacheEntry*>(std::calloc(entries, sizeof(EvalCacheEntry)));
    if (!Tables[side]) {
      free_eval_cache();
      return false;
    }
  }
  Entries = entries;
  AllocatedKB = kilobytes;
  return true;
}

void clear_eval_cache() {
  for (EvalCacheEntry* t : Tables)
    if (t) std::memset(static_cast<void*>(t), 0, size_t(Entries) * sizeof(EvalCacheEntry));
}

void free_eval_cache() {
  for (EvalCacheEntry*& t : Tables) {
    std::free(t);
    t = nullptr;
  }
  Entries = 0;
  AllocatedKB = 0;
}

uint32_t eval_cache_entries() { return Entries; }

EvalCacheEntry* eval_cache_slot(int side, uint32_t indexKey) {
  EvalCacheEntry* t = Tables[side];
  return t ? t + indexKey % Entries : nullptr;
}

void eval_cache_read(const EvalCacheEntry* e, uint32_t& check, uint32_t& data) {
  EvalCacheEntry* m = const_cast<EvalCacheEntry*>(e);
  check = std::atomic_ref<uint32_t>(m->check).load(std::memory_order_relaxed);
  data = std::atomic_ref<uint32_t>(m->data).load(std::memory_order_relaxed);
}

void eval_cache_write(EvalCacheEntry* e, uint32_t checkWord, uint32_t data) {
  std::atomic_ref<uint32_t>(e->check).store(checkWord ^ data, std::memory_order_relaxed);
  std::atomic_ref<uint32_t>(e->data).store(data, std::memory_order_relaxed);
}
