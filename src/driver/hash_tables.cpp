#include "driver/hash_tables.h"

#include "core/options.h"
#include "core/output.h"
#include "eval/eval_cache.h"
#include "eval/thread_tables.h"
#include "search/threads.h"
#include "search/transposition.h"

namespace {

int32_t CacheKB = 0;  // size of the evaluation cache now allocated

}  // namespace

bool allocate_hash_tables() {
  if (!allocate_transposition_table(Options.HashTableKB)) return false;
  if (!resize_eval_cache(Options.EvalCacheKB)) return false;
  CacheKB = Options.EvalCacheKB;
  return true;
}

bool resize_hash_tables(int32_t tableKB, int32_t cacheKB) {
  // The transposition table falls back to 3 MB by itself; when not even that can be had, or
  // the evaluation cache is lost, the engine cannot search.
  if (tableKB != TransTable.kilobytes) {
    if (!resize_transposition_table(tableKB)) return false;
    // The search runs on with the small table; the user should know the size asked for
    // was not granted.
    if (TransTable.kilobytes != tableKB)
      send_info_string("Hash %d MB not available, transposition table reduced to %d MB",
                       int((int64_t(tableKB) + cacheKB) / 1024), TransTable.kilobytes / 1024);
  }
  if (cacheKB != CacheKB) {
    if (!resize_eval_cache(cacheKB)) return false;
    CacheKB = cacheKB;
  }
  return true;
}

void clear_all_hash_tables() {
  clear_transposition_table();
  clear_eval_cache();
  for (Position* pos : ThreadPositions) {
    if (!pos) continue;
    clear_pawn_hash(*pos);
    clear_bishop_mobility_cache(*pos);
    clear_material_table(*pos);
  }
}

void free_hash_tables() {
  free_transposition_table();
  free_eval_cache();
  CacheKB = 0;
}
