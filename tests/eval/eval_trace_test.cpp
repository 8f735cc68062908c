// The term-by-term evaluation of the "eval" command: the same number as the search's root
// evaluation, terms that add up to it, and mirrored terms for the colour mirror.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "core/options.h"
#include "eval/evaluate.h"
#include "eval_helpers.h"
#include "support/positions.h"

namespace {

class EvalTraceTest : public ::testing::Test {
 protected:
  void SetUp() override { reset_eval_environment(); }
};

int32_t white_view(const PlyState& root, int32_t v) { return root.side == 0 ? v : -v; }

// The trace of a prepared root against Evaluate, and its terms against each other.
EvalTrace expect_consistent_trace(EvalPosition& p, const char* where) {
  const int32_t expected = evaluate_root(p);
  reset_eval_bounds();
  EvalTrace trace;
  EXPECT_EQ(TraceEvaluation(*p, p.root(), trace), expected) << where;
  EXPECT_EQ(trace.result, expected) << where;
  int32_t sum = 0;
  for (int t = 0; t < TermCount; ++t) {
    sum += trace.total[t];
    if (trace.split[t]) {
      EXPECT_EQ(trace.side[t][0] - trace.side[t][1], trace.total[t]) << where << " " << EvalTermNames[t];
    }
  }
  EXPECT_EQ(sum, white_view(p.root(), expected)) << where;
  return trace;
}

// Random positions from the test set, with the default weights and with changed weights and
// contempt (so that the weight and contempt lines are exercised too).
void check_random_positions(uint32_t seed, int runsPerFen, bool mirrors) {
  std::mt19937 rng(seed);
  EvalPosition game, original, mirror;
  for (const char* fen : TestFens) {
    for (int run = 0; run < runsPerFen; ++run) {
      set_fen(*game, fen);
      PlyState* ply = play_random_moves(*game, rng, int(rng() % 90));
      char where[160];
      std::snprintf(where, sizeof where, "%s after %d plies", fen, int(ply->ply));
      prepare_copy(original, *game, *ply, false);
      if (Options.DrawScore) set_contempt(original.root().side);
      const EvalTrace a = expect_consistent_trace(original, where);
      if (mirrors && signature_is_exact(*game)) {
        prepare_copy(mirror, *game, *ply, true);
        if (Options.DrawScore) set_contempt(mirror.root().side);
        const EvalTrace b = expect_consistent_trace(mirror, where);
        for (int t = 0; t < TermCount; ++t) {
          EXPECT_EQ(a.total[t], -b.total[t]) << where << " " << EvalTermNames[t];
          EXPECT_EQ(a.split[t], b.split[t]) << where << " " << EvalTermNames[t];
          if (a.split[t] && b.split[t]) {
            EXPECT_EQ(a.side[t][0], b.side[t][1]) << where << " " << EvalTermNames[t];
            EXPECT_EQ(a.side[t][1], b.side[t][0]) << where << " " << EvalTermNames[t];
          }
        }
      }
      take_back_all(*game, ply);
    }
  }
}

TEST_F(EvalTraceTest, TermsAddUpToTheRootEvaluationAndMirror) {
  check_random_positions(31, 12, true);
}

TEST_F(EvalTraceTest, WeightAndContemptLinesAddUpToo) {
  Options.EvalWeights[WeightPawnStructure] = 70;
  Options.EvalWeights[WeightPawnStructureEnd] = 130;
  Options.EvalWeights[WeightKingSafety] = 155;
  Options.EvalWeights[WeightEvalPercent] = 85;
  Options.DrawScore = 40;
  check_random_positions(32, 4, false);
}

// A recognised dead draw scores 0, and the draw line says why.
TEST_F(EvalTraceTest, DeadDrawShowsInTheDrawLine) {
  EvalPosition p;
  prepare_fen(p, "8/8/4k3/8/8/3NK3/8/8 w - - 0 1");
  const EvalTrace trace = expect_consistent_trace(p, "knight against bare king");
  EXPECT_EQ(trace.result, 0);
  EXPECT_EQ(trace.total[TermDraw], -trace.total[TermMaterial] - trace.total[TermPieceSquare] -
                                       trace.total[TermContempt] - trace.total[TermEndgame]);
  EXPECT_NE(trace.total[TermDraw], 0);
}

}  // namespace
