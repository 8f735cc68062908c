// Slow twins of the evaluation's cached and incremental inputs, each computed from the board
// alone, and the checks that the verify build (TARROW_VERIFY) runs at every evaluation to
// compare them with what the fast code used. The twins are compiled in every build so that
// tests can call them; only the verify build calls the hooks.
#pragma once

#include <cstdint>

#include "board/game.h"
#include "board/position.h"
#include "eval/eval_hooks.h"

// ---- Slow twins -----------------------------------------------------------------------------

// The material-table entry of the men on the board, counted square by square (key included:
// the signature each side's men should have).
void material_entry_from_board(const Position& pos, MaterialEntry& out);

// Attackers of `target` by `colour`, found by walking out from every man on the board: pawns
// on their two forward diagonals, knights and kings by their steps, sliders along each ray up to
// and including the first occupied square. Squares sorted ascending; returns the count.
int attackers_from_board(const Position& pos, int colour, Square target, uint8_t squares[16],
                         int& sliders);

// Bishop mobility of the bishop on `s` from its owner's view: the squares on its diagonals
// that no enemy pawn can ever attack (own pawns end a diagonal, an enemy pawn is counted and
// ends it, other men are looked through), valued as the evaluation values that count.
int32_t bishop_mobility_from_board(const Position& pos, Square s);

// The first field in which two pawn entries differ, or nullptr when they agree.
const char* pawn_entry_difference(const PawnEntry& a, const PawnEntry& b);

// The board and game state of `src` at `ply`, or of its colour mirror (ranks flipped, colours,
// side to move, castling rights and en-passant square exchanged).
void board_of(const Position& src, const PlyState& ply, bool mirrored, uint8_t* board, GameState& state);

// The position at `ply` (or its colour mirror) as a root. `out` must have its evaluation
// tables; the root preparation runs for it.
void prepare_mirror_root(Position& out, const Position& src, const PlyState& ply, bool mirrored);

// Prepares the position at `ply` of `src` as a root in `a` and its colour mirror in `b`, traces
// both (contempt left out) and compares: the mirror must give the same total from the side to
// move's view and every term negated with the sides' parts swapped. On a difference, writes the
// first term that does not mirror into `what` and returns false. Replaces the root preparation.
bool mirror_evaluations_agree(const Position& src, const PlyState& ply, Position& a, Position& b, char* what,
                              int whatSize);

// FEN of the position at `ply` (castling and en passant from the ply's flags; clocks 0 1).
void position_fen(const Position& pos, const PlyState& ply, char* out, int outSize);

// ---- The verify build's checks --------------------------------------------------------------

extern const char* const EvalCheckNames[EvalCheckCount];

extern const char* const LazyKindNames[LazyKindCount];

struct EvalOracleCounts {
  uint64_t checked[EvalCheckCount];
  uint64_t disagreed[EvalCheckCount];
  uint64_t fromEarlierRoot[EvalCheckCount];  // cache disagreements on entries an earlier search wrote
  // Evaluations at which a side's bounds did not cover every part learned for it (counted,
  // not a fault: the learning rule does not promise it).
  uint64_t coverChecked, coverMissed;
  uint64_t lazyFired[LazyKindCount];
  uint64_t lazyWrong[LazyKindCount];  // the complete value lies on the other side of the bound
  uint64_t evaluations;
  int printed[EvalCheckCount];  // disagreements printed so far, by check
};
extern EvalOracleCounts EvalOracle;

void reset_eval_oracle();
uint64_t eval_oracle_disagreements();
// The per-check table and the lazy-exit table.
void print_eval_oracle_tables();
