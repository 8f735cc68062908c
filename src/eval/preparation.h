// Root preparation: before every search the evaluation is tailored to the root position. The
// game stage is classified (eval/root_census), the piece-square table that make_move reads is
// filled (eval/root_piece_squares), pawn formations shift single entries
// (eval/root_pawn_structure), the option weights are folded in, and everything the evaluation
// and the search read during the search is set here: RootEval (eval/root_eval.h) and the
// search switches below. Written by the main thread while no search runs; read by every search
// thread.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "eval/root_eval.h"

// What the search reads from the preparation.
struct SearchSwitchValues {
  int32_t pawnEndingExtOn;
  int32_t zugzwangRisk;
  int32_t multiCutOn;
  int32_t hangingPlyLimit;
  int32_t singularOn;
  int32_t nullAllowed;
  int32_t checkExtPlyLimit;
  int32_t futilityOn;
};
extern SearchSwitchValues SearchSwitches;

// Runs on the main thread's Position with ply 0 set up (material, phase, signature sums).
// Fills PieceSquareTable, PieceSquareOffset, RootEval and SearchSwitches.
void prepare_root_evaluation(Position& pos, PlyState& root);

// Fingerprint of the prepared root's own tables (piece-square values and their offset, the
// RootEval tables): equal only when two roots evaluate every position alike.
uint32_t root_tables_fingerprint();

// The piece-square score of ply 0 from the side to move's view; every search thread runs it
// for its own Position after the preparation. Writes root.score and returns it.
int32_t root_score(Position& pos, PlyState& root);
