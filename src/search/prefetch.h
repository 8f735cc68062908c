// make_move for the search: the child's table slots are requested from memory first, so that
// they arrive while the attack tables are being updated and the child's probe finds them cached.
#pragma once

#include "board/makemove.h"
#include "search/transposition.h"

inline PlyState* make_move_prefetched(Position& pos, PlyState& node) {
  prefetch_slots(index_key_after(node), node.side ^ 1);
  return make_move(pos, node);
}
