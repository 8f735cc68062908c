// The generated tables: the longest mates agree with the published figures, and every entry
// of the four-man tables is the best value over the position's moves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "generate.h"
#include "placement.h"
#include "tables.h"
#include "tablebase/index.h"
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

int16_t backed_up(int16_t child) {
  return child > 0 ? int16_t(-child + 1) : child < 0 ? int16_t(-child - 1) : 0;
}

// Each legal position's value is the best over its moves: mated when in check without moves,
// drawn in stalemate, otherwise the best of the children seen one ply further.
void expect_consistent(const char* name) {
  const int c = tb::tb_class_by_name(name);
  tbgen::Library library(tbtest::generated_tables());
  ASSERT_TRUE(library.ensure(c, false));
  const tb::TbClass& cls = tb::tb_class(c);
  static tbgen::MoveResult moves[256];
  long checked = 0, wrong = 0;
  for (int side = 0; side < 2; ++side)
    for (uint64_t i = 0; i < cls.size; ++i) {
      int squares[tb::MaxMen], ep;
      if (!tb::tb_decode(cls, side, i, squares, ep)) continue;
      tbgen::Placement p = tbgen::placement_of_class(cls);
      for (int m = 0; m < p.men; ++m) p.square[m] = squares[m];
      p.side = side;
      p.ep = ep;
      if (p.in_check(1 - side)) continue;
      int lists[2][24], counts[2][6];
      tbgen::probe_lists(p, lists, counts);
      const int16_t stored = library.value_of(lists, counts, side);
      const int n = tbgen::legal_moves(p, moves);
      int16_t best = n == 0 ? (p.in_check(side) ? int16_t(-tbgen::WinBase) : int16_t(0)) : INT16_MIN;
      for (int m = 0; m < n; ++m) {
        tbgen::probe_lists(moves[m].next, lists, counts);
        best = std::max(best, backed_up(library.value_of(lists, counts, moves[m].next.side)));
      }
      ++checked;
      if (best != stored && ++wrong <= 5)
        ADD_FAILURE() << name << " side " << side << " index " << i << ": stored " << stored
                      << ", best over moves " << best;
    }
  EXPECT_EQ(wrong, 0) << name;
  EXPECT_GT(checked, 1000000) << name;
}

TEST(TablebaseGenerated, FourManTablesAreTheBestOverTheirMoves) {
  expect_consistent("kqkr");
  expect_consistent("kbnk");
}

}  // namespace
