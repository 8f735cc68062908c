// The checks that the verify build (TARROW_VERIFY) runs inside the evaluation: the evaluation
// declares here what it calls, the evaluation oracle (eval/eval_oracle.cpp) supplies them, so
// that the hot code does not depend on the oracle that depends on it.
#pragma once

#include <cstdint>

#include "board/position.h"

struct MaterialEntry;
struct PawnEntry;

enum EvalCheck : int {
  CheckMaterial,        // material-table entry against the men counted on the board
  CheckPawns,           // pawn-hash entry against a fresh computation, field by field
  CheckCacheFull,       // full evaluation-cache hit against the recomputed complete value
  CheckCachePartial,    // partial hit: the value built on it against the recomputation
  CheckComputed,        // a computed value against the recomputation without any table
  CheckBishopMobility,  // a bishop-mobility cache hit against the diagonals walked on the board
  CheckAttacks,         // every attack entry (count, sliders, squares) against the board
  CheckBoundsMirror,    // positionalMax of one side is minus positionalMin of the other
  CheckBoundsReal,      // every learned bound is a positional part that this search computed
  EvalCheckCount
};

enum LazyKind : int { LazyExitLow, LazyExitHigh, LazySkipLow, LazySkipHigh, LazyKindCount };

// Hooks. Each compares and counts; on a disagreement it prints the FEN and the field (the first
// few dozen are printed).
void oracle_at_evaluate(Position& pos, PlyState& ply);
void oracle_check_material(const Position& pos, const PlyState& ply, const MaterialEntry& used);
void oracle_check_pawns(const Position& pos, const PlyState& ply, const PawnEntry& used);
void oracle_check_bishop(const Position& pos, Square s, int32_t cached);
// `kind` CheckCacheFull: `result` is the stored complete value; CheckCachePartial and
// CheckComputed: the value the evaluation returns for this window.
void oracle_check_value(Position& pos, PlyState& ply, int kind, int32_t fast, int32_t alpha,
                        int32_t beta, int32_t result, bool alert);
// Notes what an evaluation-cache entry is written under, to explain a later disagreement.
// `onPartialHit`: the value was built on a partial entry, whose origin it keeps.
void oracle_cache_written(const PlyState& ply, int32_t fast, bool onPartialHit);
void oracle_lazy(Position& pos, PlyState& ply, int kind, int32_t alpha, int32_t beta);
void oracle_learned(int side, int32_t positional);
void oracle_bounds_reset();
void oracle_bounds_widened();
