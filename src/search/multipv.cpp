#include "search/multipv.h"

#include "core/options.h"
#include "search/report.h"
#include "search/root_moves.h"
#if TARROW_MP
#include "search/threads.h"
#endif

namespace {

// Orders the root moves as the MultiPV ranking has them.
void order_by_ranking() {
#if TARROW_MP
  SpinGuard guard(OutputLock);
#endif
  for (int rank = 0; rank < Report.slotCount; ++rank)
    for (int i = rank; i < RootSearch.count; ++i)
      if (RootSearch.moves[i].move == Report.slots[rank].move) {
        const RootMove t = RootSearch.moves[rank];
        RootSearch.moves[rank] = RootSearch.moves[i];
        RootSearch.moves[i] = t;
        break;
      }
}

}  // namespace

void search_multipv(Position& pos, int depth) {
  const int d = depth;
  order_by_ranking();
  const int shown = Options.MultiPVCount;
  for (int k = 0; k < RootSearch.count && !stopped(); ++k) {
    const Move m = RootSearch.moves[k].move;
    const uint64_t before = pos.nodes;
    if (d >= 8) {
      send_currmove(m, k + 1);
      send_depth(pos, d);
    }
    int32_t v;
    if (k >= shown) {
      const int32_t floor = Report.slots[shown - 1].score;
      v = search_root_move(pos, m, floor, floor + 1, d - 1);
      if (stopped()) break;
      if (v > floor) {
        report_root_line(pos, m, d, v, ReportLower);
        const int32_t failedHigh = v;
        v = search_root_move(pos, m, failedHigh, FullWindow, d - 1);
        // The searches disagree (the table changed between them, as it does when other
        // threads fill it): the re-search only bounds the score from above, so the move gets
        // its true score from a full window before it is ranked or taken as the best.
        if (!stopped() && v <= failedHigh) v = search_root_move(pos, m, -FullWindow, FullWindow, d - 1);
        if (stopped()) break;
        report_root_line(pos, m, d, v, ReportExact);
        if (v >= RootSearch.bestScore) {
          RootSearch.bestMove = m;
          RootSearch.bestScore = v;
        }
      }
    } else {
      int32_t lineScore = -30000;
      for (int i = 0; i < Report.slotCount; ++i)
        if (Report.slots[i].move == m) lineScore = Report.slots[i].score;
      int32_t alpha, beta;
      if (lineScore > -30000) {
        alpha = lineScore - 50;
        beta = lineScore + 50;
      } else {
        alpha = RootSearch.bestScore - 100;
        beta = RootSearch.bestScore + 100;
      }
      if (k == 0 && d == 1) {
        alpha = -FullWindow;
        beta = FullWindow;
      }
      v = search_root_move(pos, m, alpha, beta, d - 1);
      if (stopped()) break;
      if (v <= alpha) v = search_root_move(pos, m, -FullWindow, v, d - 1);
      else if (v >= beta) v = search_root_move(pos, m, v, FullWindow, d - 1);
      if (stopped()) break;
      report_root_line(pos, m, d, v, ReportExact);
      // Line 1 of the ranking is the thread's best move.
      RootSearch.bestMove = Report.slots[0].move;
      RootSearch.bestScore = Report.slots[0].score;
    }
    account_nodes(RootSearch, k, before, pos);
  }
}
