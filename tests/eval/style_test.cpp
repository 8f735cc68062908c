#include <gtest/gtest.h>

#include "core/options.h"
#include "eval/evaluate.h"
#include "eval/pawns.h"
#include "eval/preparation.h"
#include "eval/style.h"
#include "eval_helpers.h"

namespace {

class StyleTermsTest : public ::testing::Test {
 protected:
  void SetUp() override { reset_eval_environment(); }

  struct Result {
    int32_t pawnSum, materialSum;
    uint8_t alert;
  };
  Result style(const char* fen, uint32_t flags, int engineColour) {
    prepare_fen(p, fen);
    const PawnEntry& pawns = PawnLookup(*p, p.root());
    Result r{0, 0, 0};
    p.root().evalAlert = 0;
    StyleTerms(*p, p.root(), pawns, flags, engineColour, r.pawnSum, r.materialSum);
    r.alert = p.root().evalAlert;
    return r;
  }

  EvalPosition p;
};

// The engine faces the stonewall with Black: White's heavy pieces on the h-file above White's
// h-pawn attack a king without its h-pawn. No black h-pawn and a white pawn on g6: 85, the
// unit is 25 (queen h5 and rook h1, White having no h-pawn), and the queen with the rook adds
// 75 more and the alert with White to move.
TEST_F(StyleTermsTest, HFileAttackAgainstTheStonewallKing) {
  const char* fen = "r5k1/5pp1/4p1P1/7Q/8/8/8/6KR w - - 0 1";
  const Result a = style(fen, StructureStonewall, Black);
  EXPECT_EQ(a.pawnSum, 85 + 25 + 25 + 75);
  EXPECT_EQ(a.alert, 1);
  EXPECT_EQ(a.materialSum, 0);
  // Black to move: the same values, no alert.
  EXPECT_EQ(style("r5k1/5pp1/4p1P1/7Q/8/8/8/6KR b - - 0 1", StructureStonewall, Black).alert, 0);
  // The engine plays White: the term looks at Black's pieces instead, none of which qualify;
  // White keeps no h-pawn either: -50 and the unit alone.
  EXPECT_EQ(style(fen, StructureStonewall, White).pawnSum, -50);
  // The mirror position with the engine playing White gives the negated value and the alert
  // with Black to move.
  const Result m = style("6kr/8/8/8/7q/4P1p1/5PP1/R5K1 b - - 0 1", StructureStonewall, White);
  EXPECT_EQ(m.pawnSum, -(85 + 25 + 25 + 75));
  EXPECT_EQ(m.alert, 1);
  // With Black's h-pawn back the unit is 10 and only pieces above White's h-pawn count.
  const Result h = style("r5k1/5pp1/4p1Pp/7Q/7P/8/8/6KR w - - 0 1", StructureStonewall, Black);
  EXPECT_EQ(h.pawnSum, 10);  // the queen on h5 is above h4, the rook on h1 is not
  EXPECT_EQ(h.alert, 0);
}

TEST_F(StyleTermsTest, MissingQueenSidePawns) {
  const char* noWhiteC = "4k3/ppp5/8/8/8/8/PP6/4K3 w - - 0 1";
  EXPECT_EQ(style(noWhiteC, StructureQueenSideBlack, White).pawnSum, -12);
  // Flag 2 takes precedence: Black's missing pawns are not looked at then.
  EXPECT_EQ(style("4k3/p7/8/8/8/8/PPP5/4K3 w - - 0 1", StructureQueenSideBlack | StructureQueenSideWhite,
                  White)
                .pawnSum,
            0);
  EXPECT_EQ(style("4k3/p7/8/8/8/8/PPP5/4K3 w - - 0 1", StructureQueenSideWhite, White).pawnSum, 12);
  EXPECT_EQ(style("4k3/ppp5/8/8/8/8/PPP5/4K3 w - - 0 1", StructureQueenSideWhite, White).pawnSum, 0);
}

// A rim file without pawns costs the engine's side a minor piece's worth.
TEST_F(StyleTermsTest, PawnlessRimFile) {
  const char* noH = "4k3/ppppppp1/8/8/8/8/PPPPPPP1/4K3 w - - 0 1";
  EXPECT_EQ(style(noH, StructureHFileAttack, White).materialSum, -325);
  EXPECT_EQ(style(noH, StructureHFileAttack, Black).materialSum, 325);
  EXPECT_EQ(style(noH, StructureAFileAttack, White).materialSum, 0);
  const char* noA = "4k3/1ppppppp/8/8/8/8/1PPPPPPP/4K3 w - - 0 1";
  EXPECT_EQ(style(noA, StructureAFileAttack, Black).materialSum, 325);
  // The h-file flag decides alone when it is set.
  EXPECT_EQ(style(noA, StructureHFileAttack | StructureAFileAttack, Black).materialSum, 0);
}

}  // namespace
