// The static exchange estimate: a cheap reading of the attack tables, not a full swap-off.
#include "board/movegen.h"
#include "board/tables.h"

namespace {

// Does a friendly slider stand behind the mover, on the line through the target square, so
// that it backs up the capture once the mover has gone?
bool has_xray_supporter(const Position& pos, int mover, Square from, Square target) {
  const AttackEntry& behind = pos.attacks[mover][from];
  if (!behind.sliders) return false;
  const int line = Direction[target][from];
  if (!line) return false;
  for (int i = 0; i < behind.count; ++i) {
    const Square s = behind.squares[i];
    if (is_slider(pos.board[s]) && Direction[target][s] == line) return true;
  }
  return false;
}

}  // namespace

int32_t static_exchange(Move m, const Position& pos) {
  const int piece = move_piece(m);
  const int mover = colour_of(piece);
  const int32_t cap = ExchangeValue[move_captured(m)];
  const int32_t mv = ExchangeValue[piece];
  const Square from = move_from(m);
  Square target = move_to(m);
  if (m & EnPassantFlag) target = mover == White ? target - 8 : target + 8;
  const AttackEntry& attackers = pos.attacks[mover][target];
  const AttackEntry& defenders = pos.attacks[mover ^ 1][target];

  if (move_promotion(m)) {
    if (!defenders.count) return cap - mv + ExchangeValue[move_promotion(m)];
    const int support = attackers.count + (has_xray_supporter(pos, mover, from, target) ? 1 : 0);
    if (support == 0) return -mv - 1;
    if (support == 1) return cap > 0 ? cap - mv : -(mv / 16);
    return (cap - mv) / 16;
  }

  if (!defenders.count) return cap;
  int32_t cheapest = INT32_MAX;
  for (int i = 0; i < defenders.count; ++i) {
    const int32_t v = ExchangeValue[pos.board[defenders.squares[i]]];
    if (v < cheapest) cheapest = v;
  }
  if (attackers.count != 1) {
    if (defenders.count == 1) return cheapest >= mv ? cap : cap - mv + cheapest;
    return mv > cap + cheapest ? cap - mv + cheapest : (cap - mv) / 16;
  }
  if (cap >= mv || is_knight(piece) || !has_xray_supporter(pos, mover, from, target))
    return cap - mv;
  return mv > cap + cheapest ? cap - mv + cheapest : (cap - mv) / 16;
}
