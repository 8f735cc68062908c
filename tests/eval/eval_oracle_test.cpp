// The evaluation's slow twins against the fast code on positions from random games, and the
// cases where they disagreed: the material signature with two bishops on one square colour,
// the rook's queen term with two queens, and evaluation-cache entries shared by positions that
// differ only in castling rights.
#include <gtest/gtest.h>

#include <initializer_list>
#include <random>

#include "board/makemove.h"
#include "core/options.h"
#include "eval/eval_cache.h"
#include "eval/eval_oracle.h"
#include "eval/evaluate.h"
#include "eval/material.h"
#include "eval/pawns.h"
#include "eval/preparation.h"
#include "eval/square_control.h"
#include "eval_helpers.h"
#include "support/positions.h"

namespace {

class EvalOracleTest : public ::testing::Test {
 protected:
  void SetUp() override { reset_eval_environment(); }
};

// Positions whose men the old signature could not count: two bishops on one square colour
// (after an under-promotion), for either side.
const char* const SameColourBishops[] = {
    // The bench's middlegame with both white bishops on light squares (e2, f1).
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP2BPPP/R2QKB1R w KQ - 0 8",
    // White: bishops c1 and e3, both dark.
    "r2qk2r/ppp2ppp/2n2n2/3p4/3P4/2N1B3/PPP2PPP/R1B1K2R w KQkq - 0 1",
    // Black: bishops c8 and e6, both light.
    "r1b1k2r/ppp2ppp/2n1bn2/3p4/3P4/2N2N2/PPP2PPP/R1BQK2R b KQkq - 0 1",
    // Bishops alone: two dark against one light, and the same with the colours swapped.
    "8/8/3k4/8/8/2B1B3/8/4K2b w - - 0 1",
    "8/8/3k4/8/8/3B1B2/8/4K1b1 b - - 0 1",
};

// Every evaluation input that has a slow twin, on positions from random games.
TEST_F(EvalOracleTest, TwinsAgreeWithTheFastInputsOnRandomGames) {
  std::mt19937 rng(27);
  EvalPosition p;
  int positions = 0;
  for (const char* fen : TestFens) {
    for (int game = 0; game < 4; ++game) {
      set_fen(*p, fen);
      PlyState* ply = play_random_moves(*p, rng, 10 + int(rng() % 80));
      prepare_copy(p, *p, *ply, false);
      const PlyState& root = p.root();
      ++positions;

      MaterialEntry slow;
      material_entry_from_board(*p, slow);
      const MaterialEntry& fast = MaterialLookup(*p, root);
      EXPECT_EQ(fast.key, slow.key) << fen;
      EXPECT_EQ(fast.score, slow.score) << fen;
      EXPECT_EQ(fast.scale, slow.scale) << fen;
      EXPECT_EQ(fast.flags, slow.flags) << fen;

      const PawnEntry& pawns = PawnLookup(*p, root);
      PawnEntry fresh;
      ComputePawnEntry(*p, root, fresh);
      const char* field = pawn_entry_difference(pawns, fresh);
      EXPECT_EQ(field, nullptr) << fen << " " << (field ? field : "");

      for (int colour = 0; colour < 2; ++colour)
        for (Square s = 1; s <= 64; ++s) {
          uint8_t squares[16];
          int sliders = 0;
          const int count = attackers_from_board(*p, colour, s, squares, sliders);
          ASSERT_EQ(p->attacks[colour][s].count, count) << fen << " square " << s;
          EXPECT_EQ(p->attacks[colour][s].sliders, sliders) << fen << " square " << s;
        }

      // One side's bishops, valued by the evaluation (through its cache) and walked on the board.
      for (int colour = 0; colour < 2; ++colour) {
        int32_t walked = 0;
        for (Square s = 1; s <= 64; ++s)
          if (p->board[s] == with_colour(5, colour)) walked += bishop_mobility_from_board(*p, s);
        EXPECT_EQ(BishopMobility(*p, root, pawns, colour), walked) << fen;
        EXPECT_EQ(BishopMobility(*p, root, pawns, colour), walked) << fen << " (from the cache)";
      }
    }
  }
  EXPECT_GT(positions, 40);
}

// Plays coordinate moves from `ply`; returns the ply reached (a failure when a move is illegal).
PlyState* play_moves(Position& pos, PlyState* ply, std::initializer_list<const char*> moves) {
  for (const char* text : moves) {
    const Square from = square_at(text[0] - 'a' + 1, text[1] - '0');
    const Square to = square_at(text[2] - 'a' + 1, text[3] - '0');
    Move chosen = NoMove;
    for (Move m : legal_moves(pos, *ply))
      if (move_from(m) == from && move_to(m) == to) chosen = m;
    EXPECT_NE(chosen, NoMove) << text;
    if (!chosen) return ply;
    ply->move = chosen;
    ply = make_move(pos, *ply);
  }
  return ply;
}

// Evaluate's number for the window recomputed without any cache or table.
int32_t recomputed(Position& pos, PlyState& ply, int32_t alpha, int32_t beta) {
  bool isDraw = false, alert = false;
  const int32_t fast = FastScore(ply);
  const int32_t positional = RecomputePositional(pos, ply, fast, alpha, beta, isDraw, alert);
  return isDraw ? 0 : fast + positional;
}

// The material entry of men the old signature miscounted, against the men on the board.
TEST_F(EvalOracleTest, MaterialEntryCountsTwoBishopsOfOneSquareColour) {
  EvalPosition p;
  for (const char* fen : SameColourBishops) {
    prepare_fen(p, fen);
    MaterialEntry slow;
    material_entry_from_board(*p, slow);
    const MaterialEntry& fast = MaterialLookup(*p, p.root());
    EXPECT_EQ(fast.score, slow.score) << fen;
    EXPECT_EQ(fast.scale, slow.scale) << fen;
    EXPECT_EQ(fast.flags, slow.flags) << fen;
    const MaterialCounts white = material_counts(p.root().signature[White], 0, 0);
    const MaterialCounts black = material_counts(p.root().signature[Black], 0, 0);
    EXPECT_EQ(white.lightBishops + white.darkBishops, p->pieceCount[WhiteBishop]) << fen;
    EXPECT_EQ(black.lightBishops + black.darkBishops, p->pieceCount[BlackBishop]) << fen;
    EXPECT_EQ(white.rooks, p->pieceCount[WhiteRook]) << fen;
    EXPECT_EQ(black.rooks, p->pieceCount[BlackRook]) << fen;
  }
}

// Rare material: the colour mirror gives the same total and mirrored terms.
TEST_F(EvalOracleTest, RareMaterialMirrors) {
  const char* const fens[] = {
      SameColourBishops[0], SameColourBishops[1], SameColourBishops[2], SameColourBishops[3],
      SameColourBishops[4],
      // Two white queens on different ranks and wings, a rook on the open a-file and the
      // black king on the queen's wing: which queen joins the rook must not depend on the
      // order of the piece list (the mirror lists the queens the other way round).
      "1k1q1b1r/1pp2ppp/2n1pn2/1Q6/8/5NP1/5P1Q/R1B2RK1 w - - 0 1",
      "1k1q1b1r/1pp2ppp/2n1pn2/7Q/8/5NP1/1Q3P2/R1B2RK1 b - - 0 1",
  };
  EvalPosition source, a, b;
  for (const char* fen : fens) {
    set_fen(*source, fen);
    char what[160];
    EXPECT_TRUE(mirror_evaluations_agree(*source, source.root(), *a, *b, what, sizeof what)) << fen << ": " << what;
  }
}

// Positions from random games, and positions near them, mirror.
TEST_F(EvalOracleTest, RandomGamePositionsMirror) {
  std::mt19937 rng(28);
  EvalPosition game, a, b;
  int checked = 0;
  for (const char* fen : TestFens) {
    set_fen(*game, fen);
    PlyState* ply = &game->plies[0];
    for (int i = 0; i < 60 && ply->ply < MaxPly - 2; ++i) {
      char what[160], where[100];
      position_fen(*game, *ply, where, sizeof where);
      EXPECT_TRUE(mirror_evaluations_agree(*game, *ply, *a, *b, what, sizeof what)) << where << ": " << what;
      ++checked;
      const std::vector<Move> moves = legal_moves(*game, *ply);
      if (moves.empty()) break;
      ply->move = moves[rng() % moves.size()];
      ply = make_move(*game, *ply);
    }
    take_back_all(*game, ply);
  }
  EXPECT_GT(checked, 300);
}

// The position key leaves out the castling rights, but king safety reads them (two rooks and no
// right to castle). A cached evaluation must not answer for the same board with other rights.
TEST_F(EvalOracleTest, CacheDoesNotAnswerForOtherCastlingRights) {
  EvalPosition p;
  prepare_fen(p, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q2/PPPBBPpP/R3K2R b KQkq - 0 1");
  // ...Rb8 Kd1 Ra8 Ke1: the same board, White without castling rights, Black with the short one.
  PlyState* ply = play_moves(*p, &p->plies[0], {"a8b8", "e1d1", "b8a8", "d1e1"});
  ASSERT_EQ(ply->ply, 4);
  PlyState& root = p.root();
  ASSERT_EQ(ply->lockKey, root.lockKey);
  ASSERT_NE(ply->flags & CastleMask, root.flags & CastleMask);
  reset_eval_bounds();
  clear_eval_cache();
  const int32_t window = 29000;  // not the full window: the cache is read
  Evaluate(*p, *ply, -window, window, 0);
  const int32_t cached = Evaluate(*p, root, -window, window, 0);
  EXPECT_EQ(cached, recomputed(*p, root, -window, window));
  take_back_all(*p, ply);
}

// A side that is behind and has checked at each of its last five turns has its score damped
// toward a draw. The same board reached without the checks must not lend it its cached value,
// nor take the damped one.
TEST_F(EvalOracleTest, CacheKeepsNoPerpetualCheckDamping) {
  EvalPosition p;
  prepare_fen(p, "6k1/5pp1/7p/5Q2/8/q7/1r6/6K1 w - - 0 1");
  PlyState* early = play_moves(*p, &p->plies[0], {"f5c8", "g8h7"});
  PlyState* late = play_moves(*p, early, {"c8f5", "h7g8", "f5c8", "g8h7", "c8f5", "h7g8", "f5c8", "g8h7"});
  ASSERT_EQ(late->ply, 10);
  ASSERT_EQ(early->lockKey, late->lockKey);
  const int32_t window = 29000;
  for (int order = 0; order < 2; ++order) {
    clear_eval_cache();
    reset_eval_bounds();
    PlyState* first = order == 0 ? early : late;
    PlyState* second = order == 0 ? late : early;
    Evaluate(*p, *first, -window, window, 0);
    EXPECT_EQ(Evaluate(*p, *second, -window, window, 0), recomputed(*p, *second, -window, window))
        << (order == 0 ? "checking line after the quiet one" : "quiet line after the checking one");
  }
  EXPECT_NE(recomputed(*p, *early, -window, window), recomputed(*p, *late, -window, window));
  take_back_all(*p, late);
}

// The captures since the root decide whether a position is valued as an ending, and the same
// board can be reached by other captures (a promoted piece taken instead of the pawn). Each
// way gets its own value.
TEST_F(EvalOracleTest, CacheKeepsTheWaysToAnEndingApart) {
  EvalPosition p;
  prepare_fen(p, "r2q1rk1/pp4pp/2n2p2/3p4/3P1B2/2N2N2/PP3PPP/R2Q1RK1 w - - 0 1");
  PlyState& root = p.root();
  int ending = -1;
  for (int types = 1; types < 256 && ending < 0; ++types)
    if (RootEval.endingIndicator[types] != RootEval.endingIndicator[0]) ending = types;
  ASSERT_GE(ending, 0) << "no captures make this root an ending";
  const int32_t window = 29000;
  for (int order = 0; order < 2; ++order) {
    clear_eval_cache();
    reset_eval_bounds();
    root.capturedTypes = uint8_t(order == 0 ? 0 : ending);
    Evaluate(*p, root, -window, window, 0);
    root.capturedTypes = uint8_t(order == 0 ? ending : 0);
    EXPECT_EQ(Evaluate(*p, root, -window, window, 0), recomputed(*p, root, -window, window)) << order;
  }
  root.capturedTypes = 0;
  const int32_t plain = recomputed(*p, root, -window, window);
  root.capturedTypes = uint8_t(ending);
  EXPECT_NE(recomputed(*p, root, -window, window), plain);
  root.capturedTypes = 0;
}

// A partial entry holds the cheap part only; a hit adds the expensive part and scales nothing,
// so the entry of a scaled ending (opposite-coloured bishops) must not be a partial one.
TEST_F(EvalOracleTest, PartialEntryOfAScaledEnding) {
  EvalPosition p;
  prepare_fen(p, "3rr3/1k5p/1pp2pp1/8/3b4/2P3P1/PPK3BP/R2R4 b - - 0 1");
  const int32_t value = recomputed(*p, p.root(), -30000, 30000);
  const int32_t alpha = value - 50, beta = value + 50;  // a narrow window around the value
  clear_eval_cache();
  reset_eval_bounds();  // no square-control spread learned yet: the expensive part is skipped
  Evaluate(*p, p.root(), alpha, beta, 0);
  EvalState.squareControlMax = 2000;  // now it is computed
  EvalState.squareControlMin = -2000;
  EXPECT_EQ(Evaluate(*p, p.root(), alpha, beta, 0), value);
}

}  // namespace

namespace {

// A game moves on: the position two plies into one search becomes the next search's root. The
// cache entry made at the old root holds a positional part computed with the old root's tables
// and captures counted from the old root's material; the new root must not read it.
TEST_F(EvalOracleTest, CacheDoesNotAnswerAcrossRoots) {
  std::mt19937 rng(29);
  EvalPosition game, root;
  const int32_t window = 29000;  // not the full window: the cache is read
  int compared = 0, differing = 0;
  for (const char* fen : TestFens) {
    for (int run = 0; run < 8; ++run) {
      set_fen(*game, fen);
      PlyState* start = play_random_moves(*game, rng, 4 + int(rng() % 40));
      prepare_copy(root, *game, *start, false);
      take_back_all(*game, start);
      // Two plies into the search of `root`, captures first (they change what counts as an ending).
      PlyState* ply = &root->plies[0];
      for (int i = 0; i < 2; ++i) {
        const std::vector<Move> moves = legal_moves(*root, *ply);
        if (moves.empty()) break;
        Move chosen = moves[rng() % moves.size()];
        for (Move m : moves)
          if (move_captured(m)) chosen = m;
        ply->move = chosen;
        ply = make_move(*root, *ply);
      }
      if (ply->ply != 2) {
        take_back_all(*root, ply);
        continue;
      }
      clear_eval_cache();
      reset_eval_bounds();
      const int32_t storedPositional = Evaluate(*root, *ply, -window, window, 0) - FastScore(*ply);
      // The next search starts from that position.
      EvalPosition next;
      prepare_copy(next, *root, *ply, false);
      take_back_all(*root, ply);
      reset_eval_bounds();
      const int32_t answered = Evaluate(*next, next.root(), -window, window, 0);
      bool isDraw = false, alert = false;
      const int32_t fast = FastScore(next.root());
      const int32_t positional = RecomputePositional(*next, next.root(), fast, -window, window, isDraw, alert);
      const int32_t recomputed = isDraw ? 0 : fast + positional;
      ++compared;
      differing += storedPositional != answered - fast;
      char where[100];
      position_fen(*next, next.root(), where, sizeof where);
      EXPECT_EQ(answered, recomputed) << where;
    }
  }
  EXPECT_GT(compared, 40);
  EXPECT_GT(differing, 0);  // the two roots do value some of these positions differently
}

}  // namespace
