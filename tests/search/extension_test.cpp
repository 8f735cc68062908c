#include <gtest/gtest.h>

#include <cstring>

#include "board/makemove.h"
#include "eval/evaluate.h"
#include "fixed_depth.h"
#include "search/params.h"
#include "search/picker.h"
#include "search/search.h"

namespace {

Position pos;

constexpr int32_t Low = -MateScore;

TEST(Extensions, ChecksNearTheRootAndTheHorizonLimit) {
  ASSERT_TRUE(load_test_position(pos, "4k3/8/8/8/8/8/8/R3K3 w - - 0 1"));
  Search.extensionLimit = 20;
  PlyState* checked = play_text_move(pos, pos.plies[0], "a1a8");
  ASSERT_NE(checked, nullptr);
  checked->hanging = 0;
  EXPECT_EQ(ExtensionFor(pos, *checked, 5, Low, 0), 1);
  EXPECT_EQ(ExtensionFor(pos, *checked, 19, Low, 0), 0) << "depth + ply reaches the limit";
  unmake_move(pos, *checked);
  PlyState* quiet = play_text_move(pos, pos.plies[0], "a1a7");
  quiet->hanging = 0;
  EXPECT_EQ(ExtensionFor(pos, *quiet, 5, Low, 0), 0);
  unmake_move(pos, *quiet);
}

TEST(Extensions, RecaptureAndPawnEnding) {
  // Knights are traded on e4: a recapture that restores the root balance.
  for (int withRooks = 0; withRooks < 2; ++withRooks) {
    ASSERT_TRUE(load_test_position(pos, withRooks ? "r3k3/8/8/3p4/4n3/8/5N2/R3K3 w - - 0 1"
                                                  : "4k3/8/8/3p4/4n3/8/5N2/4K3 w - - 0 1"));
    Search.extensionLimit = 40;
    ASSERT_TRUE(Search.pawnEndingExtOn);
    PlyState* a = play_text_move(pos, pos.plies[0], "f2e4");
    PlyState* b = play_text_move(pos, *a, "d5e4");
    ASSERT_NE(b, nullptr);
    b->hanging = 0;
    // The last pieces gone: a pawn ending needs the extra plies; with rooks left, one ply.
    EXPECT_EQ(ExtensionFor(pos, *b, 5, Low, 0), withRooks ? 1 : 3);
    // Inside a null-move search nothing is extended for recaptures.
    pos.nullDepth = 1;
    EXPECT_EQ(ExtensionFor(pos, *b, 5, Low, 0), 0);
    pos.nullDepth = 0;
    unmake_move(pos, *b);
    unmake_move(pos, *a);
  }
}

TEST(Extensions, PawnToTheSeventh) {
  ASSERT_TRUE(load_test_position(pos, "4k3/8/1P6/8/8/8/8/4K3 w - - 0 1"));
  Search.extensionLimit = 40;
  PlyState* n = play_text_move(pos, pos.plies[0], "b6b7");
  n->hanging = 0;
  EXPECT_EQ(ExtensionFor(pos, *n, 5, Low, 0), 1);
  // A quick score far below alpha gets nothing.
  EXPECT_EQ(ExtensionFor(pos, *n, 5, 20000, 0), 0);
  unmake_move(pos, *n);
  // A black rook behind the pawn outnumbers its support: no extension.
  ASSERT_TRUE(load_test_position(pos, "4k3/8/1P6/8/8/8/1r6/4K3 w - - 0 1"));
  Search.extensionLimit = 40;
  n = play_text_move(pos, pos.plies[0], "b6b7");
  n->hanging = 0;
  EXPECT_EQ(ExtensionFor(pos, *n, 5, Low, 0), 0);
  unmake_move(pos, *n);
}

TEST(Quiescence, MateAndStandPatShortcut) {
  ASSERT_TRUE(load_test_position(pos, "6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1"));
  PlyState* mated = play_text_move(pos, pos.plies[0], "a1a8");
  ASSERT_NE(mated, nullptr);
  EXPECT_EQ(QuiescenceNode(pos, *mated, Low, MateScore, 0), 1 - MateScore);
  unmake_move(pos, *mated);

  // White, a queen behind, at ply 1 (where the evaluation is never lazy).
  ASSERT_TRUE(load_test_position(pos, "r2q4/4k3/8/8/8/8/8/4K2R b - - 0 1"));
  PlyState* n = play_text_move(pos, pos.plies[0], "e7e6");
  ASSERT_NE(n, nullptr);
  const int32_t standPat = Evaluate(pos, *n, Low, MateScore, 0);
  EXPECT_EQ(QuiescenceNode(pos, *n, standPat + 1156, standPat + 1157, 0), standPat + 1156);
  EXPECT_EQ(n->generated, 0) << "nothing generated below the margin";
  const int32_t v = QuiescenceNode(pos, *n, standPat + 1154, standPat + 1155, 0);
  EXPECT_LE(v, standPat + 1154);
  EXPECT_NE(n->generated, 0) << "just inside the margin the captures are looked at";
  unmake_move(pos, *n);
}

TEST(Killers, ReplacementKeepsTheMoreUsefulKiller) {
  Killers k{};
  record_killer(k, 11);  // a tie of zero counts: the second slot takes it
  EXPECT_EQ(k.move[1], 11u);
  EXPECT_EQ(k.count[1], 1);
  record_killer(k, 22);  // the empty first slot has fewer hits
  EXPECT_EQ(k.move[0], 22u);
  record_killer(k, 22);
  record_killer(k, 22);
  EXPECT_EQ(k.count[0], 3);
  record_killer(k, 33);  // replaces 11 (1 hit), not 22 (3 hits)
  EXPECT_EQ(k.move[0], 22u);
  EXPECT_EQ(k.move[1], 33u);
  EXPECT_EQ(k.count[1], 1);
  record_killer(k, 33);
  record_killer(k, 33);
  record_killer(k, 33);  // 33 now has 4 hits, 22 has 3
  record_killer(k, 44);
  EXPECT_EQ(k.move[0], 44u);
  EXPECT_EQ(k.move[1], 33u);
}

}  // namespace
