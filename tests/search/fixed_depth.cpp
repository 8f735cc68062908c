#include "fixed_depth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/setup.h"
#include "board/tables.h"
#include "core/options.h"
#include "eval/eval_cache.h"
#include "eval/evaluate.h"
#include "eval/preparation.h"
#include "eval/thread_tables.h"
#include "search/control.h"
#include "search/params.h"
#include "search/search.h"
#include "search/transposition.h"

void prepare_test_search(Position& pos, int tableKB) {
  reset_search_params();
  Search.nextPoll = UINT64_MAX;  // no clock, no input
  Control.StopRequested = false;
  if (TransTable.entries == 0 || TransTable.kilobytes != tableKB) allocate_transposition_table(tableKB);
  clear_transposition_table();
  if (eval_cache_entries() == 0) resize_eval_cache(256);
  clear_eval_cache();
  advance_table_generation();
  pos.nodes = 0;
  pos.nullDepth = pos.refutationDepth = pos.singularDepth = pos.multiCutDepth = 0;
  std::memset(pos.killers, 0, sizeof pos.killers);
  clear_history(pos);

  // What the root driver does before the first iteration.
  PlyState& root = pos.plies[0];
  allocate_thread_eval_tables(pos);
  clear_material_table(pos);
  clear_pawn_hash(pos);
  prepare_root_evaluation(pos, root);
  root_score(pos, root);
  set_contempt(root.side);
  reset_eval_bounds();
  Evaluate(pos, root, -MateScore, MateScore, 0);
  widen_eval_bounds();
  load_search_settings(root);
  set_table_signature(RootEval.evalSerial);
  set_iteration_depth(1);
}

void reset_test_position(Position& pos) {
  static bool tablesBuilt = false;
  if (!tablesBuilt) {
    build_startup_tables();
    reset_options();
    tablesBuilt = true;
  }
  free_thread_eval_tables(pos);
  init_position(pos, 0);
}

bool load_test_position(Position& pos, const char* fen) {
  reset_test_position(pos);
  if (!set_position_from_fen(pos, fen)) return false;
  prepare_test_search(pos);
  return true;
}

int legal_moves(Position& pos, PlyState& node, Move* out) {
  node.hashMove = node.hashMove2Tried = NoMove;
  reset_ply_lists(node);
  generate_moves(pos, node, GenAll, 1);
  int n = 0;
  for (MoveEntry* lists[2] = {node.captureBegin, node.quietBegin}; MoveEntry* e : lists) {
    for (; e->score != SentinelScore; ++e) {
      node.move = e->move;
      PlyState* child = make_move(pos, node);
      if (child == nullptr) continue;
      unmake_move(pos, *child);
      out[n++] = e->move;
    }
  }
  return n;
}

PlyState* play_text_move(Position& pos, PlyState& node, const char* text) {
  Move moves[256];
  const int n = legal_moves(pos, node, moves);
  for (int i = 0; i < n; ++i) {
    char buf[6];
    move_text(moves[i], buf);
    if (std::strcmp(buf, text) != 0) continue;
    node.move = moves[i];
    return make_move(pos, node);
  }
  ADD_FAILURE() << "no legal move " << text;
  return nullptr;
}

bool forces_mate(Position& pos, PlyState& node, int moves) {
  Move mine[256];
  const int count = legal_moves(pos, node, mine);
  for (int i = 0; i < count; ++i) {
    node.move = mine[i];
    PlyState* reply = make_move(pos, node);
    Move theirs[256];
    const int replies = legal_moves(pos, *reply, theirs);
    bool mates = replies == 0 && (reply->flags & InCheckFlag);
    if (!mates && replies > 0 && moves > 1) {
      mates = true;
      for (int j = 0; j < replies && mates; ++j) {
        reply->move = theirs[j];
        PlyState* next = make_move(pos, *reply);
        mates = forces_mate(pos, *next, moves - 1);
        unmake_move(pos, *next);
      }
    }
    unmake_move(pos, *reply);
    if (mates) return true;
  }
  return false;
}

FixedDepthResult search_fixed_depth(Position& pos, int depth) {
  PlyState& root = pos.plies[0];
  Move moves[256];
  const int count = legal_moves(pos, root, moves);
  FixedDepthResult result{NoMove, 0, 0};
  if (count == 0) {
    result.score = (root.flags & InCheckFlag) ? -MateScore : 0;
    return result;
  }
  const uint64_t startNodes = pos.nodes;
  for (int d = 1; d <= depth; ++d) {
    set_iteration_depth(d);
    int32_t alpha = -MateScore, beta = MateScore;
    int32_t best = -MateScore - 1;
    Move bestMove = NoMove;
    for (int i = 0; i < count; ++i) {
      root.move = moves[i];
      PlyState* child = make_move(pos, root);
      int32_t v;
      if (i == 0) {
        v = -SearchNode(pos, *child, -beta, -alpha, d - 1, 1, 0);
      } else {
        v = -SearchNode(pos, *child, -alpha - 1, -alpha, d - 1, 1, 0);
        if (v > alpha) v = -SearchNode(pos, *child, -beta, -alpha, d - 1, 1, 0);
      }
      unmake_move(pos, *child);
      if (v > best) {
        best = v;
        bestMove = moves[i];
        alpha = std::max(alpha, v);
      }
    }
    // The best move leads the next iteration.
    std::rotate(moves, std::find(moves, moves + count, bestMove), std::find(moves, moves + count, bestMove) + 1);
    store_root_entry(root, best, d, bestMove);
    result.best = bestMove;
    result.score = best;
  }
  result.nodes = pos.nodes - startNodes;
  return result;
}
