// Making and taking back moves. Both keep the attack tables, keys, piece lists and sums exact
// by incremental steps; legality is decided here from the attack tables.
#pragma once

#include "board/position.h"
#include "board/zobrist.h"

// Plays cur.move. Returns the next ply record, or nullptr when the move is illegal (the
// Position is then bit-for-bit as before; the next record may hold partial values).
PlyState* make_move(Position& pos, PlyState& cur);

// The indexKey that make_move will give the next ply for cur.move, computed from the move
// alone, so that the table slot can be fetched while the move is being made.
inline uint32_t index_key_after(const PlyState& cur) {
  const Move m = cur.move;
  if (m & NullMoveFlag) return cur.indexKey;
  const Square from = move_from(m), to = move_to(m);
  const int piece = move_piece(m), promotion = move_promotion(m);
  uint32_t key = cur.indexKey ^ ZobristIndex[piece][from] ^
                 ZobristIndex[promotion ? promotion : piece][to];
  if (const int captured = move_captured(m)) {
    const Square victim = (m & EnPassantFlag) ? (cur.side == White ? to - 8 : to + 8) : to;
    key ^= ZobristIndex[captured][victim];
  }
  if (m & CastleFlag) {
    const int rook = with_colour(6, cur.side);
    const Square rookFrom = to > from ? to + 1 : to - 2, rookTo = to > from ? to - 1 : to + 1;
    key ^= ZobristIndex[rook][rookFrom] ^ ZobristIndex[rook][rookTo];
  }
  return key;
}

// Takes back the move that led to `next` (the record make_move returned). The attack entries
// are copied back from the undo log, so they come back exactly, squares in the same order.
void unmake_move(Position& pos, PlyState& next);

// True when the man that makes `m` (the promoted piece for a promotion) attacks the enemy
// king from its to-square once the move is played. Discovered checks are not seen.
bool gives_direct_check(const Position& pos, Move m);

// True when the side to move in `ply` is attacked on its king square.
inline bool side_in_check(const Position& pos, int side) {
  return pos.attacks[side ^ 1][king_square(pos, side)].count != 0;
}
