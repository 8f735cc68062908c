// The one evaluation entry of the search, and the pieces of it that the search reads.
#pragma once

#include <cstdint>

#include "board/position.h"

// Score of the position at `ply` from the side to move's view, in centipawns. `alpha` and
// `beta` let the evaluation answer lazily; `depth` is the caller's remaining depth (the
// quiescence search passes its own, possibly negative, depth).
int32_t Evaluate(Position& pos, PlyState& ply, int32_t alpha, int32_t beta, int32_t depth);

// Material and incremental piece-square score, less the contempt of the side to move.
int32_t FastScore(const PlyState& ply);
