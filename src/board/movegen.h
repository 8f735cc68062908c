// Move generation with ordering scores, the static exchange estimate, and list handling.
#pragma once

#include "board/position.h"

enum GenKind : int { GenCaptures = 0, GenQuiet = 1, GenAll = 2, GenQuietChecks = 3 };

// Appends pseudo-legal moves of the side to move to the ply's lists: captures, en-passant
// captures and all promotions to the capture list (scored by static_exchange), everything else
// to the quiet list (scored by history, this ply's killers first). In check the evasion
// generator runs whatever `kind` says. `allPromotions` 0 generates only queen promotions.
// Afterwards the ply's hashMove and hashMove2Tried are removed from the lists.
void generate_moves(Position& pos, PlyState& ply, int kind, int allPromotions);

// What the capture or promotion `m` is estimated to win for the mover, in exchange values.
int32_t static_exchange(Move m, const Position& pos);

// Takes the entry with the highest score strictly above `threshold` out of the list and returns
// its move, or 0 when there is none (the list is then unchanged). Ties keep the earlier entry.
Move pick_best_move(int32_t threshold, MoveEntry* first);

// Takes `m` out of the ply's capture or quiet list if it is there.
void remove_move(PlyState& ply, Move m);

// Empties both lists of the ply and clears its generation state, so generation can restart.
void reset_ply_lists(PlyState& ply);

// The stored-move test: whether a move remembered from elsewhere (transposition table, killer)
// is still a possible move of the side to move here: the mover stands on its from-square, the
// to-square holds what the move captures (for en passant: the en-passant square matches), the
// man can make that step, and for castling the right and the empty squares are there.
bool move_is_possible(const Position& pos, const PlyState& ply, Move m);
