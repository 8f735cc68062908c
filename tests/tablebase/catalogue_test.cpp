// The class list, the material lookup and the index functions.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>
#include <string>

#include "tablebase/catalogue.h"
#include "tablebase/index.h"
#include "tablebase/module.h"

namespace {

TEST(TablebaseCatalogue, ClassOrderNamesAndFlags) {
  const std::pair<int, const char*> fixed[] = {
      {0, "kk"},      {1, "kpk"},    {2, "knk"},     {3, "kbk"},    {4, "krk"},
      {5, "kqk"},     {6, "kpkp"},   {35, "kqqk"},   {36, "kppkp"}, {145, "kqqqk"},
      {146, "knnknn"}};
  for (auto [number, name] : fixed) EXPECT_STREQ(tb::tb_class(number).name, name) << number;

  std::set<std::string> names;
  for (int c = 1; c < tb::ClassCount; ++c) {
    const tb::TbClass& cls = tb::tb_class(c);
    names.insert(cls.name);
    const int men = c <= 5 ? 3 : c <= 35 ? 4 : c <= 145 ? 5 : 6;
    EXPECT_EQ(cls.men, men) << cls.name;
    const bool same = cls.pieceCount[0] == cls.pieceCount[1] &&
                      std::memcmp(cls.pieces[0], cls.pieces[1], cls.pieceCount[0]) == 0;
    EXPECT_EQ(bool(cls.flags & tb::SymmetricClass), same) << cls.name;
    // Tables above 2 GB are split into parts.
    EXPECT_EQ(bool(cls.flags & tb::SplitFiles), cls.size > (uint64_t(1) << 31)) << cls.name;
    EXPECT_EQ(tb::tb_class_by_name(cls.name), c);
  }
  EXPECT_EQ(names.size(), size_t(tb::ClassCount - 1));
  EXPECT_EQ(tb::tb_class(5).size, 462u * 64);
  EXPECT_EQ(tb::tb_class(1).size, 32u * 64 * 64);
}

TEST(TablebaseCatalogue, MaterialLookupNegatesExchangedColours) {
  int kqkr[2][6] = {{0, 0, 0, 0, 0, 1}, {0, 0, 0, 0, 1, 0}};
  const int c = tb::tb_class_by_name("kqkr");
  EXPECT_EQ(tb::tb_class_of_material(kqkr), c);
  int krkq[2][6] = {{0, 0, 0, 0, 1, 0}, {0, 0, 0, 0, 0, 1}};
  EXPECT_EQ(tb::tb_class_of_material(krkq), -c);
  int five[2][6] = {{0, 5, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}};
  EXPECT_EQ(tb::tb_class_of_material(five), 0);

  // The module's lookup only knows classes entered from files.
  tb::material_clear();
  const int counters[10] = {0, 0, 0, 0, 1, 0, 0, 0, 1, 0};
  const int exchanged[10] = {0, 0, 0, 1, 0, 0, 0, 0, 0, 1};
  EXPECT_EQ(tb::material_find(counters), 0);
  tb::material_enter(c);
  EXPECT_EQ(tb::material_find(counters), c);
  EXPECT_EQ(tb::material_find(exchanged), -c);
  const int tooMany[10] = {5, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(tb::material_find(tooMany), 0);
  tb::material_clear();
}

int mirror_files(int sq) { return sq ^ 7; }
int mirror_ranks(int sq) { return sq ^ 56; }
int transpose(int sq) { return (sq & 7) * 8 + (sq >> 3); }

// Random placements: the index is below the table size, the same for every symmetric view
// of the position, and decodes to a placement with that index.
TEST(TablebaseIndex, SymmetricViewsShareOneIndexThatDecodes) {
  std::mt19937 random(7);
  for (const char* name : {"kqkr", "kbnk", "kpkp", "krpkr", "kqqk"}) {
    const tb::TbClass& cls = tb::tb_class(tb::tb_class_by_name(name));
    const int men = cls.men;
    int tested = 0;
    while (tested < 2000) {
      int sq[tb::MaxMen];
      uint64_t used = 0;
      bool ok = true;
      for (int i = 0; i < men; ++i) {
        sq[i] = int(random() % 64);
        if (used & (uint64_t(1) << sq[i])) ok = false;
        used |= uint64_t(1) << sq[i];
      }
      const int side = int(random() % 2);
      const uint64_t index = tb::tb_index(cls, side, sq, tb::NoEnPassant);
      if (!ok || index == tb::NoIndex) continue;
      ++tested;
      ASSERT_LT(index, cls.size) << name;
      int (*const views[])(int) = {mirror_files, mirror_ranks, transpose};
      for (int v = 0; v < 3; ++v) {
        if (cls.hasPawns && v > 0) break;  // pawns only allow the left-right mirror
        int other[tb::MaxMen];
        for (int i = 0; i < men; ++i) other[i] = views[v](sq[i]);
        EXPECT_EQ(tb::tb_index(cls, side, other, tb::NoEnPassant), index) << name << " view " << v;
      }
      int decoded[tb::MaxMen];
      int ep;
      ASSERT_TRUE(tb::tb_decode(cls, side, index, decoded, ep)) << name;
      EXPECT_EQ(ep, tb::NoEnPassant);
      EXPECT_EQ(tb::tb_index(cls, side, decoded, ep), index);
    }
  }
}

TEST(TablebaseIndex, EnPassantPositionsHaveTheirOwnIndex) {
  const tb::TbClass& cls = tb::tb_class(tb::tb_class_by_name("kpkp"));
  // White king d1, white pawn d5, black king e8, black pawn e5 just came from e7: target e6.
  const int sq[4] = {3, 35, 60, 36};
  const uint64_t plain = tb::tb_index(cls, 0, sq, tb::NoEnPassant);
  const uint64_t withEp = tb::tb_index(cls, 0, sq, 44);
  ASSERT_NE(withEp, tb::NoIndex);
  EXPECT_NE(withEp, plain);
  int decoded[4];
  int ep;
  ASSERT_TRUE(tb::tb_decode(cls, 0, withEp, decoded, ep));
  EXPECT_EQ(ep, 44);
  EXPECT_EQ(decoded[3], 36);
  // The same target with Black to move names no pawn that just moved: ignored.
  EXPECT_EQ(tb::tb_index(cls, 1, sq, 44), tb::tb_index(cls, 1, sq, tb::NoEnPassant));
  // Adjacent kings and pawns on a back rank are outside the table.
  const int touching[4] = {3, 35, 12, 36};
  EXPECT_EQ(tb::tb_index(cls, 0, touching, tb::NoEnPassant), tb::NoIndex);
  const int backRank[4] = {3, 2, 60, 36};
  EXPECT_EQ(tb::tb_index(cls, 0, backRank, tb::NoEnPassant), tb::NoIndex);
}

}  // namespace
