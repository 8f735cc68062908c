#include "search/root.h"

#include <cstdlib>
#include <cstring>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/setup.h"
#include "core/input.h"
#include "core/options.h"
#include "eval/evaluate.h"
#include "eval/eval_cache.h"
#include "eval/preparation.h"
#include "eval/thread_tables.h"
#include "platform/input.h"
#include "search/aspiration.h"
#include "search/easy_move.h"
#include "search/level.h"
#include "search/multipv.h"
#include "search/report.h"
#include "search/repetition.h"
#include "search/root_learning.h"
#include "search/root_moves.h"
#include "search/stats.h"
#include "search/tablebase_search.h"
#include "search/timeman.h"
#include "search/transposition.h"
#if TARROW_MP
#include "search/move_table.h"
#include "search/worker_root.h"
#include "search/workers.h"
#endif

namespace {

// ---- Waiting and polling ----------------------------------------------------------------------

// A ponder search that ends by itself waits for "ponderhit" or "stop", executing commands.
void wait_while_pondering() {
  while (Control.SearchState == Pondering && !stopped()) read_command();
}

void poll_between_iterations() {
  if (search_input_waiting()) read_command();
}

bool is_quiet_non_pawn(Move m) { return !is_capture_or_promotion(m) && !is_pawn_move(m); }

// ---- Before the first iteration ------------------------------------------------------------------

// The clock, the thread's own history and killers, the tables and the stop and poll state
// start afresh.
void reset_search_state(Position& pos) {
  // The clock runs from the moment the GUI asked, before any table is cleared.
  Search.startTime = tick_count();
  clear_history(pos);
  std::memset(pos.killers, 0, sizeof pos.killers);
  pos.nullDepth = pos.refutationDepth = pos.singularDepth = pos.multiCutDepth = 0;

  advance_table_generation();
  if (!Options.KeepHashMain) {
    clear_transposition_table();
    clear_eval_cache();
  }
  pos.nodes = 0;
  Control.StopRequested = false;
  Search.nextPoll = Control.PollIntervalShort < 1000 ? Control.PollIntervalShort : 1000;
  Search.stable = true;
  Search.lastHashStatus = Search.startTime;
  RootSearch.firstMoveSearching = false;
  RootSearch.ponderMove = NoMove;
}

// The root position, its evaluation tables, the per-search parameters, the thread caches that
// the new root makes stale, the time allotment and the learned positions.
void prepare_root(Position& pos, PlyState& root) {
  prepare_root_evaluation(pos, root);
  root_score(pos, root);
  set_contempt(root.side);
  // Scores of earlier searches keep their right to decide only under the same evaluation: the
  // settings and the tables prepared for the root alike (the piece-square tables move with it).
  // (The evaluation cache's stamp covers them already.)
  RootEval.evalSerial ^= root_tables_fingerprint();
  set_table_signature(RootEval.evalSerial);
  load_search_settings(root);
  Search.tbDepthMargin = Options.TablebaseDepthBias;
  const bool clearPawnHash = !Options.KeepHashMain || RootEval.pawnTermsFingerprint != RootSearch.lastPawnTerms;
  if (clearPawnHash) clear_pawn_hash(pos);
  if (!Options.KeepHashMain) clear_bishop_mobility_cache(pos);
  clear_material_table(pos);
#if TARROW_MP
  prepare_workers(clearPawnHash);
#endif
  RootSearch.lastPawnTerms = RootEval.pawnTermsFingerprint;
  if (Level.clockMode) AllotTime();
  start_root_learning(pos, root);
}

// The root's static score (from which the evaluation learns its spread first) and the root
// move list, announced to the report and the tablebase filter. Returns false when there is no
// move to search.
bool build_root_list(Position& pos, PlyState& root) {
  reset_eval_bounds();
  RootSearch.bestScore = Evaluate(pos, root, -FullWindow, FullWindow, 0);
  widen_eval_bounds();
  RootSearch.bestMove = NoMove;

  build_root_moves(pos, root, RootSearch);
  RootSearch.singleLegalMove = RootSearch.count == 1;
  // A position a hundred reversible plies old is a draw only once claimed: the root still
  // searches and answers a legal move (each line that keeps the count going scores a draw).
  const bool noMove = RootSearch.count == 0;
  if (!noMove) prepare_tablebase_search(pos, root, RootSearch);
  restrict_to_search_moves(RootSearch);
  Move rootMoves[RootMovesCapacity];
  for (int i = 0; i < RootSearch.count; ++i) rootMoves[i] = RootSearch.moves[i].move;
  start_search_report(rootMoves, RootSearch.count);
  report_tablebase_root();
  return !noMove && RootSearch.count != 0;
}

// ---- Iterations ----------------------------------------------------------------------------------

// After a completed iteration: fold the extra time in, decide whether another iteration may
// start, store the root, look at the input. Returns false to stop iterating.
bool after_iteration(Position& pos, Iteration& it) {
  const int d = it.depth;
  Search.stable = true;
  const int32_t score = RootSearch.bestScore;
  FoldExtraTime(it.previous, score);
  RootSearch.depthScore[d] = score;
  learn_from_iteration(d, score);
  consider_easy_move(pos, d);

  const Move best = RootSearch.bestMove;
  if (Control.SearchState == Thinking && StopBeforeNextIteration(elapsed_ms(), d, is_quiet_non_pawn(best)))
    Control.StopRequested = true;

  if (!is_capture_or_promotion(best)) {
    int32_t& h = pos.history[pos.plies[0].side][history_index(best)];
    h += d * d;
  }
  PlyState& root = pos.plies[0];
  root.move = best;
  bool repeats = false;
  if (PlyState* next = make_move(pos, root)) {
    repeats = is_repetition(pos, *next, 1);
    unmake_move(pos, *next);
  }
  if (!repeats) store_root_entry(root, score, d, best);

#if TARROW_MP
  ClearMoveTable(uint8_t(pos.threadMask));
#endif
  if (Control.SearchState == Thinking && IterationTimeUp(elapsed_ms(), d))
    Control.StopRequested = true;
  if (!stopped()) poll_between_iterations();
  if (RootSearch.singleLegalMove && d >= 10 && Level.clockMode && Control.SearchState == Thinking)
    return false;
  return !stopped();
}

// Iterative deepening until a limit, the clock or a stop ends it. Leaves the best move in
// RootSearch, the first root move when no iteration searched any.
void deepen(Position& pos) {
  reset_easy_move();
  // No best move yet: the first iteration searches the moves in the order of their static
  // values.
  RootSearch.bestMove = NoMove;
  int32_t lastScore = RootSearch.bestScore;
  bool anyMoveSearched = false;
  for (int d = 1; !stopped() && d < MaxPly && d <= Level.maxDepth; ++d) {
    if (!(d <= 30000 - std::abs(lastScore) || lastScore < -29000 || Options.MultiPVCount > 1)) break;
    RootSearch.iterationDepth = d;
    set_iteration_depth(d);
    sort_root_moves(RootSearch);
    Iteration it{d, 0, lastScore};
    if (Options.MultiPVCount > 1) {
      search_multipv(pos, d);
      anyMoveSearched |= Report.slots[0].depth > 0;
    } else {
      restore_permanent_entries();
      if (!search_first_move(pos, it)) break;
      anyMoveSearched = true;
      search_other_moves(pos, it);
    }
    if (stopped()) break;
    log_iteration(d, pos.nodes);
    lastScore = RootSearch.bestScore;
    if (MateSearchDone(lastScore)) break;
    if (!after_iteration(pos, it)) break;
    if (!tablebase_after_iteration(d, lastScore)) break;
  }
  if (!anyMoveSearched) RootSearch.bestMove = RootSearch.moves[0].move;
}

// ---- After the search ----------------------------------------------------------------------------

// The move to ponder on: the second move of the reported line when it starts with the best
// move, else the table move of the position after the best move; either only if still
// possible there.
Move find_ponder_move(Position& pos) {
  const Move best = RootSearch.bestMove;
  PlyState& root = pos.plies[0];
  root.move = best;
  PlyState* next = make_move(pos, root);
  if (!next) return NoMove;
  Move candidate = NoMove;
  if (Report.line.moves[0] == best && Report.line.moves[1]) {
    candidate = Report.line.moves[1];
  } else {
    TTEntry e;
    if (probe_table(*next, e)) candidate = e.best_move();
  }
  if (candidate && !move_is_possible(pos, *next, candidate)) candidate = NoMove;
  // The ponder move must be legal, not just possible.
  if (candidate) {
    next->move = candidate;
    PlyState* after = make_move(pos, *next);
    if (after) unmake_move(pos, *after);
    else candidate = NoMove;
  }
  unmake_move(pos, *next);
  return candidate;
}

}  // namespace

