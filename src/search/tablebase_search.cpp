#include "search/tablebase_search.h"

#include <chrono>

#include "board/makemove.h"
#include "board/position.h"
#include "core/options.h"
#include "eval/eval_cache.h"
#include "platform/clock.h"
#include "search/control.h"
#include "search/params.h"
#include "search/report.h"
#include "search/root_state.h"
#include "search/timeman.h"
#include "search/transposition.h"
#include "tablebase/binding.h"
#include "tablebase/values.h"

namespace {

struct TablebaseSearchState {
  int64_t probeMicros;   // main thread's time inside probes this search
  bool rootKnown;
  int32_t rootScore;
  int64_t lastAdjust;    // elapsed ms of the last poll adjustment
  bool rootHit;          // the root probe answered
  bool hideScore;        // a drawn root searched over its drawing moves
};
TablebaseSearchState TbSearch;

int64_t micros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Percent of the elapsed time spent probing, rounded.
int64_t probe_share(int64_t elapsed) {
  return elapsed > 0 ? (TbSearch.probeMicros / 10 + elapsed / 2) / elapsed : 0;
}

void clear_search_tables() {
  clear_transposition_table();
  clear_eval_cache();
}

}  // namespace

void prepare_tablebase_search(Position& pos, PlyState& root, RootSearchState& rs) {
  TbSearch = TablebaseSearchState{};
  Search.tbMaxMen = 0;
  if (!Options.UseTablebases || TablebaseMen == 0) return;
  if (!Search.endgame && root.pieces > 12) return;
  Search.tbMaxMen = TablebaseMen;
  if (root.pieces > Search.tbMaxMen) return;

  const int32_t score = tablebase_probe(pos, root);
  if (score == tb::NoTablebaseScore) return;
  TbSearch.rootHit = true;
  TbSearch.rootKnown = true;
  TbSearch.rootScore = score;
  if (Options.KeepHashMain) clear_search_tables();

  const int us = root.side;
  const bool ahead = root.material[us] > root.material[us ^ 1];
  if (score != 0 || Options.MultiPVCount != 1 || Control.SearchMoves[0] || !ahead) return;
  // A drawn root with more material: show 0 and search only the moves that keep the draw.
  TbSearch.hideScore = true;
  int kept = 0;
  for (int i = 0; i < rs.count && kept < SearchMovesCapacity; ++i) {
    root.move = rs.moves[i].move;
    PlyState* next = make_move(pos, root);
    if (!next) continue;
    const int32_t theirs = tablebase_probe(pos, *next);
    unmake_move(pos, *next);
    if (theirs == tb::NoTablebaseScore || theirs <= 0) Control.SearchMoves[kept++] = rs.moves[i].move;
  }
  Control.SearchMoves[kept] = 0;
  if (kept > 1) {
    Search.tbMaxMen = 0;
    TbSearch.rootKnown = false;
    CapTablebaseDrawTime();
  }
}

void report_tablebase_root() {
  if (TbSearch.rootHit) ++Report.tablebaseHits;
  if (TbSearch.hideScore) Report.HideScore = true;
}

int32_t probe_tablebase_in_tree(Position& pos, const PlyState& node, bool fifty) {
  const int ply = node.ply;
  const Move last = ply > 0 ? pos.plies[ply - 1].move : 0;
  const bool changedMaterial = move_captured(last) != 0 || move_promotion(last) != 0;
  if (!((changedMaterial && ply <= Search.iterationDepth - Search.tbDepthMargin) ||
        (ply == 2 && !fifty)))
    return tb::NoTablebaseScore;
  const bool main = pos.threadIndex == 0;
  const int64_t started = main ? micros() : 0;
  const int32_t score = tablebase_probe(pos, node);
  if (main) TbSearch.probeMicros += micros() - started;
  if (score == tb::NoTablebaseScore) return score;
  __atomic_fetch_add(&Report.tablebaseHits, 1u, __ATOMIC_RELAXED);  // every thread counts
  if (main && Search.nextPoll > 250) Search.nextPoll -= 250;
  if (score > 0) return score - ply;
  if (score < 0) return score + ply;
  const int us = node.side;
  return node.material[us] > node.material[us ^ 1] ? 1 : node.material[us] < node.material[us ^ 1] ? -1 : 0;
}

bool tablebase_after_iteration(int d, int32_t& score) {
  const int64_t elapsed = tick_count() - Search.startTime;
  if (elapsed > 200 && Search.tbDepthMargin < 3 && probe_share(elapsed) > Options.TablebaseHitPercent)
    Search.tbDepthMargin += 1;
  if (!TbSearch.rootKnown || d <= 3) return true;
  const int32_t gap = score - TbSearch.rootScore;
  if (TbSearch.rootScore == 0 || (gap >= -1 && gap <= 1)) return false;
  // The search disagrees with the table: search on without probes from a clean table.
  TbSearch.rootKnown = false;
  Search.tbMaxMen = 0;
  clear_search_tables();
  score = 0;
  return true;
}

void tablebase_poll_adjust(int64_t elapsed) {
  if (elapsed - TbSearch.lastAdjust < 2000) return;
  TbSearch.lastAdjust = elapsed;
  if (Search.tbDepthMargin < Search.iterationDepth - 10 &&
      probe_share(elapsed) > Options.TablebaseHitPercent)
    Search.tbDepthMargin += 1;
}
