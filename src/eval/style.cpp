#include "eval/style.h"

#include "eval/preparation.h"
#include "eval/side_view.h"

namespace {

// Heavy pieces of `Attacker` lining up on the h-file against a king whose h-pawn is gone or
// that sits behind a stonewall. Attacker's view.
template <int Attacker>
int32_t h_file_attack(const Position& pos, PlyState& ply, const PawnEntry& pawns) {
  using V = SideView<Attacker>;
  const bool noDefenderHPawn = V::enemy_pawns(pawns, 8) == 0;
  const bool pawnOnG6 = pos.board[V::rel(G6)] == V::own(2);
  int32_t v = 0, unit = 10;
  if (noDefenderHPawn) {
    v += pawnOnG6 ? 85 : 50;
    unit = 25;
  }
  const int limit = V::own_pawns(pawns, 8) ? V::own_rear_rank(pawns, 8) : 0;
  bool queen = false, rook = false;
  for_each_piece(pos, V::own(7), [&](Square s) {
    if (file_of(s) == 8 && V::rank(s) > limit) {
      v += unit;
      queen = true;
    }
  });
  for_each_piece(pos, V::own(6), [&](Square s) {
    if (file_of(s) == 8 && V::rank(s) > limit) {
      v += unit;
      rook = true;
    }
  });
  if (noDefenderHPawn && queen && (rook || pawnOnG6)) {
    v += 75;
    if (ply.side == Attacker) ply.evalAlert = 1;
  }
  return v;
}

}  // namespace

void StyleTerms(const Position& pos, PlyState& ply, const PawnEntry& pawns, uint32_t structureFlags,
                int engineColour, int32_t& pawnSum, int32_t& materialSum) {
  if (structureFlags & StructureStonewall)
    pawnSum += engineColour == Black ? h_file_attack<White>(pos, ply, pawns)
                                     : -h_file_attack<Black>(pos, ply, pawns);
  if (structureFlags & StructureQueenSideBlack) {
    if (!pawns.whitePawnsOnFile[2] || !pawns.whitePawnsOnFile[3]) pawnSum -= 12;
  } else if (structureFlags & StructureQueenSideWhite) {
    if (!pawns.blackPawnsOnFile[2] || !pawns.blackPawnsOnFile[3]) pawnSum += 12;
  }
  const int32_t rimFile = (structureFlags & StructureHFileAttack)   ? 8
                          : (structureFlags & StructureAFileAttack) ? 1
                                                                    : 0;
  if (rimFile && pawns.pawnsOnFile[rimFile] == 0) materialSum += engineColour == White ? -325 : 325;
}
