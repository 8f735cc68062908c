#include "driver/hash_tables.h"

#include "core/options.h"
#include "eval/eval_cache.h"
#include "eval/thread_tables.h"
#include "search/threads.h"
#include "search/transposition.h"

bool allocate_hash_tables() {
  return allocate_transposition_table(Options.HashTableKB) && resize_eval_cache(Options.EvalCacheKB);
}

void resize_hash_tables(int32_t tableKB, int32_t cacheKB) {
  if (tableKB != TransTable.kilobytes) resize_transposition_table(tableKB);
  if (cacheKB != eval_cache_kilobytes()) resize_eval_cache(cacheKB);
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
}
