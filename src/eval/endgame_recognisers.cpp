// Recognisers of known endings. Each one is keyed by the material of both sides and looks at
// the few men involved; rules are written for White as the stronger side and applied to Black
// through the same code with the board seen from Black's side.
#include <cstdlib>

#include "eval/endgame.h"
#include "eval/endgame_geometry.h"
#include "eval/pawns.h"
#include "eval/percent.h"
#include "eval/preparation.h"

namespace {

constexpr int32_t QueenValue = 1055, RookValue = 541, MinorValue = 325, PawnValue = 100;

// Queen against a lone pawn: the pawn on its seventh rank on a rook or bishop file draws when
// its king shelters at the queening square and the attacking king is too far away to help.
EndingVerdict queen_against_pawn(const EndingSides& v, int32_t& correction) {
  const Square pawn = v.only_pawn(v.defender);
  const Square q = EndingSides::queening_square(pawn, v.defender);
  const Square ownKing = v.king(v.attacker), enemyKing = v.king(v.defender);
  if (v.men[v.attacker].queenSquare == q) correction += 60;
  int limit = (enemyKing == q && v.to_move(v.attacker)) ? 6 : 5;
  const int pf = file_of(pawn);
  if (EndingSides::relative_rank(pawn, v.defender) == 7 && (pf == 1 || pf == 3 || pf == 6 || pf == 8)) {
    // The corners beside the queening squares of the c- and f-pawns also shelter the king.
    const Square cornerA = square_at(1, rank_of(q)), cornerH = square_at(8, rank_of(q));
    const bool sheltered = distance(enemyKing, q) < 2 || (pf == 3 && enemyKing == cornerA) ||
                           (pf == 6 && enemyKing == cornerH);
    if (sheltered) {
      const int kf = file_of(ownKing);
      if ((pf == 6 && kf >= 7) || (pf == 3 && kf <= 2)) --limit;
      if (distance(ownKing, q) >= limit) return EndingDraw;
    }
  }
  correction += (8 - distance(ownKing, q)) * 24;
  return EndingOpen;
}

// A minor and a pawn against a minor.
EndingVerdict minor_pawn_against_minor(const EndingSides& v, int32_t& scale) {
  const Square enemyKing = v.king(v.defender);
  const SideMen& own = v.men[v.attacker];
  const SideMen& enemy = v.men[v.defender];
  if (v.king_in_front(enemyKing, v.attacker)) {
    const bool kingDark = is_dark_square(enemyKing);
    if (own.bishops && ((kingDark && !own.darkBishop) || (!kingDark && !own.lightBishop)))
      return EndingDraw;
    scale = CombinePercent(scale, enemy.bishops ? 10 : 20);
  } else if (!v.has_pawn_on_file(v.attacker, 1) && !v.has_pawn_on_file(v.attacker, 8)) {
    scale = CombinePercent(scale, enemy.bishops ? 50 : 70);
  }
  return EndingOpen;
}

// Rook and pawn against rook with the defending king in front of the pawn.
EndingVerdict rook_pawn_against_rook(const EndingSides& v, int32_t& scale) {
  const Square enemyKing = v.king(v.defender);
  const int pawnRank = v.rear_rank(file_of(enemyKing), v.attacker);
  const Square enemyRook = v.men[v.defender].rookSquare;
  const int rookRank = EndingSides::relative_rank(enemyRook, v.attacker);
  if (pawnRank >= 6 || rookRank == 6 ||
      (wing(enemyKing) && rank_of(enemyKing) == rank_of(enemyRook)))
    return EndingDraw;
  scale = CombinePercent(scale, 30);
  return EndingOpen;
}

// One pawn up and the defender has none.
void pawn_up(const EndingSides& v, int32_t defenderMaterial, int32_t& scale) {
  const bool queen = defenderMaterial == QueenValue;
  if (v.king_in_front(v.king(v.defender), v.attacker))
    scale = CombinePercent(scale, queen ? 40 : 20);
  else
    scale = CombinePercent(scale, queen ? 60 : 30);
}

// A lone bishop whose rook pawns queen on a corner of the other colour.
EndingVerdict wrong_bishop(const EndingSides& v, int32_t& scale) {
  const SideMen& own = v.men[v.attacker];
  // From the attacker's side: a light-squared bishop needs the dark h8 corner (h-file), a
  // dark-squared one the a8 corner; for Black the corners swap colours with the board.
  const bool light = own.lightBishop;
  const int file = (v.attacker == White) == light ? 8 : 1;
  const int count = v.pawn_count(v.attacker);
  if (v.pawns_on_file(v.attacker, file) != count) return EndingOpen;
  const Square corner = square_at(file, v.attacker == White ? 8 : 1);
  const int neighbour = file == 1 ? 2 : 7;
  const int defenders = v.pawn_count(v.defender);
  const bool defendersOnFile = v.pawns_on_file(v.defender, file) == defenders;
  const Square enemyKing = v.king(v.defender);

  // No defending pawn on the neighbouring file stands beyond the attacker's rear rook pawn.
  const bool neighbourClear = v.attacker == White
                                  ? v.pawns.blackRearRank[neighbour] <= v.pawns.whiteRearRank[file]
                                  : v.pawns.whiteRearRank[neighbour] >= v.pawns.blackRearRank[file];
  if (neighbourClear && distance(enemyKing, corner) <= 1) {
    if (defendersOnFile || defenders < 4) return EndingDraw;
    scale = CombinePercent(scale, 40);
    return EndingOpen;
  }
  if (!defendersOnFile) return EndingOpen;
  const int k = distance(enemyKing, corner) + (v.to_move(v.attacker) ? 1 : 0);
  // Every attacking man must be farther from the corner than the defending king.
  const uint8_t* list = v.pos.slotSquare + v.attacker * ColourListSize;
  for (int slot = 1; list[slot]; ++slot) {
    const Square s = list[slot];
    if (s == CapturedMark) continue;
    int d = distance(s, corner);
    if (is_pawn(v.pos.board[s]) && EndingSides::relative_rank(s, v.attacker) == 2) --d;
    if (d <= k) return EndingOpen;
  }
  return EndingDraw;
}

EndingVerdict with_pawns(const Position& pos, const PlyState& ply, const PawnEntry& pawns,
                         int32_t& scale, int32_t& value) {
  const int32_t mw = ply.material[White], mb = ply.material[Black];
  if (mw + mb == PawnValue) {
    const int strong = mw ? White : Black;
    const EndingSides v(pos, ply, pawns, strong);
    const int32_t kpk = KpkValue(v.king(strong), v.king(strong ^ 1), v.only_pawn(strong), strong,
                                 ply.side == strong);
    if (!kpk) return EndingDraw;
    value = strong == White ? kpk : -kpk;
    return EndingExact;
  }
  for (int strong = White; strong <= Black; ++strong) {
    const int32_t own = ply.material[strong], other = ply.material[strong ^ 1];
    const int sign = strong == White ? 1 : -1;
    if (own == QueenValue && other == PawnValue && ply.phase[strong ^ 1] == 0) {
      const EndingSides v(pos, ply, pawns, strong);
      int32_t correction = 0;
      const EndingVerdict verdict = queen_against_pawn(v, correction);
      value += sign * correction;
      return verdict;
    }
  }
  for (int strong = White; strong <= Black; ++strong) {
    const int32_t own = ply.material[strong], other = ply.material[strong ^ 1];
    if (own == MinorValue + PawnValue && other == MinorValue)
      return minor_pawn_against_minor(EndingSides(pos, ply, pawns, strong), scale);
  }
  for (int strong = White; strong <= Black; ++strong) {
    const int32_t own = ply.material[strong], other = ply.material[strong ^ 1];
    if (own == RookValue + PawnValue && other == RookValue) {
      const EndingSides v(pos, ply, pawns, strong);
      if (v.king_in_front(v.king(strong ^ 1), strong)) return rook_pawn_against_rook(v, scale);
    }
  }
  for (int strong = White; strong <= Black; ++strong) {
    const int32_t own = ply.material[strong], other = ply.material[strong ^ 1];
    const int otherPawns = strong == White ? pawns.blackPawnCount : pawns.whitePawnCount;
    if (own == other + PawnValue && otherPawns == 0) {
      pawn_up(EndingSides(pos, ply, pawns, strong), other, scale);
      return EndingOpen;
    }
  }
  if (ply.phase[White] + ply.phase[Black] == 1) {
    const int strong = ply.phase[White] ? White : Black;
    const EndingSides v(pos, ply, pawns, strong);
    if (v.men[strong].bishops == 1 && v.pawn_count(strong) > 0) return wrong_bishop(v, scale);
  }
  return EndingOpen;
}

// No pawns: a side without pieces against a few minors, or pieces on both sides.
EndingVerdict without_pawns(const Position& pos, const PlyState& ply, int32_t& scale,
                            int32_t& value) {
  for (int bare = White; bare <= Black; ++bare) {
    if (ply.phase[bare] != 0) continue;
    const int strong = bare ^ 1;
    if (ply.phase[strong] < 2) return EndingDraw;
    const SideMen men(pos, strong);
    if (men.rooks || men.queens) return EndingOpen;
    if (men.bishops == 0) {
      if (men.knights <= 2) return EndingDraw;
      value = 0;
      return EndingExact;
    }
    if (men.knights == 0) return (men.lightBishop && men.darkBishop) ? EndingOpen : EndingDraw;
    if (men.knights == 1 && men.bishops == 1) {
      // The mating corner comes from the bare king's table; here only the hunters' distances.
      const Square k = king_square(pos, bare);
      const int32_t v = 3 * (distance(k, men.knightSquare) + distance(k, men.bishopSquare)) +
                        8 * distance(k, king_square(pos, strong));
      value = bare == White ? v : -v;
      return EndingExact;
    }
    return EndingOpen;
  }
  const int32_t mw = ply.material[White], mb = ply.material[Black];
  if (mw == mb) return EndingDraw;
  if (RootEval.noPawnImbalance && std::abs(mw - mb) < MinorValue + 1) scale = CombinePercent(scale, 20);
  return EndingOpen;
}

}  // namespace

EndingVerdict RecogniseEnding(const Position& pos, const PlyState& ply, const PawnEntry& pawns,
                              int32_t& scale, int32_t& value) {
  value = 0;
  if (pawns.whitePawnCount + pawns.blackPawnCount) return with_pawns(pos, ply, pawns, scale, value);
  return without_pawns(pos, ply, scale, value);
}
