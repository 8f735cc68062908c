// Material lookup: each side's counts select one of the 126 piece multisets of at most four
// pieces, and a 126 x 126 table gives the class (negative when the colours are exchanged).
#include <cstring>

#include "tablebase/module.h"

namespace tb {
namespace {

constexpr int SideSets = 126;  // multisets of 0 to 4 pieces of 5 types

struct SideKeys {
  int16_t id[5][5][5][5][5];  // by pawns, knights, bishops, rooks, queens
  SideKeys() {
    int n = 0;
    for (int p = 0; p < 5; ++p)
      for (int k = 0; k < 5; ++k)
        for (int b = 0; b < 5; ++b)
          for (int r = 0; r < 5; ++r)
            for (int q = 0; q < 5; ++q)
              id[p][k][b][r][q] = int16_t(p + k + b + r + q <= MaxClassPieces ? n++ : -1);
  }
};
const SideKeys& side_keys() {
  static const SideKeys keys;
  return keys;
}

int16_t Lookup[SideSets][SideSets];

// -1 when a count is outside 0..4 or the side holds more pieces than any class.
int side_key(const int* c) {
  for (int t = 0; t < 5; ++t)
    if (c[t] < 0 || c[t] > MaxClassPieces) return -1;
  return side_keys().id[c[0]][c[1]][c[2]][c[3]][c[4]];
}

void class_counters(const TbClass& cls, int side, int* out) {
  for (int t = 0; t < 5; ++t) out[t] = 0;
  for (int i = 0; i < cls.pieceCount[side]; ++i) ++out[cls.pieces[side][i] - 1];
}

}  // namespace

void material_clear() { std::memset(Lookup, 0, sizeof Lookup); }

void material_enter(int classNumber) {
  const TbClass& cls = tb_class(classNumber);
  int first[5], second[5];
  class_counters(cls, 0, first);
  class_counters(cls, 1, second);
  const int a = side_key(first), b = side_key(second);
  Lookup[a][b] = int16_t(classNumber);
  if (!(cls.flags & SymmetricClass)) Lookup[b][a] = int16_t(-classNumber);
}

int material_find(const int* counters) {
  const int white = side_key(counters), black = side_key(counters + 5);
  if (white < 0 || black < 0) return 0;
  return Lookup[white][black];
}

}  // namespace tb
