// make_move for the search: the child's table slots and evaluation-cache slot are requested
// from memory first, so that they arrive while the attack tables are being updated and the
// child's probes find them cached.
#pragma once

#include "board/makemove.h"
#include "eval/eval_cache.h"
#include "search/transposition.h"

inline PlyState* make_move_prefetched(Position& pos, PlyState& node) {
  const uint32_t key = index_key_after(node);
  prefetch_slots(key, node.side ^ 1);
  eval_cache_prefetch(node.side ^ 1, key);
  return make_move(pos, node);
}
