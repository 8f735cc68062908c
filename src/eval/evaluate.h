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

// FullEvaluation recomputed from the board for checking: no evaluation cache, no material
// table, pawn hash or bishop mobility cache, and no learned spread changed. `alert` gets the
// alert flag this evaluation raises; the ply's own flag is left as it was.
int32_t RecomputePositional(Position& pos, PlyState& ply, int32_t fast, int32_t alpha, int32_t beta,
                            bool& isDraw, bool& alert);

// Material and incremental piece-square score, less the contempt of the side to move.
int32_t FastScore(const PlyState& ply);

// The terms of one evaluation, for the "eval" command. Totals are White's view; a term that the
// code computes for each side apart also has each side's part from that side's own view.
enum EvalTerm : int {
  TermMaterial,     // the men's exchange values
  TermPieceSquare,  // the men's piece-square values
  TermSquareOffset, // the pawn values the root keeps from before its preparation adjusted them
  TermContempt,     // "Draw Score" charged to the engine's side
  TermImbalance,    // material table, exchange and minor-piece adjustments
  TermDevelopment,  // centre pawns at home blocked by a piece
  TermTempo,
  TermPawns,        // pawn structure: pawn hash, per-pawn terms, rook and bishop-pair bonuses
  TermKingSafety,
  TermPieces,       // knights, bishops, rooks, queens
  TermBishopColour,
  TermCentre,       // centre control
  TermMobility,     // knight and bishop mobility
  TermStyle,
  TermEndgame,      // recognised endings, endgame corrections, pawn-ending terms
  TermScaling,      // what the ending scale, fortress and perpetual-check scale take away
  TermWeights,      // what "Pawn Structure" and "Eval Percent" weights change
  TermDraw,         // a recognised dead draw sets the whole score to 0
  TermCount
};
struct EvalTrace {
  int32_t total[TermCount];
  int32_t side[TermCount][2];
  bool split[TermCount];
  int32_t result;  // Evaluate's number: side to move's view
};

// The root's full-window evaluation (what the search starts from) with its terms. Reads no
// evaluation cache and changes no state of the search; the root preparation must have run.
int32_t TraceEvaluation(Position& pos, PlyState& ply, EvalTrace& trace);
extern const char* const EvalTermNames[TermCount];

// Start of a search: no spread learned yet (the root's full-window evaluation learns first).
void reset_eval_bounds();
// After the root evaluation, when the search wants a wider start: 100 more positional spread
// each way, 30 more square-control spread, and White's bounds kept on both sides of 0.
void widen_eval_bounds();
// Contempt from "Draw Score" for a search in which the engine plays `engineColour` (a quarter
// of it once the root is an ending). Call after the root preparation.
void set_contempt(int engineColour);