bool ponderhit_stops_search() {
  return PonderhitStopsAtOnce(tick_count() - Search.startTime, RootSearch.singleLegalMove,
                              Search.stable, RootSearch.firstMoveSearching);
}


Move ThinkDriver(Position& pos) {
#if TARROW_MP
  if (!on_main(pos)) return WorkerThinkDriver(pos);
  SettleWorkers();  // nothing below may be cleared under a worker still in the last search
  share_root_list(pos, false);
#endif
  reset_search_state(pos);
  setup_root_from_game(pos);
  for (int k = 1; k <= MaxPly; ++k) pos.plies[k].lockKey = 0;  // marks the plies the search reaches
  PlyState& root = pos.plies[0];
  prepare_root(pos, root);
  if (!build_root_list(pos, root)) {
    // No legal move at all (the searchmoves filter never empties a list): mate or stalemate.
    if (RootSearch.count == 0) send_score_without_moves((root.flags & InCheckFlag) != 0);
    wait_while_pondering();
    send_search_summary(elapsed_ms());
    return NoMove;
  }

#if TARROW_MP
  share_root_list(pos, true);
  ReleaseWorkers();
#endif
  deepen(pos);

  if (Control.SearchState == Pondering) wait_while_pondering();
#if TARROW_MP
  JoinWorkers();
#endif
  save_learning(pos);
  send_search_summary(elapsed_ms());
  if (Control.SearchState == Thinking && RootSearch.bestMove)
    RootSearch.ponderMove = find_ponder_move(pos);
  return RootSearch.bestMove;
}
