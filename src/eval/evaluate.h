// The one evaluation entry of the search, and the pieces of it that the search reads.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "eval/percent.h"
#include "platform/relaxed.h"

// Evaluation state that lives for one search: the learned spread of positional scores that
// drives the lazy exits, and the contempt of each side.
struct EvaluationState {
  // Learned by every search thread at once; a lost update only makes a lazy exit less sharp.
  Relaxed<int32_t> positionalMax[2], positionalMin[2];  // by side to move, that side's view
  int32_t squareControlMax, squareControlMin;  // expensive part, White's view
  int32_t contempt[2];                         // subtracted from the fast score of that side
};
extern EvaluationState EvalState;

// Score of the position at `ply` from the side to move's view, in centipawns. `alpha` and
// `beta` let the evaluation answer lazily; `depth` is the caller's remaining depth (the
// quiescence search passes its own, possibly negative, depth; only depth >= 0 learns).
int32_t Evaluate(Position& pos, PlyState& ply, int32_t alpha, int32_t beta, int32_t depth);

// The positional part (total minus fast score) from the side to move's view. Sets `isDraw`
// for a recognised dead draw. `noProbe` forbids reading the evaluation cache.
int32_t FullEvaluation(Position& pos, PlyState& ply, int32_t fastScore, int32_t alpha,
                       int32_t beta, bool& isDraw, bool noProbe, int32_t depth);

// Material and incremental piece-square score, less the contempt of the side to move.
int32_t FastScore(const PlyState& ply);

// Start of a search: no spread learned yet (the root's full-window evaluation learns first).
void reset_eval_bounds();
// After the root evaluation, when the search wants a wider start: 100 more positional spread
// each way, 30 more square-control spread, and White's bounds kept on both sides of 0.
void widen_eval_bounds();
// Contempt from "Draw Score" for a search in which the engine plays `engineColour` (a quarter
// of it once the root is an ending). Call after the root preparation.
void set_contempt(int engineColour);
