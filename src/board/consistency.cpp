#include "board/consistency.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <memory>

#include "board/setup.h"
#include "board/zobrist.h"

namespace {

bool fail(const char** reason, const char* text) {
  if (reason) *reason = text;
  return false;
}

bool same_attack_entry(const AttackEntry& a, const AttackEntry& b) {
  if (a.count != b.count || a.sliders != b.sliders) return false;
  uint8_t x[AttackSlots], y[AttackSlots];
  std::copy(a.squares, a.squares + a.count, x);
  std::copy(b.squares, b.squares + b.count, y);
  std::sort(x, x + a.count);
  std::sort(y, y + b.count);
  return std::equal(x, x + a.count, y);
}

}  // namespace

bool position_is_consistent(const Position& pos, const PlyState& ply, const char** reason) {
  if (pos.board[0] != OffBoard) return fail(reason, "board[0] is not off-board");
  static thread_local std::unique_ptr<Position> scratch;
  if (!scratch) scratch = std::make_unique<Position>();
  Position& fresh = *scratch;
  std::memcpy(fresh.board, pos.board, SquareCount);
  build_piece_lists(fresh);
  build_attack_tables(fresh);

  if (std::memcmp(fresh.pieceCount, pos.pieceCount, sizeof pos.pieceCount))
    return fail(reason, "piece counts differ");

  // Colour lists: every live slot names a square holding a man of its colour, and the square
  // points back at the slot; every man on the board is in a live slot.
  int live = 0;
  for (int colour = 0; colour < 2; ++colour) {
    const uint8_t* list = colour_list(pos, colour);
    if (!is_king(pos.board[list[0]]) || colour_of(pos.board[list[0]]) != colour)
      return fail(reason, "slot 0 does not hold the king");
    for (int i = 0; i < ColourListSize && list[i]; ++i) {
      if (list[i] == CapturedMark) continue;
      const int p = pos.board[list[i]];
      if (p == Empty || colour_of(p) != colour) return fail(reason, "colour list names a wrong square");
      if (pos.squareSlot[list[i]] != colour * ColourListSize + i)
        return fail(reason, "square slot does not point back");
      ++live;
    }
  }
  int men = 0;
  for (Square s = 1; s <= 64; ++s) men += pos.board[s] != Empty;
  if (live != men) return fail(reason, "colour lists miss a man");
  if (men != ply.pieces) return fail(reason, "men count differs");

  // Per-type lists: every live listed slot holds that code, every such man is listed once.
  for (int code : {3, 5, 6, 7, 11, 13, 14, 15}) {
    const TypeList& list = pos.typeList[code];
    int listed = 0;
    for (int i = 0; i < list.count; ++i) {
      const uint8_t s = pos.slotSquare[list.slot[i]];
      if (s == CapturedMark) continue;
      if (pos.board[s] != code) return fail(reason, "per-type list names a wrong man");
      ++listed;
    }
    if (listed != pos.pieceCount[code]) return fail(reason, "per-type list count differs");
  }

  for (int colour = 0; colour < 2; ++colour)
    for (Square s = 1; s <= 64; ++s)
      if (!same_attack_entry(pos.attacks[colour][s], fresh.attacks[colour][s]))
        return fail(reason, "attack tables differ");

  const KeyPair key = compute_key(pos.board), pawns = compute_pawn_key(pos.board);
  if (key.index != ply.indexKey || key.lock != ply.lockKey) return fail(reason, "position key differs");
  if (pawns.index != ply.pawnKey || pawns.lock != ply.pawnLock) return fail(reason, "pawn key differs");

  for (int colour = 0; colour < 2; ++colour) {
    if (sum_material(pos, colour) != ply.material[colour]) return fail(reason, "material differs");
    if (sum_phase(pos, colour) != ply.phase[colour]) return fail(reason, "phase differs");
    if (sum_signature(pos, colour) != ply.signature[colour]) return fail(reason, "signature differs");
  }
  const bool inCheck = pos.attacks[ply.side ^ 1][king_square(pos, ply.side)].count != 0;
  if (inCheck != in_check(ply)) return fail(reason, "in-check flag differs");
  if (piece_square_score(pos, ply.side) != ply.score) return fail(reason, "piece-square score differs");
  return true;
}

bool board_is_sound(const uint8_t* board) {
  int kings[2] = {0, 0}, men[2] = {0, 0};
  for (Square s = 1; s <= 64; ++s) {
    const int p = board[s];
    if (!p) continue;
    if (p > 15 || piece_type(p) == 0 || piece_type(p) == 4) return false;
    ++men[colour_of(p)];
    if (is_king(p)) ++kings[colour_of(p)];
  }
  return kings[0] == 1 && kings[1] == 1 && men[0] <= 16 && men[1] <= 16;
}
