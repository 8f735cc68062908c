#include "board/tables.h"

#include <cstring>

// ---- Storage ---------------------------------------------------------------------------------
const uint8_t* LeaperTargets[4][SquareCount];
uint8_t SliderNext[3][SquareCount][SquareCount];
uint8_t SliderSkip[3][SquareCount][SquareCount];
const uint8_t* Beyond[SquareCount][SquareCount];
uint8_t PawnPush[2][SquareCount];
int32_t Direction[SquareCount][SquareCount];
int32_t AttackTypes[239];
uint64_t SquareMask[SquareCount];
uint64_t FileMask[9];
uint64_t RankMask23, RankMask67;

const int32_t AttackTypeBit[16] = {0, 1, 2, 8, 0, 16, 32, 64, 0, 1, 4, 8, 0, 16, 32, 64};

namespace {

// 0x88 steps of each direction set.
constexpr int QueenSteps[8] = {15, 16, 17, 1, -15, -16, -17, -1};  // NW N NE E SE S SW W
constexpr int RookSteps[4] = {16, 1, -16, -1};
constexpr int BishopSteps[4] = {15, 17, -15, -17};
constexpr int KingSteps[8] = {-1, -17, -16, -15, 1, 17, 16, 15};  // W SW S SE E NE N NW
constexpr int KnightSteps[8] = {-18, -14, -33, -31, 18, 14, 33, 31};
constexpr int WhitePawnSteps[2] = {17, 15};
constexpr int BlackPawnSteps[2] = {-17, -15};

constexpr bool on_board(int x) { return x >= 0 && (x & 0x88) == 0; }
constexpr Square square_of(int x) { return (x >> 4) * 8 + (x & 7) + 1; }

constexpr int coord_of(Square s) { return s == 0 ? 0 : (s - 1) + 8 * ((s - 1) / 8); }

// Packed 0-terminated lists; the sizes cover the worst case of each builder.
uint8_t LeaperStorage[64 * 9 * 2 + 48 * 3 * 2 + 1];
uint8_t BeyondStorage[64 * 8 * 8 + 1];

}  // namespace

const uint8_t FileSquares[9][9] = {
    {0},
    {1, 9, 17, 25, 33, 41, 49, 57, 0}, {2, 10, 18, 26, 34, 42, 50, 58, 0},
    {3, 11, 19, 27, 35, 43, 51, 59, 0}, {4, 12, 20, 28, 36, 44, 52, 60, 0},
    {5, 13, 21, 29, 37, 45, 53, 61, 0}, {6, 14, 22, 30, 38, 46, 54, 62, 0},
    {7, 15, 23, 31, 39, 47, 55, 63, 0}, {8, 16, 24, 32, 40, 48, 56, 64, 0},
};
const int32_t Coord88[SquareCount] = {
    0, 0, 1, 2, 3, 4, 5, 6,
    7, 16, 17, 18, 19, 20, 21, 22,
    23, 32, 33, 34, 35, 36, 37, 38,
    39, 48, 49, 50, 51, 52, 53, 54,
    55, 64, 65, 66, 67, 68, 69, 70,
    71, 80, 81, 82, 83, 84, 85, 86,
    87, 96, 97, 98, 99, 100, 101, 102,
    103, 112, 113, 114, 115, 116, 117, 118,
    119,
};

void build_leaper_lists() {
  uint8_t* out = LeaperStorage;
  uint8_t* const emptyList = out;
  *out++ = 0;
  auto build = [&out](int kind, const int* steps, int count, Square first, Square last) {
    for (Square s = first; s <= last; ++s) {
      LeaperTargets[kind][s] = out;
      for (int i = 0; i < count; ++i) {
        const int x = coord_of(s) + steps[i];
        if (on_board(x)) *out++ = uint8_t(square_of(x));
      }
      *out++ = 0;
    }
  };
  for (int kind = 0; kind < 4; ++kind)
    for (Square s = 0; s < SquareCount; ++s) LeaperTargets[kind][s] = emptyList;
  build(LeaperKing, KingSteps, 8, 1, 64);
  build(LeaperKnight, KnightSteps, 8, 1, 64);
  build(LeaperWhitePawn, WhitePawnSteps, 2, 9, 56);
  build(LeaperBlackPawn, BlackPawnSteps, 2, 9, 56);
}

