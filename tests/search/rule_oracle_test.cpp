// The bookkeeping of the pruning-rule oracle (its re-searches run only in the verify build, in
// verify_rules) and a frontier node where futility must and must not fire.
#include <gtest/gtest.h>

#include <cstring>

#include "board/makemove.h"
#include "fixed_depth.h"
#include "search/params.h"
#include "search/rule_oracle.h"
#include "search/search.h"
#include "search/stats.h"

namespace {

Position pos;

const RuleTally& tally(CheckedRule r) { return RuleOracle.tally[int(r)]; }

TEST(RuleOracle, SamplesEveryKthFiringOutsideReSearchesOnly) {
  reset_rule_oracle(true, 3, 1000);
  for (int i = 0; i < 10; ++i) take_rule_sample(CheckedRule::NullMove);
  EXPECT_EQ(tally(CheckedRule::NullMove).firings, 10u);
  EXPECT_EQ(tally(CheckedRule::NullMove).sampled, 4u) << "firings 1, 4, 7 and 10";
  EXPECT_EQ(tally(CheckedRule::MultiCut).firings, 0u) << "rules count apart";

  // Firings inside a re-search belong to the re-search, not to the search under test.
  RuleOracle.reSearching = 1;
  EXPECT_FALSE(take_rule_sample(CheckedRule::NullMove));
  RuleOracle.reSearching = 0;
  EXPECT_EQ(tally(CheckedRule::NullMove).firings, 10u);

  RuleOracle.period[int(CheckedRule::DeltaPruning)] = 0;
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(take_rule_sample(CheckedRule::DeltaPruning));
  EXPECT_EQ(tally(CheckedRule::DeltaPruning).firings, 5u);

  reset_rule_oracle(false, 1, 1000);
  EXPECT_FALSE(take_rule_sample(CheckedRule::NullMove));
  EXPECT_EQ(tally(CheckedRule::NullMove).firings, 0u) << "a switched-off oracle counts nothing";
}

TEST(RuleOracle, NodeVerdictsCompareTheWindowClassAndTheBestMove) {
  reset_rule_oracle(true, 1, 1000);
  const Move m1 = 0x1234, m2 = 0x2345;
  // A null-move cutoff (no best move) that fails low in full: wrong.
  book_node_verdict(CheckedRule::NullMove, 49, 50, 60, NoMove, 10, m1, NoMove);
  // Failing high both ways: right, and a cutoff without a move is no changed move.
  book_node_verdict(CheckedRule::NullMove, 49, 50, 60, NoMove, 50, m1, NoMove);
  EXPECT_EQ(tally(CheckedRule::NullMove).wrong, 1u);
  EXPECT_EQ(tally(CheckedRule::NullMove).moveChanged, 0u);

  // The window bounds themselves: alpha is a fail low, beta a fail high.
  EXPECT_EQ(verdict_of(-10, -10, 20), Verdict::FailLow);
  EXPECT_EQ(verdict_of(-9, -10, 20), Verdict::Exact);
  EXPECT_EQ(verdict_of(20, -10, 20), Verdict::FailHigh);

  // Reductions: inside the window both ways with another move is a changed move, not an error;
  // two fail lows with different moves are the same verdict; inside against above is wrong.
  book_node_verdict(CheckedRule::DepthCut, -10, 20, 5, m1, 7, m2, NoMove);
  book_node_verdict(CheckedRule::DepthCut, -10, 20, -30, m1, -10, m2, NoMove);
  book_node_verdict(CheckedRule::DepthCut, -10, 20, 5, m1, 25, m1, NoMove);
  EXPECT_EQ(tally(CheckedRule::DepthCut).wrong, 1u);
  EXPECT_EQ(tally(CheckedRule::DepthCut).moveChanged, 1u);

  // The sweep aims at the best move, which a node that fails low does not have.
  book_node_verdict(CheckedRule::RefutationSweep, 0, 1, 5, m1, -3, m1, m2);
  book_node_verdict(CheckedRule::RefutationSweep, 0, 1, 5, m1, 5, m1, m2);
  book_node_verdict(CheckedRule::RefutationSweep, 0, 1, 5, m1, 5, m2, m2);
  EXPECT_EQ(tally(CheckedRule::RefutationSweep).undecided, 1u);
  EXPECT_EQ(tally(CheckedRule::RefutationSweep).wrong, 1u);
}

TEST(RuleOracle, SkippedMovesAreWrongOnlyAboveAlpha) {
  reset_rule_oracle(true, 1, 1000);
  for (int32_t score : {-40, -20, 0, 1, 300}) {
    take_rule_sample(CheckedRule::LateMoveReduction);
    book_move_verdict(CheckedRule::LateMoveReduction, 0, -30, score);
  }
  const RuleTally& t = tally(CheckedRule::LateMoveReduction);
  EXPECT_EQ(t.wrong, 2u) << "1 and 300 raise alpha 0";
  EXPECT_EQ(t.moveChanged, 2u) << "-20 and 0 beat the best score -30 but not alpha";
  EXPECT_EQ(t.verdicts(), 5u);
  EXPECT_DOUBLE_EQ(t.error_percent(), 40.0);
  RuleTally empty{};
  EXPECT_DOUBLE_EQ(empty.error_percent(), 0.0) << "no verdicts, no rate";
}

TEST(RuleOracle, FutilityPrunesAtAHopelessFrontierNodeOnly) {
  // White, a queen and two rooks behind with nothing to take and no check to give: at depth 4
  // the futility block takes two plies off and the frontier node prunes its quiet moves.
  ASSERT_TRUE(load_test_position(pos, "rq2r2k/ppp2ppp/2n1b3/8/8/2N5/PPP2PPP/4KB2 b - - 0 1"));
  PlyState* node = play_text_move(pos, pos.plies[0], "h8g8");
  ASSERT_NE(node, nullptr);
  stats_of(pos) = SearchStats{};
  const int32_t v = SearchNode(pos, *node, -1, 0, 4, 1, 0);
  EXPECT_LE(v, -1) << "the node fails low";
  EXPECT_GT(stats_of(pos).futilePrunedMoves, 0u);
  EXPECT_EQ(stats_of(pos).futileNodes, 1u);

  // With a window below its score nothing is futile and every move is searched.
  prepare_test_search(pos);
  stats_of(pos) = SearchStats{};
  const int32_t w = SearchNode(pos, *node, -5000, -4999, 4, 1, 0);
  EXPECT_GE(w, -4999);
  EXPECT_EQ(stats_of(pos).futilePrunedMoves, 0u);
  EXPECT_EQ(stats_of(pos).futileNodes, 0u);
  unmake_move(pos, *node);
}

}  // namespace
