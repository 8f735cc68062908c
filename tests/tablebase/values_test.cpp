// Stored entries, probe results and engine scores.
#include <gtest/gtest.h>

#include "tablebase/values.h"

namespace {

TEST(TablebaseValues, EightBitEntries) {
  EXPECT_EQ(tb::stored_from_byte(0), 0);
  EXPECT_EQ(tb::stored_from_byte(127), tb::NotAvailable);
  EXPECT_EQ(tb::stored_from_byte(-128), 32640);
  EXPECT_EQ(tb::stored_from_byte(-127), -32640);
  EXPECT_EQ(tb::stored_from_byte(1), 32641);
  EXPECT_EQ(tb::stored_from_byte(126), 32766);
  EXPECT_EQ(tb::stored_from_byte(-1), -32641);
  EXPECT_EQ(tb::stored_from_byte(-126), -32766);
  for (int e = -128; e <= 126; ++e)
    EXPECT_EQ(tb::byte_from_stored(tb::stored_from_byte(int8_t(e))), e) << e;
}

TEST(TablebaseValues, ResultsAndScores) {
  EXPECT_EQ(tb::result_from_stored(0), 0);
  EXPECT_EQ(tb::result_from_stored(32766), 1);     // mate in 1
  EXPECT_EQ(tb::result_from_stored(-32766), -1);   // already mated
  EXPECT_EQ(tb::result_from_stored(-32765), -2);   // mated in 1
  EXPECT_EQ(tb::result_from_stored(-32767), -32767);
  EXPECT_EQ(tb::result_from_stored(-32768), 32767);
  for (int r : {1, 10, 127, -1, -5, -127})
    EXPECT_EQ(tb::result_from_stored(tb::stored_from_result(r)), r) << r;

  EXPECT_EQ(tb::score_from_result(0), 0);
  EXPECT_EQ(tb::score_from_result(3), 30000 - 6);
  EXPECT_EQ(tb::score_from_result(-1), -30000);
  EXPECT_EQ(tb::score_from_result(-4), -(30000 - 6));
  // The two extreme stored values are no usable distances.
  EXPECT_EQ(tb::score_from_result(32767), tb::NoTablebaseScore);
  EXPECT_EQ(tb::score_from_result(-32767), tb::NoTablebaseScore);
  EXPECT_GT(tb::score_from_result(tb::LongestScoredMate), 29000);
}

}  // namespace
