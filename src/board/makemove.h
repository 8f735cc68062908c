// Making and taking back moves. Both keep the attack tables, keys, piece lists and sums exact
// by incremental steps; legality is decided here from the attack tables.
#pragma once

#include "board/position.h"

// Plays cur.move. Returns the next ply record, or nullptr when the move is illegal (the
// Position is then bit-for-bit as before; the next record may hold partial values).
PlyState* make_move(Position& pos, PlyState& cur);

// Takes back the move that led to `next` (the record make_move returned).
void unmake_move(Position& pos, PlyState& next);

// True when the man that makes `m` (the promoted piece for a promotion) attacks the enemy
// king from its to-square once the move is played. Discovered checks are not seen.
bool gives_direct_check(const Position& pos, Move m);

// True when the side to move in `ply` is attacked on its king square.
inline bool side_in_check(const Position& pos, int side) {
  return pos.attacks[side ^ 1][king_square(pos, side)].count != 0;
}
