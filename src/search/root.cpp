#include "search/root.h"

#include <cstdlib>
#include <cstring>

#include "board/game.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/setup.h"
#include "core/input.h"
#include "core/options.h"
#include "eval/evaluate.h"
#include "eval/preparation.h"
#include "eval/eval_cache.h"
#include "eval/thread_tables.h"
#include "learn/learning.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "search/ablation.h"
#include "search/control.h"
#include "search/level.h"
#include "search/params.h"
#include "search/report.h"
#include "search/repetition.h"
#include "search/search.h"
#include "search/stats.h"
#include "search/tablebase_search.h"
#include "search/threads.h"
#include "search/timeman.h"
#include "search/transposition.h"
#if TARROW_MP
#include "search/move_table.h"
#include "search/workers.h"
#endif

RootSearchState RootSearch;

namespace {

#if TARROW_MP
// The root state of each worker (index 0, the main thread, uses RootSearch).
RootSearchState WorkerRootSearch[MaxThreads];
// Whether a thread's root list is built for the current search, so that the others may add
// their node counts to it. Guarded by OutputLock, like the lists' order values.
bool RootListShared[MaxThreads];

RootSearchState& root_state(int threadIndex) {
  return threadIndex == 0 ? RootSearch : WorkerRootSearch[threadIndex];
}
RootSearchState& root_state(const Position& pos) { return root_state(pos.threadIndex); }
bool on_main(const Position& pos) { return pos.threadIndex == 0; }

void share_root_list(const Position& pos, bool shared) {
  SpinGuard guard(OutputLock);
  RootListShared[pos.threadIndex] = shared;
}
#else
RootSearchState& root_state(const Position&) { return RootSearch; }
constexpr bool on_main(const Position&) { return true; }
#endif

constexpr int32_t FullWindow = 30000;
constexpr int32_t AspirationHalfWidth = 25;

int64_t elapsed_ms() { return tick_count() - Search.startTime; }

bool stopped() { return Control.StopRequested.load(std::memory_order_relaxed); }

// ---- Root move list -------------------------------------------------------------------------

// Every legal move, valued by a full evaluation of the position after it (captures add their
// exchange estimate), so that the first iteration starts with a sensible order.
void build_root_moves(Position& pos, PlyState& root, RootSearchState& rs) {
  rs.count = 0;
  reset_ply_lists(root);
  root.hashMove = NoMove;
  generate_moves(pos, root, GenAll, 1);
  for (MoveEntry* list : {root.captureBegin, root.quietBegin}) {
    for (MoveEntry* e = list; e->score != SentinelScore; ++e) {
      if (rs.count >= RootMovesCapacity) break;
      root.move = e->move;
      PlyState* next = make_move(pos, root);
      if (!next) continue;
      const int32_t value = -Evaluate(pos, *next, -FullWindow, FullWindow, 0);
      unmake_move(pos, *next);
      const bool capture = is_capture_or_promotion(e->move);
      rs.moves[rs.count++] = {e->move, capture ? int64_t(e->score) + value : value};
    }
  }
  reset_ply_lists(root);
  rs.moves[rs.count] = {NoMove, INT32_MAX};
}

// Keeps only the moves that "searchmoves" named (from, to and promotion piece must agree).
// A list that names no legal move at all restricts nothing: a position with legal moves
// always gets one of them as the answer.
void restrict_to_search_moves(RootSearchState& rs) {
  if (!Control.SearchMoves[0]) return;
  auto listed = [](Move move) {
    for (const Move* m = Control.SearchMoves; *m; ++m)
      if ((*m & 0x3FFFF) == (move & 0x3FFFF)) return true;
    return false;
  };
  int kept = 0;
  for (int i = 0; i < rs.count; ++i) kept += listed(rs.moves[i].move);
  if (kept == 0) return;
  kept = 0;
  for (int i = 0; i < rs.count; ++i)
    if (listed(rs.moves[i].move)) rs.moves[kept++] = rs.moves[i];
  rs.count = kept;
  rs.moves[kept] = {NoMove, INT32_MAX};
}

// Stable exchange sort by descending order value; the best move so far stays first. Other
// threads add their node counts to the list meanwhile, so the sort holds the output lock.
void sort_root_moves(RootSearchState& rs) {
#if TARROW_MP
  SpinGuard guard(OutputLock);
#endif
  RootMove* moves = rs.moves;
  for (int i = 1; i < rs.count; ++i) {
    const RootMove m = moves[i];
    int j = i;
    while (j > 0 && moves[j - 1].order < m.order) {
      moves[j] = moves[j - 1];
      --j;
    }
    moves[j] = m;
  }
  for (int i = 0; i < rs.count; ++i) {
    if (moves[i].move != rs.bestMove || i == 0) continue;
    const RootMove best = moves[i];
    std::memmove(moves + 1, moves, sizeof(RootMove) * size_t(i));
    moves[0] = best;
    break;
  }
}

// ---- Waiting and polling ----------------------------------------------------------------------

// A ponder search that ends by itself waits for "ponderhit" or "stop", executing commands.
void wait_while_pondering() {
  while (Control.SearchState == Pondering && !stopped()) read_command();
}

void poll_between_iterations() {
  if (search_input_waiting()) read_command();
}

// ---- One root move ----------------------------------------------------------------------------

// Searches root move `m` with (alpha, beta) and `depth` plies below it. Returns the score from
// the root's view.
int32_t search_root_move(Position& pos, Move m, int32_t alpha, int32_t beta, int depth) {
  PlyState& root = pos.plies[0];
  root.move = m;
  PlyState* next = make_move(pos, root);
  if (!next) return -FullWindow;  // cannot happen: the list holds legal moves only
  const int32_t v = -SearchNode(pos, *next, -beta, -alpha, depth, Search.nullAllowed, 0);
  unmake_move(pos, *next);
  return v;
}

void report_line(Position& pos, Move m, int depth, int32_t score, int bound) {
  send_pv_info(pos, m, depth, elapsed_ms(), score, bound);
  if (Options.MultiPVCount > 1) send_multipv(m, depth, elapsed_ms(), score, bound);
}

bool is_quiet_non_pawn(Move m) { return !is_capture_or_promotion(m) && !is_pawn_move(m); }

void recompute_hard_limit(int depth, int32_t newScore, int32_t previousScore) {
  if (depth > 2) UpdateHardLimit(newScore - previousScore);
}

// ---- Easy move -----------------------------------------------------------------------------------

// ---- Position learning ----------------------------------------------------------------------

// A search teaches something when it was long, when its score swung between depths, unless the
// game was decided at every depth anyway.
struct LearningState {
  bool instructive;
  bool rootRecordApplied;
  bool allAbove400, allBelow400;
};
LearningState Learning;

void mark_instructive(int depth, int32_t score) {
  if (score < 400) Learning.allAbove400 = false;
  if (score > -400) Learning.allBelow400 = false;
  if (elapsed_ms() > 3000) Learning.instructive = true;
  if (depth >= 5 && std::abs(score - RootSearch.depthScore[depth - 2]) > 50) Learning.instructive = true;
  if ((score > 400 && Learning.allAbove400) || (score < -400 && Learning.allBelow400))
    Learning.instructive = false;
}

bool analysing() { return Options.AnalyseMode || (Level.LevelMode == LevelDepth && Level.maxDepth == LevelMaxDepth); }

void save_learning(Position& pos) {
  const Move best = RootSearch.bestMove;
  PlyState& root = pos.plies[0];
  if (!Options.PositionLearning || !best) return;
  if (Learning.instructive && !(Level.clockMode && Level.allotted <= 3000) && !Control.SearchMoves[0]) {
    bool repeats = false;
    if (Learning.rootRecordApplied) {
      root.move = best;
      if (PlyState* next = make_move(pos, root)) {
        repeats = is_repetition(pos, *next, 1);
        unmake_move(pos, *next);
      }
    }
    if (!repeats) append_learning_record(root, Report.line.moves[0] == best ? Report.line.moves[1] : NoMove);
  }
  if (analysing() && TransTable.entries) {
    keep_merged_entries_permanent();
    const SlotRef slot = primary_slot(root);
    const TTEntry e = read_slot(slot);
    if (e.key() == root.lockKey) add_permanent_entry(slot, e);
    refresh_permanent_entries();
  }
}

struct EasyMove {
  bool allowed;
  int budget;
  uint64_t firstMoveNodes;  // main-thread nodes spent on the first root move this iteration
};
EasyMove Easy;

// The opponent's last game move captured a piece worth as much as its capturer on the square
// our best move goes to: we are recapturing.
bool is_recapture(Move best) {
  const Move last = current_game_entry().move;
  if (!last || !move_captured(last) || move_to(last) != move_to(best)) return false;
  return ExchangeValue[move_captured(last)] == ExchangeValue[move_piece(last)];
}

void consider_easy_move(Position& pos, int depth) {
  if (!Level.clockMode || !Easy.allowed || RootSearch.singleLegalMove || depth < 7) return;
  const Move best = RootSearch.bestMove;
  if (is_pawn_move(best) && !is_capture_or_promotion(best)) return;
  if (!pos.nodes) return;
  const bool recapture = is_recapture(best);
  int threshold = (RootEval.PhaseFlags & PhaseEndgame) ? 82 : 72;
  if (recapture) threshold -= 10;
  if (Easy.firstMoveNodes * 100 / pos.nodes < uint64_t(threshold) || elapsed_ms() <= 500) return;
  if (!recapture) --Easy.budget;
  if (Easy.budget >= 0) HalveForEasyMove();
}

// ---- Iterations ----------------------------------------------------------------------------------

struct Iteration {
  int depth;
  int failState;     // 0 none, 1 after a first fail or best-move change, 2 after a second
  int32_t previous;  // score of the previous iteration
};

// Adds the nodes that root move `index` took to its order value, and in the parallel program
// to the same move in every other thread's list, so that all threads order the root alike.
void account_nodes(RootSearchState& rs, int index, uint64_t nodesBefore, const Position& pos) {
  const int64_t spent = int64_t(pos.nodes - nodesBefore);
#if TARROW_MP
  if (Options.ThreadCount > 1) {
    SpinGuard guard(OutputLock);
    rs.moves[index].order += spent;
    const Move m = rs.moves[index].move;
    for (int t = 0; t < MaxThreads; ++t) {
      if (t == pos.threadIndex || !RootListShared[t]) continue;
      RootSearchState& other = root_state(t);
      for (int i = 0; i < other.count; ++i) {
        if (other.moves[i].move != m) continue;
        other.moves[i].order += spent;
        break;
      }
    }
    return;
  }
#endif
  rs.moves[index].order += spent;
}

// The first root move with its aspiration window and the fail-low / fail-high re-searches.
// Returns false when the search was stopped before the move had a score. Only the main thread
// reports, keeps the clock and judges the easy move; workers search the same windows.
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
      report_line(pos, m, d, v, ReportUpper);
    }
    const int32_t failed = v;
    v = search_root_move(pos, m, failed - 50, failed, d - 1);
    if (!stopped() && v <= failed - 50) {
      if (main) {
        AddExtraTime(elapsed_ms());
        it.failState = 2;
        if (d >= 3) Easy.allowed = false;
        report_line(pos, m, d, v, ReportUpper);
      }
      const int32_t again = v;
      v = search_root_move(pos, m, -FullWindow, again, d - 1);
    }
    if (stopped()) return rs.firstMoveSearching = false, false;
  } else if (v >= beta) {
    if (main) {
      AddExtraTime(elapsed_ms() / 2);
      it.failState = 1;
      report_line(pos, m, d, v, ReportLower);
    }
    const int32_t failed = v;
    rs.bestMove = m;
    rs.bestScore = failed;
    v = search_root_move(pos, m, failed, failed + 50, d - 1);
    if (!stopped() && v >= failed + 50) {
      if (main) {
        if (d >= 3) Easy.allowed = false;
        report_line(pos, m, d, v, ReportLower);
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
  Easy.firstMoveNodes = pos.nodes - before;
  report_line(pos, m, d, v, bound);
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
        if (d >= 3) Easy.allowed = false;
        Search.stable = it.previous <= v + 25;
        recompute_hard_limit(d, v, it.previous);
      }
      rs.bestMove = m;
      rs.bestScore = v;
      if (main) report_line(pos, m, d, v, ReportLower);
      // Confirm the new best inside a narrow window above its zero-window score; a mated score
      // gets the window up to the draw. Only a result at the window's top needs the full window.
      const int32_t zeroWindow = v;
      const int32_t top = zeroWindow < -29000 ? 0 : zeroWindow + 35;
      int32_t w = search_root_move(pos, m, zeroWindow, top, d - 1);
      if (!stopped() && w >= top) {
        if (main) report_line(pos, m, d, w, ReportLower);
        const int32_t again = w;
        w = search_root_move(pos, m, again, FullWindow, d - 1);
        if (w < again) w = again;
      }
      if (!stopped()) {
        rs.bestScore = w > zeroWindow ? w : zeroWindow;
        if (main) report_line(pos, m, d, rs.bestScore, ReportExact);
      }
    }
    account_nodes(rs, i, before, pos);
    if (main && Options.ShowRefutations && d > 7 && !stopped()) send_refutation(pos, m);
  }
}

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