void build_slider_tables() {
  std::memset(SliderNext, 0, sizeof SliderNext);
  std::memset(SliderSkip, 0, sizeof SliderSkip);
  const int* stepSets[3] = {QueenSteps, RookSteps, BishopSteps};
  const int stepCounts[3] = {8, 4, 4};
  for (int kind = 0; kind < 3; ++kind) {
    for (Square from = 1; from <= 64; ++from) {
      // Collect the on-board rays in step order, near to far.
      uint8_t rays[8][8];
      int rayLength[8];
      int rayCount = 0;
      for (int d = 0; d < stepCounts[kind]; ++d) {
        int length = 0;
        for (int x = coord_of(from) + stepSets[kind][d]; on_board(x); x += stepSets[kind][d])
          rays[rayCount][length++] = uint8_t(square_of(x));
        if (length) rayLength[rayCount++] = length;
      }
      // Chain them: next runs through every square of every ray; skip jumps to the next ray.
      Square previous = from;
      for (int r = 0; r < rayCount; ++r) {
        const Square nextRayStart = r + 1 < rayCount ? rays[r + 1][0] : 0;
        for (int i = 0; i < rayLength[r]; ++i) {
          SliderNext[kind][from][previous] = rays[r][i];
          SliderSkip[kind][from][rays[r][i]] = uint8_t(nextRayStart);
          previous = rays[r][i];
        }
      }
      SliderNext[kind][from][previous] = 0;
    }
  }
}

void build_beyond_lists() {
  uint8_t* out = BeyondStorage;
  uint8_t* const emptyList = out;
  *out++ = 0;
  for (Square s = 0; s < SquareCount; ++s)
    for (Square t = 0; t < SquareCount; ++t) Beyond[s][t] = emptyList;
  for (Square s = 1; s <= 64; ++s) {
    for (int step : QueenSteps) {
      const int x = coord_of(s);
      if (!on_board(x + step)) continue;
      const uint8_t* list = out;
      for (int y = x - step; on_board(y); y -= step) *out++ = uint8_t(square_of(y));
      *out++ = 0;
      for (int y = x + step; on_board(y); y += step) Beyond[s][square_of(y)] = list;
    }
  }
}

void build_pawn_push() {
  std::memset(PawnPush, 0, sizeof PawnPush);
  for (Square s = 1; s <= 56; ++s) PawnPush[White][s] = uint8_t(s + 8);
  for (Square s = 9; s <= 64; ++s) PawnPush[Black][s] = uint8_t(s - 8);
}

void build_direction_table() {
  std::memset(Direction, 0, sizeof Direction);
  for (Square from = 1; from <= 64; ++from) {
    for (Square t = SliderNext[SliderQueen][from][from]; t; t = SliderNext[SliderQueen][from][t]) {
      int step;
      if (file_of(t) == file_of(from)) step = t > from ? 8 : -8;
      else if (rank_of(t) == rank_of(from)) step = t > from ? 1 : -1;
      else if (t > from) step = file_of(t) > file_of(from) ? 9 : 7;
      else step = file_of(t) > file_of(from) ? -7 : -9;
      Direction[from][t] = step;
    }
  }
}

void build_attack_type_table() {
  std::memset(AttackTypes, 0, sizeof AttackTypes);
  constexpr Square centre = 29;  // e4
  const int c = coord_of(centre);
  auto mark = [&](const uint8_t* list, int bit) {
    for (; *list; ++list) AttackTypes[coord_of(*list) - c + 119] |= bit;
  };
  mark(LeaperTargets[LeaperKnight][centre], 8);
  mark(LeaperTargets[LeaperKing][centre], 1);
  mark(LeaperTargets[LeaperWhitePawn][centre], 2);
  mark(LeaperTargets[LeaperBlackPawn][centre], 4);
  for (Square s = 1; s <= 64; ++s) {
    for (Square t = SliderNext[SliderRook][s][s]; t; t = SliderNext[SliderRook][s][t])
      AttackTypes[coord_of(t) - coord_of(s) + 119] |= 32 | 64;
    for (Square t = SliderNext[SliderBishop][s][s]; t; t = SliderNext[SliderBishop][s][t])
      AttackTypes[coord_of(t) - coord_of(s) + 119] |= 16 | 64;
  }
}

void build_masks() {
  for (Square s = 0; s < SquareCount; ++s) SquareMask[s] = s ? uint64_t(1) << (s - 1) : 0;
  for (int f = 0; f <= 8; ++f) {
    FileMask[f] = 0;
    if (f)
      for (int r = 1; r <= 8; ++r) FileMask[f] |= SquareMask[square_at(f, r)];
  }
  RankMask23 = RankMask67 = 0;
  for (int f = 1; f <= 8; ++f) {
    RankMask23 |= SquareMask[square_at(f, 2)] | SquareMask[square_at(f, 3)];
    RankMask67 |= SquareMask[square_at(f, 6)] | SquareMask[square_at(f, 7)];
  }
}

void build_startup_tables() {
  build_leaper_lists();
  build_slider_tables();
  build_beyond_lists();
  build_pawn_push();
  build_direction_table();
  build_attack_type_table();
  build_masks();
}
