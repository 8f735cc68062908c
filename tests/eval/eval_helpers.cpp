#include "eval_helpers.h"

#include <gtest/gtest.h>

#include <cstring>

#include "board/setup.h"
#include "core/options.h"
#include "eval/eval_cache.h"
#include "eval/eval_oracle.h"
#include "eval/evaluate.h"
#include "eval/preparation.h"
#include "eval/square_names.h"
#include "eval/thread_tables.h"
#include "support/positions.h"

EvalPosition::EvalPosition() : pos(new_position()) {
  EXPECT_TRUE(allocate_thread_eval_tables(*pos));
}

EvalPosition::~EvalPosition() { free_thread_eval_tables(*pos); }

void reset_eval_environment() {
  ensure_tables();
  reset_options();
  ASSERT_TRUE(resize_eval_cache(256));
  clear_eval_cache();
  EvalState.contempt[0] = EvalState.contempt[1] = 0;
  reset_eval_bounds();
}

namespace {
void prepare_root(EvalPosition& p) {
  clear_material_table(*p);
  clear_pawn_hash(*p);
  prepare_root_evaluation(*p, p.root());
  root_score(*p, p.root());
}
}  // namespace

void prepare_fen(EvalPosition& p, const char* fen) {
  set_fen(*p, fen);
  prepare_root(p);
}

void prepare_copy(EvalPosition& p, const Position& src, const PlyState& ply, bool mirrored) {
  uint8_t board[SquareCount];
  GameState state;
  board_of(src, ply, mirrored, board, state);
  load_board(*p, board);
  setup_root_ply(*p, state);
  prepare_root(p);
}

int32_t evaluate_root(EvalPosition& p) {
  reset_eval_bounds();
  return Evaluate(*p, p.root(), -30000, 30000, 0);
}

bool signature_is_exact(const Position& pos) {
  int count[16] = {0};
  int bishopsOn[2][2] = {{0, 0}, {0, 0}};
  for (Square s = 1; s <= 64; ++s) {
    const int piece = pos.board[s];
    if (piece == Empty) continue;
    ++count[piece];
    if (piece_type(piece) == 5) ++bishopsOn[colour_of(piece)][is_dark_square(s) ? 1 : 0];
  }
  for (int c = 0; c < 2; ++c) {
    if (bishopsOn[c][0] > 3 || bishopsOn[c][1] > 3) return false;
    for (int type : {3, 6, 7})
      if (count[with_colour(type, c)] > 3) return false;
  }
  return true;
}