// MultiPV (main thread only): the first lines get real windows around their last scores, the
// rest a zero window above the weakest shown line.
void search_multipv(Position& pos, Iteration& it) {
  const int d = it.depth;
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
        report_line(pos, m, d, v, ReportLower);
        const int32_t failedHigh = v;
        v = search_root_move(pos, m, failedHigh, FullWindow, d - 1);
        // The searches disagree (the table changed between them, as it does when other
        // threads fill it): the re-search only bounds the score from above, so the move gets
        // its true score from a full window before it is ranked or taken as the best.
        if (!stopped() && v <= failedHigh) v = search_root_move(pos, m, -FullWindow, FullWindow, d - 1);
        if (stopped()) break;
        report_line(pos, m, d, v, ReportExact);
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
      report_line(pos, m, d, v, ReportExact);
      // Line 1 of the ranking is the thread's best move.
      RootSearch.bestMove = Report.slots[0].move;
      RootSearch.bestScore = Report.slots[0].score;
    }
    account_nodes(RootSearch, k, before, pos);
  }
}

// After a completed iteration: fold the extra time in, decide whether another iteration may
// start, store the root, look at the input. Returns false to stop iterating.
bool after_iteration(Position& pos, Iteration& it) {
  const int d = it.depth;
  Search.stable = true;
  const int32_t score = RootSearch.bestScore;
  FoldExtraTime(it.previous, score);
  RootSearch.depthScore[d] = score;
  mark_instructive(d, score);
  if (Options.PositionLearning) set_learning_candidate(d, score, LearningOnly, RootSearch.bestMove);
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

#if TARROW_MP
// A worker's search: its own history, killers and root set-up over the position that the main
// thread prepared (tables, evaluation preparation and search settings are the main thread's
// work), then iterative deepening over its own root list without clock, input or output,
// until the main thread sets the stop flag.
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

// The main thread's part in starting the workers: every thread's node count and evaluation
// tables as a fresh search wants them, an empty moves-in-progress table.
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

Move ThinkDriver(Position& pos) {
#if TARROW_MP
  if (!on_main(pos)) return WorkerThinkDriver(pos);
  SettleWorkers();  // nothing below may be cleared under a worker still in the last search
  share_root_list(pos, false);
#endif
  // The clock runs from the moment the GUI asked, before any table is cleared.
  Search.startTime = tick_count();
  // Thread-owned search state starts afresh.
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

  // The root position, its evaluation tables and the per-search parameters.
  setup_root_from_game(pos);
  for (int k = 1; k <= MaxPly; ++k) pos.plies[k].lockKey = 0;  // marks the plies the search reaches
  PlyState& root = pos.plies[0];
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
  Learning = LearningState{false, false, true, true};
  if (Options.PositionLearning) {
    Learning.rootRecordApplied = merge_learned_positions(pos, root);
    if (analysing()) restore_permanent_entries();
    else clear_analysis_memory();
  }

  // The evaluation learns its spread from the root first.
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
  if (noMove || RootSearch.count == 0) {
    if (noMove) send_score_without_moves((root.flags & InCheckFlag) != 0);
    wait_while_pondering();
    send_search_summary(elapsed_ms());
    return NoMove;
  }

#if TARROW_MP
  share_root_list(pos, true);
  ReleaseWorkers();
#endif
  Easy = EasyMove{true, 2, 0};
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
      search_multipv(pos, it);
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
