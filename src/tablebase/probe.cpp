#include "tablebase/probe.h"

#include "tablebase/catalogue.h"
#include "tablebase/module.h"
#include "tablebase/values.h"

namespace tb {
namespace {

bool has_pawn_on(const int* list, int square) {
  for (int slot = 4; slot < 8; ++slot)
    if (list[slot] == square) return true;
  return false;
}

}  // namespace

int probe_en_passant(const int* whiteList, const int* blackList, int side, int ep) {
  if (ep <= 0 || ep > 63) return NoEnPassant;
  if (side == 0) {
    if (ep > 40 && has_pawn_on(whiteList, ep - 9)) return ep;
    if (ep <= 46 && has_pawn_on(whiteList, ep - 7)) return ep;
  } else {
    if (ep > 16 && has_pawn_on(blackList, ep + 7)) return ep;
    if (ep <= 22 && has_pawn_on(blackList, ep + 9)) return ep;
  }
  return NoEnPassant;
}

bool locate_entry(int signedClass, const int* whiteList, const int* blackList, int side, int ep,
                  int& tableSide, uint64_t& index) {
  const bool inverted = signedClass < 0;
  const TbClass& cls = tb_class(inverted ? -signedClass : signedClass);
  // The first-named side is White in a normal class and Black in an inverted one.
  tableSide = inverted ? 1 - side : side;
  if ((cls.flags & SymmetricClass) && tableSide == 1) {
    // Same material on both sides: the position seen with colours exchanged.
    tableSide = 0;
    index = cls.index[0](cls, blackList, whiteList, probe_en_passant(whiteList, blackList, side, ep),
                         true);
    return index != NoIndex;
  }
  const int* strong = inverted ? blackList : whiteList;
  const int* weak = inverted ? whiteList : blackList;
  index = cls.index[tableSide](cls, strong, weak, probe_en_passant(whiteList, blackList, side, ep),
                               inverted);
  return index != NoIndex;
}

bool probe_stored(const int* counters, const int* whiteList, const int* blackList, int side,
                  int ep, int32_t& stored) {
  const int signedClass = material_find(counters);
  if (signedClass == 0) return false;
  int tableSide;
  uint64_t index;
  if (!locate_entry(signedClass, whiteList, blackList, side, ep, tableSide, index)) return false;
  const int classNumber = signedClass < 0 ? -signedClass : signedClass;
  if (!side_catalogued(classNumber, tableSide)) return false;
  stored = read_entry(classNumber, tableSide, index);
  return true;
}

}  // namespace tb
