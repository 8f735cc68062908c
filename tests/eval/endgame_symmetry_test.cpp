// Colour symmetry of the endgame terms: a position and its colour-flipped mirror (board upside
// down, colours and side to move exchanged) must get the same score for the side to move, both
// as a prepared root and deep in a line that started from a root with more material.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <vector>

#include "board/makemove.h"
#include "eval/evaluate.h"
#include "eval/square_names.h"
#include "eval_helpers.h"
#include "support/positions.h"

namespace {

class EndgameSymmetry : public ::testing::Test {
 protected:
  void SetUp() override { reset_eval_environment(); }
};

// Endings that the recognisers and terms decide, with winning and drawn set-ups of each.
const std::vector<const char*> EndingFens = {
    "2k5/2P5/4K3/8/8/8/8/8 w - - 0 1",
    "8/1k6/8/8/P3K3/8/8/8 w - - 0 1",
    "8/4k3/8/4K3/4P3/8/8/8 b - - 0 1",
    "8/8/8/3nb3/8/2k5/8/K7 w - - 0 1",
    "8/8/8/3bn3/8/5k2/8/7K b - - 0 1",
    "k7/8/8/8/8/8/8/2n1K1nn w - - 0 1",
    "k7/8/8/8/8/8/b7/4K2R w - - 0 1",
    "7K/8/8/8/8/3Q4/2p5/k7 w - - 0 1",
    "8/8/8/8/8/3QK3/2p5/k7 b - - 0 1",
    "8/8/7K/8/4Q3/8/2p5/2k5 b - - 0 1",
    "8/8/8/Q5K1/8/8/5p2/7k w - - 0 1",
    "8/8/4k3/8/4P3/8/3B4/4K2n w - - 0 1",
    "8/8/4k3/8/4P3/8/2B5/4K2b b - - 0 1",
    "k7/8/8/8/4P3/8/2B5/4K2n w - - 0 1",
    "8/8/4k3/8/4P3/8/r7/4K2R w - - 0 1",
    "8/r5k1/8/8/6P1/8/8/4K2R b - - 0 1",
    "8/8/4k3/8/4P3/8/q7/4K2Q w - - 0 1",
    "8/8/3k4/8/4P3/8/nn6/4K1NN b - - 0 1",
    "7k/1ppp1p2/8/7P/7P/3B4/8/4K3 w - - 0 1",
    "8/8/5k2/7P/8/8/B7/4K3 b - - 0 1",
    "8/8/8/8/8/2k5/B6P/4K3 b - - 0 1",
    "1k6/8/8/8/P7/P7/8/4K3 w - - 0 1",
    "3k4/8/8/8/P7/P7/8/4K3 b - - 0 1",
    "8/P7/1P6/8/8/5k2/8/n3K3 w - - 0 1",
    "8/6k1/8/5P1P/8/8/r7/4K2R w - - 0 1",
    "6r1/8/4k3/8/6PP/8/8/R3K3 b - - 0 1",
    "r7/8/8/6Pk/7P/8/8/R3K3 w - - 0 1",
    "8/8/3k4/3p4/3P4/8/8/7K w - - 0 1",
    "8/5k2/1p2p1p1/pP1pPpPp/P2P1P1P/8/3K4/8 w - - 0 1",
    "8/2k5/p1p1p3/PpPpPp1p/1P1P1PpP/6P1/4K3/8 b - - 0 1",
    "3k4/8/8/1p1p1p1p/1P1P1P1P/8/3K4/8 w - - 0 1",
    "3k4/8/8/1p1p1p1p/1P1P1P1P/8/3K4/8 b - - 0 1",
};

// Positions to play random lines from: endings, and middlegames whose captures turn them into
// endings below the root.
const std::vector<const char*> StartFens = {
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "4k3/8/3b4/7p/7p/8/8/7K b - - 0 1",
    "8/5pk1/6p1/8/8/6P1/5PK1/8 w - - 0 1",
    "8/8/4k3/3n4/4P3/8/3B4/4K3 w - - 0 1",
    "2r3k1/5ppp/8/8/8/8/5PPP/2R3K1 b - - 0 1",
    "8/3k4/8/2q5/8/8/2P5/3K1Q2 w - - 0 1",
    "r4rk1/pp3ppp/2n5/3p4/3P4/2N5/PP3PPP/R4RK1 w - - 0 1",
    "3r2k1/pp3ppp/2n1b3/8/8/2N1B3/PP3PPP/3R2K1 w - - 0 1",
};

Square mirrored(Square s) { return flip_square(s); }

// The move of the mirrored position that mirrors `m`.
Move mirror_move(Position& pos, PlyState& ply, Move m) {
  for (Move candidate : legal_moves(pos, ply))
    if (move_from(candidate) == mirrored(move_from(m)) && move_to(candidate) == mirrored(move_to(m)) &&
        piece_type(move_promotion(candidate)) == piece_type(move_promotion(m)))
      return candidate;
  return NoMove;
}

TEST_F(EndgameSymmetry, PreparedEndingsScoreTheSameMirrored) {
  EvalPosition original, mirror;
  for (const char* fen : EndingFens) {
    prepare_fen(original, fen);
    const int32_t a = evaluate_root(original);
    prepare_copy(mirror, *original, original.root(), true);
    EXPECT_EQ(evaluate_root(mirror), a) << fen;
  }
}

// Lines played from a prepared root: the evaluation deep in the line uses the root's tables and
// the ending indicator of the captures made since, exactly as in a search. The root tables are
// process-wide, so the original line is played and scored first, then its mirror.
TEST_F(EndgameSymmetry, EndingsReachedBelowTheRootScoreTheSameMirrored) {
  std::mt19937 rng(7);
  EvalPosition original, mirror;
  int compared = 0;
  for (const char* fen : StartFens) {
    for (int run = 0; run < 25; ++run) {
      prepare_fen(original, fen);
      std::vector<Move> line;
      std::vector<int32_t> scores;
      std::vector<bool> exact;
      PlyState* a = &original->plies[0];
      const int plies = 1 + int(rng() % 60);
      for (int i = 0; i < plies && a->ply < MaxPly - 2; ++i) {
        const std::vector<Move> moves = legal_moves(*original, *a);
        if (moves.empty()) break;
        a->move = moves[rng() % moves.size()];
        line.push_back(a->move);
        a = make_move(*original, *a);
        reset_eval_bounds();
        scores.push_back(Evaluate(*original, *a, -30000, 30000, 0));
        exact.push_back(signature_is_exact(*original));
      }
      take_back_all(*original, a);

      prepare_copy(mirror, *original, original.root(), true);
      PlyState* b = &mirror->plies[0];
      for (size_t i = 0; i < line.size(); ++i) {
        b->move = mirror_move(*mirror, *b, line[i]);
        ASSERT_NE(b->move, NoMove) << fen;
        b = make_move(*mirror, *b);
        reset_eval_bounds();
        const int32_t score = Evaluate(*mirror, *b, -30000, 30000, 0);
        if (!exact[i]) continue;
        EXPECT_EQ(score, scores[i]) << fen << " after " << i + 1 << " plies";
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 1000);
}

}  // namespace
