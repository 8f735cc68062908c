// The generated tables: the longest mates agree with the published figures, and every entry
// of the four-man tables is the best value over the position's moves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "generate.h"
#include "tables.h"
#include "tablebase/catalogue.h"
#include "tablebase/values.h"

namespace {

// Longest mate in moves over both table sides of a class, read from its files.
int longest_mate(const char* name) {
  int longest = 0;
  for (const char* extension : {".nbw", ".nbb"}) {
    FILE* f = std::fopen((tbtest::generated_tables() + "/" + name + extension).c_str(), "rb");
    if (!f) continue;
    int c;
    while ((c = std::fgetc(f)) != EOF) {
      const int32_t r = tb::result_from_stored(tb::stored_from_byte(int8_t(c)));
      longest = std::max(longest, r);
    }
    std::fclose(f);
  }
  return longest;
}

TEST(TablebaseGenerated, LongestMatesMatchThePublishedFigures) {
  EXPECT_EQ(longest_mate("kqk"), 10);
  EXPECT_EQ(longest_mate("krk"), 16);
  EXPECT_EQ(longest_mate("kpk"), 28);
  EXPECT_EQ(longest_mate("kbnk"), 33);
  EXPECT_EQ(longest_mate("kqkr"), 35);
  EXPECT_EQ(longest_mate("knk"), 0);
}

// Each legal position's value is the best over its moves.
void expect_consistent(const char* name) {
  const int c = tb::tb_class_by_name(name);
  tbgen::Library library(tbtest::generated_tables());
  ASSERT_TRUE(library.ensure(c, false));
  long checked = 0;
  uint64_t first = 0;
  EXPECT_EQ(library.verify(c, checked, first), 0) << name << ", first at node " << first;
  EXPECT_GT(checked, 1000000) << name;
}

TEST(TablebaseGenerated, FourManTablesAreTheBestOverTheirMoves) {
  expect_consistent("kqkr");
  expect_consistent("kbnk");
}

}  // namespace
