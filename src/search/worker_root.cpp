#include "search/worker_root.h"

#if TARROW_MP
#include <cstdlib>
#include <cstring>

#include "board/setup.h"
#include "core/options.h"
#include "eval/evaluate.h"
#include "eval/preparation.h"
#include "eval/thread_tables.h"
#include "search/aspiration.h"
#include "search/level.h"
#include "search/move_table.h"
#include "search/root_moves.h"
#include "search/threads.h"

// The worker keeps its own history, killers and root set-up; the tables, the evaluation
// preparation and the search settings are the main thread's work.
Move WorkerThinkDriver(Position& pos) {
  RootSearchState& rs = root_state(pos);
  share_root_list(pos, false);
  clear_history(pos);
  std::memset(pos.killers, 0, sizeof pos.killers);
  pos.nullDepth = pos.refutationDepth = pos.singularDepth = pos.multiCutDepth = 0;

  setup_root_from_game(pos);
  for (int k = 1; k <= MaxPly; ++k) pos.plies[k].lockKey = 0;
  PlyState& root = pos.plies[0];
  root_score(pos, root);
  rs.bestScore = Evaluate(pos, root, -FullWindow, FullWindow, 0);
  rs.bestMove = NoMove;
  rs.firstMoveSearching = false;
  build_root_moves(pos, root, rs);
  rs.singleLegalMove = rs.count == 1;
  if (rs.count == 0) return NoMove;
  restrict_to_search_moves(rs);
  if (rs.count == 0) return NoMove;
  share_root_list(pos, true);

  rs.bestMove = NoMove;  // the first iteration takes the moves in the order of their values
  int32_t lastScore = rs.bestScore;
  for (int d = 1; !stopped() && d < MaxPly && d <= Level.maxDepth; ++d) {
    if (!(d <= 30000 - std::abs(lastScore) || lastScore < -29000 || Options.MultiPVCount > 1)) break;
    rs.iterationDepth = d;
    sort_root_moves(rs);
    Iteration it{d, 0, lastScore};
    if (!search_first_move(pos, it)) break;
    search_other_moves(pos, it);
    if (stopped()) break;
    lastScore = rs.bestScore;
    ClearMoveTable(uint8_t(pos.threadMask));
  }
  return rs.bestMove;
}

void prepare_workers(bool clearPawnHash) {
  for (int i = 1; i < MaxThreads; ++i) {
    Position* worker = ThreadPositions[i];
    if (!worker) continue;
    worker->nodes = 0;
    if (clearPawnHash) clear_pawn_hash(*worker);
    if (!Options.KeepHashMain) clear_bishop_mobility_cache(*worker);
    clear_material_table(*worker);
  }
  ClearMoveTable(0);
}
#endif
