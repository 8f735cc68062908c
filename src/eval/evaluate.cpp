#include "eval/evaluate.h"

// First layer only: material and the incremental piece-square score. The cached positional
// layers build on this.
int32_t FastScore(const PlyState& ply) {
  const int side = ply.side;
  return ply.material[side] - ply.material[side ^ 1] + ply.score;
}

int32_t Evaluate(Position&, PlyState& ply, int32_t, int32_t, int32_t) { return FastScore(ply); }
