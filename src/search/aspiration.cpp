#include "search/aspiration.h"

#include "core/options.h"
#include "search/easy_move.h"
#include "search/report.h"
#include "search/root_moves.h"
#include "search/timeman.h"

namespace {

constexpr int32_t AspirationHalfWidth = 25;

void recompute_hard_limit(int depth, int32_t newScore, int32_t previousScore) {
  if (depth > 2) UpdateHardLimit(newScore - previousScore);
}

}  // namespace

// A fail low or high widens the window by 50 first, then opens it on that side; each fail
// earns the main thread extra time.
bool search_first_move(Position& pos, Iteration& it) {
  RootSearchState& rs = root_state(pos);
  const bool main = on_main(pos);
  const int d = it.depth;
  const int32_t s = it.previous;
  int32_t alpha = (s > -29000 && s <= 29000) ? s - AspirationHalfWidth : -FullWindow;
  int32_t beta = (s >= -29000 && s < 29000) ? s + AspirationHalfWidth : FullWindow;
  const Move m = rs.moves[0].move;
  const uint64_t before = pos.nodes;
  if (main) {
    RootSearch.firstMoveSearching = true;
    if (d >= 8) send_currmove(m, 1);
    if (d >= 8) send_depth(pos, d);
  }

  int32_t v = search_root_move(pos, m, alpha, beta, d - 1);
  if (stopped()) return rs.firstMoveSearching = false, false;
  int bound = ReportExact;
  if (v <= alpha) {
    if (main) {
      Search.stable = false;
      AddExtraTime(elapsed_ms());
      it.failState = 1;
      recompute_hard_limit(d, v, it.previous);
      report_root_line(pos, m, d, v, ReportUpper);
    }
    const int32_t failed = v;
    v = search_root_move(pos, m, failed - 50, failed, d - 1);
    if (!stopped() && v <= failed - 50) {
      if (main) {
        AddExtraTime(elapsed_ms());
        it.failState = 2;
        if (d >= 3) EasyMove.allowed = false;
        report_root_line(pos, m, d, v, ReportUpper);
      }
      const int32_t again = v;
      v = search_root_move(pos, m, -FullWindow, again, d - 1);
    }
    if (stopped()) return rs.firstMoveSearching = false, false;
  } else if (v >= beta) {
    if (main) {
      AddExtraTime(elapsed_ms() / 2);
      it.failState = 1;
      report_root_line(pos, m, d, v, ReportLower);
    }
    const int32_t failed = v;
    rs.bestMove = m;
    rs.bestScore = failed;
    v = search_root_move(pos, m, failed, failed + 50, d - 1);
    if (!stopped() && v >= failed + 50) {
      if (main) {
        if (d >= 3) EasyMove.allowed = false;
        report_root_line(pos, m, d, v, ReportLower);
      }
      const int32_t again = v;
      v = search_root_move(pos, m, again, FullWindow, d - 1);
      if (v < again) v = again;
    }
    if (stopped()) {
      rs.firstMoveSearching = false;
      return true;  // the fail-high score stands as a lower bound
    }
    if (v < failed) v = failed;
  } else if (v < it.previous && main) {
    const int64_t x = it.previous - v;
    const int64_t add = x * elapsed_ms() / 25;
    AddExtraTime(add);
    if (add > elapsed_ms() / 2) it.failState = 1;
  }
  rs.firstMoveSearching = false;
  rs.bestMove = m;
  rs.bestScore = v;
  account_nodes(rs, 0, before, pos);
  if (!main) return true;
  EasyMove.firstMoveNodes = pos.nodes - before;
  report_root_line(pos, m, d, v, bound);
  if (Options.ShowRefutations && d > 7) send_refutation(pos, m);
  return true;
}

// The remaining root moves with zero windows; a move that beats the best is re-searched.
void search_other_moves(Position& pos, Iteration& it) {
  RootSearchState& rs = root_state(pos);
  const bool main = on_main(pos);
  const int d = it.depth;
  for (int i = 1; i < rs.count && !stopped(); ++i) {
    if (main && Control.SearchState == Thinking && StopBetweenRootMoves(elapsed_ms(), Search.stable)) {
      Control.StopRequested = true;
      break;
    }
    const Move m = rs.moves[i].move;
    if (main && d >= 8) {
      send_nodes();
      send_currmove(m, i + 1);
      send_depth(pos, d);
    }
    const uint64_t before = pos.nodes;
    const int32_t best = rs.bestScore;
    int32_t v = search_root_move(pos, m, best, best + 1, d - 1);
    if (stopped()) break;
    if (v > best) {
      if (main) {
        AddExtraTime(it.failState == 0 ? elapsed_ms() / 2 : elapsed_ms() / 4);
        if (it.failState < 2) ++it.failState;
        if (d >= 3) EasyMove.allowed = false;
        Search.stable = it.previous <= v + 25;
        recompute_hard_limit(d, v, it.previous);
      }
      rs.bestMove = m;
      rs.bestScore = v;
      if (main) report_root_line(pos, m, d, v, ReportLower);
      // Confirm the new best inside a narrow window above its zero-window score; a mated score
      // gets the window up to the draw. Only a result at the window's top needs the full window.
      const int32_t zeroWindow = v;
      const int32_t top = zeroWindow < -29000 ? 0 : zeroWindow + 35;
      int32_t w = search_root_move(pos, m, zeroWindow, top, d - 1);
      if (!stopped() && w >= top) {
        if (main) report_root_line(pos, m, d, w, ReportLower);
        const int32_t again = w;
        w = search_root_move(pos, m, again, FullWindow, d - 1);
        if (w < again) w = again;
      }
      if (!stopped()) {
        rs.bestScore = w > zeroWindow ? w : zeroWindow;
        if (main) report_root_line(pos, m, d, rs.bestScore, ReportExact);
      }
    }
    account_nodes(rs, i, before, pos);
    if (main && Options.ShowRefutations && d > 7 && !stopped()) send_refutation(pos, m);
  }
}
