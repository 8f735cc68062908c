#include "board/legality.h"

#include <initializer_list>

#include "board/makemove.h"
#include "board/movegen.h"

Move find_legal_move(Position& pos, Move m) {
  PlyState& root = pos.plies[0];
  reset_ply_lists(root);
  root.hashMove = NoMove;
  generate_moves(pos, root, GenAll, 1);
  const Move key = m & 0x3FFFF;  // from, to and promotion piece
  Move found = NoMove;
  for (MoveEntry* list : {root.captureBegin, root.quietBegin}) {
    for (MoveEntry* e = list; e->score != SentinelScore && !found; ++e) {
      if ((e->move & 0x3FFFF) != key) continue;
      root.move = e->move;
      if (PlyState* next = make_move(pos, root)) {
        unmake_move(pos, *next);
        found = e->move;
      }
    }
  }
  reset_ply_lists(root);
  root.move = NoMove;
  return found;
}

bool opponent_in_check(const Position& pos) {
  const int side = pos.plies[0].side;
  return pos.attacks[side][king_square(pos, side ^ 1)].count != 0;
}
