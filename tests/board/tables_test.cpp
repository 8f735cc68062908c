#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/tables.h"
#include "support/positions.h"

namespace {

std::string squares(const uint8_t* list) {
  std::string out;
  for (; *list; ++list) {
    char name[3];
    square_name(*list, name);
    out += name;
    out += ' ';
  }
  return out;
}

constexpr Square sq(const char* name) { return square_at(name[0] - 'a' + 1, name[1] - '0'); }

TEST(StartupTables, SliderChainsRunRayAfterRayInStepOrder) {
  ensure_tables();
  const auto& next = SliderNext[SliderQueen][sq("a1")];
  EXPECT_EQ(next[sq("a1")], sq("a2"));  // north is the first ray on the board
  EXPECT_EQ(next[sq("a8")], sq("b2"));  // then north-east
  EXPECT_EQ(next[sq("h8")], sq("b1"));  // then east
  EXPECT_EQ(next[sq("h1")], 0);
  EXPECT_EQ(SliderSkip[SliderRook][sq("a1")][sq("a3")], sq("b1"));
  EXPECT_EQ(SliderSkip[SliderRook][sq("a1")][sq("b1")], 0);
  // Every chain visits each reachable square exactly once: 27 for a central queen.
  int visited = 0;
  for (Square t = SliderNext[SliderQueen][sq("d4")][sq("d4")]; t; t = SliderNext[SliderQueen][sq("d4")][t])
    ++visited;
  EXPECT_EQ(visited, 27);
}

TEST(StartupTables, LeaperListsBeyondListsAndDirections) {
  ensure_tables();
  EXPECT_EQ(squares(LeaperTargets[LeaperKing][sq("a1")]), "b1 b2 a2 ");
  EXPECT_EQ(squares(LeaperTargets[LeaperKnight][sq("a1")]), "c2 b3 ");
  EXPECT_EQ(squares(LeaperTargets[LeaperWhitePawn][sq("e2")]), "f3 d3 ");
  EXPECT_EQ(squares(LeaperTargets[LeaperBlackPawn][sq("e7")]), "d6 f6 ");
  EXPECT_EQ(squares(LeaperTargets[LeaperWhitePawn][sq("e1")]), "");
  EXPECT_EQ(squares(Beyond[sq("d4")][sq("a4")]), "e4 f4 g4 h4 ");
  EXPECT_EQ(squares(Beyond[sq("a1")][sq("b1")]), "");
  EXPECT_EQ(squares(Beyond[sq("e5")][sq("c3")]), "f6 g7 h8 ");
  EXPECT_EQ(Direction[sq("a1")][sq("h8")], 9);
  EXPECT_EQ(Direction[sq("h8")][sq("a1")], -9);
  EXPECT_EQ(Direction[sq("h1")][sq("a8")], 7);
  EXPECT_EQ(Direction[sq("b1")][sq("c3")], 0);  // a knight's distance
  EXPECT_EQ(Direction[sq("a1")][sq("a8")], 8);
  EXPECT_EQ(PawnPush[White][sq("e8")], 0);
  EXPECT_EQ(PawnPush[Black][sq("e2")], sq("e1"));
}

TEST(StartupTables, AttackTypesAgreeWithTheChainsOnAnEmptyBoard) {
  ensure_tables();
  // A queen, rook or bishop attacks exactly the squares of its chain; knights and kings their
  // target lists.
  for (Square a = 1; a <= 64; ++a) {
    for (Square b = 1; b <= 64; ++b) {
      if (a == b) continue;
      bool onQueen = false, onRook = false, onBishop = false, knight = false, king = false;
      for (Square t = SliderNext[SliderQueen][a][a]; t; t = SliderNext[SliderQueen][a][t]) onQueen |= t == b;
      for (Square t = SliderNext[SliderRook][a][a]; t; t = SliderNext[SliderRook][a][t]) onRook |= t == b;
      for (Square t = SliderNext[SliderBishop][a][a]; t; t = SliderNext[SliderBishop][a][t]) onBishop |= t == b;
      for (const uint8_t* t = LeaperTargets[LeaperKnight][a]; *t; ++t) knight |= *t == b;
      for (const uint8_t* t = LeaperTargets[LeaperKing][a]; *t; ++t) king |= *t == b;
      ASSERT_EQ(attack_type_allows(WhiteQueen, a, b), onQueen) << a << " " << b;
      ASSERT_EQ(attack_type_allows(BlackRook, a, b), onRook) << a << " " << b;
      ASSERT_EQ(attack_type_allows(WhiteBishop, a, b), onBishop) << a << " " << b;
      ASSERT_EQ(attack_type_allows(BlackKnight, a, b), knight) << a << " " << b;
      ASSERT_EQ(attack_type_allows(WhiteKing, a, b), king) << a << " " << b;
      ASSERT_EQ(Direction[a][b] != 0, onQueen);
    }
  }
  EXPECT_TRUE(attack_type_allows(WhitePawn, sq("e4"), sq("d5")));
  EXPECT_FALSE(attack_type_allows(WhitePawn, sq("e4"), sq("d3")));
  EXPECT_TRUE(attack_type_allows(BlackPawn, sq("e4"), sq("d3")));
}

TEST(StartupTables, RebuildingGivesTheSameTables) {
  ensure_tables();
  static uint8_t next[3][SquareCount][SquareCount];
  int32_t types[239];
  std::memcpy(next, SliderNext, sizeof next);
  std::memcpy(types, AttackTypes, sizeof types);
  const uint8_t* kingList = LeaperTargets[LeaperKing][sq("e4")];
  for (int i = 0; i < 3; ++i) {
    build_leaper_lists();
    build_slider_tables();
    build_attack_type_table();
  }
  EXPECT_EQ(std::memcmp(next, SliderNext, sizeof next), 0);
  EXPECT_EQ(std::memcmp(types, AttackTypes, sizeof types), 0);
  EXPECT_EQ(kingList, LeaperTargets[LeaperKing][sq("e4")]);  // the same storage, no growth
  EXPECT_EQ(FileMask[1], 0x0101010101010101ull);
  EXPECT_EQ(RankMask23, 0x0000000000FFFF00ull);
  EXPECT_EQ(RankMask67, 0x00FFFF0000000000ull);
}

}  // namespace
