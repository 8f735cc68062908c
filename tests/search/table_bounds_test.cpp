// How the searches read and write table bounds: a bound that narrowed the window must not turn
// a result inside the original window into an exact score.
#include <gtest/gtest.h>

#include <cstring>

#include "board/makemove.h"
#include "eval/evaluate.h"
#include "fixed_depth.h"
#include "search/search.h"
#include "search/transposition.h"

namespace {

Position pos;

TEST(TableBounds, QuiescenceResultBelowATableRaisedAlphaIsAnUpperBound) {
  // After ...Kf8 White wins the d5 pawn with the knight: better than standing pat, but not as
  // good as an earlier search had promised.
  ASSERT_TRUE(load_test_position(pos, "4k3/8/8/3p4/8/2N5/8/4K3 b - - 0 1"));
  prepare_test_search(pos);
  PlyState* child = play_text_move(pos, pos.plies[0], "e8f8");
  ASSERT_NE(child, nullptr);
  const int32_t standPat = Evaluate(pos, *child, -MateScore, MateScore, 0);

  // An earlier search left "at least standPat + 300" here; the window below is wider.
  const int32_t bound = standPat + 300;
  store_quiescence_entry(*child, StoreRequest{BoundLower, bound, 0, NoMove, NoMove, false, false});
  const int32_t v = QuiescenceNode(pos, *child, standPat - 100, standPat + 600, 0);
  ASSERT_LT(v, bound) << "the knight capture was expected to fall short of the bound";
  ASSERT_GT(v, standPat) << "the knight capture was expected to beat standing pat";

  TTEntry e;
  ASSERT_TRUE(probe_slot(*child, primary_slot(*child), e));
  EXPECT_TRUE(e.upper()) << "searched against alpha " << bound << ", the result " << v
                         << " only says 'no better', yet it was stored as "
                         << (e.exact() ? "exact" : "a lower bound");
  unmake_move(pos, *child);
}

}  // namespace
