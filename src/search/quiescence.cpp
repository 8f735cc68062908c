#include <algorithm>
#include <cstdlib>

#include "board/makemove.h"
#include "board/tables.h"
#include "eval/evaluate.h"
#include "search/ablation.h"
#include "search/picker.h"
#include "search/prefetch.h"
#include "search/repetition.h"
#include "search/rule_oracle.h"
#include "search/search.h"
#include "search/stats.h"
#include "search/transposition.h"

namespace {

// Below this margin under alpha not even a won queen would lift the stand-pat score.
constexpr int32_t StandPatMargin = 1155;

bool adjacent(Square a, Square b) {
  return std::abs(file_of(a) - file_of(b)) <= 1 && std::abs(rank_of(a) - rank_of(b)) <= 1;
}

// A quiet checking move is worth searching when its landing square is safe, or when only the
// enemy king guards it and our own men will cover it after the move.
bool quiet_check_worth_searching(const Position& pos, const PlyState& node, Move m) {
  const int side = node.side;
  const Square to = move_to(m);
  const Square from = move_from(m);
  const AttackEntry& enemy = pos.attacks[side ^ 1][to];
  if (enemy.count == 0) return true;
  if (enemy.count >= 2) return false;
  const Square guard = enemy.squares[0];
  if (!is_king(pos.board[guard]) || !adjacent(guard, to)) return false;
  const AttackEntry& own = pos.attacks[side][to];
  if (own.count >= 2) return true;
  if (is_knight(move_piece(m))) return false;
  // A slider of ours behind the moving man on the same line will see the landing square.
  const int32_t step = Direction[to][from];
  if (step == 0) return false;
  const AttackEntry& behind = pos.attacks[side][from];
  for (int i = 0; i < behind.count; ++i) {
    const Square s = behind.squares[i];
    if (is_slider(pos.board[s]) && Direction[from][s] == step) return true;
  }
  return false;
}

}  // namespace

int32_t QuiescenceNode(Position& pos, PlyState& node, int32_t alpha, int32_t beta, int32_t depth) {
  pos.nodes += 1;
  stats_of(pos).moveLoopNodes += stats_of(pos).open == Subtree::None;
  ++stats_of(pos).quiescenceNodes;
  node.bestMove = NoMove;
  node.hashMove = NoMove;
  const bool inCheck = in_check(node);
  const int ply = node.ply;

  if (depth < 0 && is_repetition(pos, node, 1)) return repetition_score(pos, node);

  TTEntry entry;
  if (probe_slot(node, primary_slot(node), entry)) {
    ++stats_of(pos).quiescenceTableHits;
    const Move m = entry.best_move();
    if (inCheck || is_capture_or_promotion(m)) node.hashMove = m;
    if (entry_is_current(entry)) {
      const int32_t s = entry.score_at(ply);
      if (entry.lower()) {
        if (s >= beta) {
          node.bestMove = m;
          return s;
        }
        alpha = std::max(alpha, s);
      } else if (entry.upper()) {
        if (s <= alpha) return s;
        beta = std::min(beta, s);
      } else {
        return s;
      }
    }
  }

  int32_t best;
  if (inCheck) {
    best = ply - MateScore;
  } else {
    best = Evaluate(pos, node, alpha, beta, depth);
    if (best + StandPatMargin < alpha && rule_on(SearchRule::StandPatCut)) {
      VERIFY_HOOK(check_stand_pat(pos, node, alpha, beta, depth));
      return alpha;
    }
  }
  if (ply >= MaxPly - 1) return alpha;
  if (best >= beta) return best;
  const int32_t standPat = best;

  const bool deltaPruning = !inCheck && node.material[node.side] > 0;
  int32_t a = std::max(alpha, best);
  reset_picker(node);
  while (const Move m = QuiescencePick(pos, node, depth)) {
    if (deltaPruning) {
      if (is_capture_or_promotion(m)) {
        const int32_t gain = ExchangeValue[move_captured(m)] + standPat +
                             (move_promotion(m) ? ExchangeValue[move_promotion(m)] : 100);
        if (gain < a && rule_on(SearchRule::DeltaPruning) && !gives_direct_check(pos, m)) {
          VERIFY_HOOK(check_skipped_move(pos, node, m, standPat == FastScore(node) ? CheckedRule::DeltaOnQuickScore : CheckedRule::DeltaPruning, a, depth - 1, 0));
          if (gain > best) {
            best = gain;
            node.bestMove = m;
          }
          continue;
        }
      } else if (!quiet_check_worth_searching(pos, node, m) && rule_on(SearchRule::CheckFilter)) {
        VERIFY_HOOK(check_skipped_move(pos, node, m, CheckedRule::CheckFilter, a, depth - 1, 0));
        continue;
      }
    }
    node.move = m;
    PlyState* child = make_move_prefetched(pos, node);
    if (child == nullptr) continue;
    const int32_t v = -QuiescenceNode(pos, *child, -beta, -a, depth - 1);
    unmake_move(pos, *child);
    if (v > best) {
      best = v;
      node.bestMove = m;
      if (v >= beta) break;
      a = std::max(a, v);
    }
  }

  if (node.bestMove == NoMove) return best;
  // The bounds are the window the moves were searched with, after the table narrowed it: a
  // result at or below a table-raised alpha only says "no better than this", not "exactly this".
  StoreRequest req{best <= alpha ? BoundUpper : best >= beta ? BoundLower : BoundExact,
                   best, depth, node.bestMove, NoMove, false, false};
  store_quiescence_entry(node, req);
  return best;
}
