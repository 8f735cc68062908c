// Repetition tests on the key stack: a position can only recur among the positions since the
// last irreversible move, and only with the same side to move, so every second key is read.
#pragma once

#include "board/position.h"
#include "search/params.h"

// Number of earlier occurrences (up to `needed`) of the key on top of the stack, which must be
// the key of `node`.
inline int earlier_occurrences(const Position& pos, const PlyState& node, int needed) {
  int found = 0;
  const long window = pos.repTop - node.repStart;
  for (long back = 4; back <= window; back += 2) {
    if (pos.repTop[-back] == node.lockKey && ++found >= needed) break;
  }
  return found;
}

inline bool is_repetition(const Position& pos, const PlyState& node, int needed) {
  return earlier_occurrences(pos, node, needed) >= needed;
}

// Score of a repeated position: a draw, biased toward the side that gave the checks.
inline int32_t repetition_score(const Position& pos, const PlyState& node) {
  const int32_t bias = node.ply >> Search.repetitionShift;
  if (node.flags & InCheckFlag) return -bias;
  if (node.ply > 0 && (pos.plies[node.ply - 1].flags & InCheckFlag)) return bias;
  return 0;
}

// Positions since the last irreversible move (the fifty-move distance in plies).
inline int reversible_plies(const Position& pos, const PlyState& node) {
  return int(pos.repTop - node.repStart);
}
