#include "eval/eval_cache.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

EvalCacheTables EvalCache = {{nullptr, nullptr}, 0, 0};

namespace {
int32_t AllocatedKB = 0;
}  // namespace

bool resize_eval_cache(int32_t kilobytes) {
  if (kilobytes < 1) kilobytes = 1;
  if (kilobytes == AllocatedKB && EvalCache.table[0]) return true;
  free_eval_cache();
  const uint32_t entries = uint32_t(uint64_t(kilobytes) * 1024 / 16);
  for (int side = 0; side < 2; ++side) {
    EvalCache.table[side] =
        static_cast<EvalCacheEntry*>(std::calloc(entries, sizeof(EvalCacheEntry)));
    if (!EvalCache.table[side]) {
      free_eval_cache();
      return false;
    }
  }
  EvalCache.entries = entries;
  EvalCache.indexMagic = UINT64_MAX / entries + 1;
  AllocatedKB = kilobytes;
  return true;
}

void clear_eval_cache() {
  for (EvalCacheEntry* t : EvalCache.table)
    if (t) std::memset(static_cast<void*>(t), 0, size_t(EvalCache.entries) * sizeof(*t));
}

void free_eval_cache() {
  for (EvalCacheEntry*& t : EvalCache.table) {
    std::free(t);
    t = nullptr;
  }
  EvalCache.entries = 0;
  EvalCache.indexMagic = 0;
  AllocatedKB = 0;
}

uint32_t eval_cache_entries() { return EvalCache.entries; }

void eval_cache_write(EvalCacheEntry* e, uint32_t checkWord, uint32_t data) {
  std::atomic_ref<uint32_t>(e->check).store(checkWord ^ data, std::memory_order_relaxed);
  std::atomic_ref<uint32_t>(e->data).store(data, std::memory_order_relaxed);
}
