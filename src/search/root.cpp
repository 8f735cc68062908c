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
#include "search/control.h"
#include "search/level.h"
#include "search/params.h"
#include "search/report.h"
#include "search/repetition.h"
#include "search/search.h"
#include "search/threads.h"
#include "search/timeman.h"
#include "search/transposition.h"

RootSearchState RootSearch;

namespace {

constexpr int32_t FullWindow = 30000;
constexpr int32_t AspirationHalfWidth = 25;

int64_t elapsed_ms() { return tick_count() - Search.startTime; }

bool stopped() { return Control.StopRequested.load(std::memory_order_relaxed); }

// ---- Root move list -------------------------------------------------------------------------

// Every legal move, valued by a full evaluation of the position after it (captures add their
// exchange estimate), so that the first iteration starts with a sensible order.
void build_root_moves(Position& pos, PlyState& root) {
  RootSearch.count = 0;
  reset_ply_lists(root);
  root.hashMove = NoMove;
  generate_moves(pos, root, GenAll, 1);
  for (MoveEntry* list : {root.captureBegin, root.quietBegin}) {
    for (MoveEntry* e = list; e->score != SentinelScore; ++e) {
      if (RootSearch.count >= RootMovesCapacity) break;
      root.move = e->move;
      PlyState* next = make_move(pos, root);
      if (!next) continue;
      const int32_t value = -Evaluate(pos, *next, -FullWindow, FullWindow, 0);
      unmake_move(pos, *next);
      const bool capture = is_capture_or_promotion(e->move);
      RootSearch.moves[RootSearch.count++] = {e->move, capture ? int64_t(e->score) + value : value};
    }
  }
  reset_ply_lists(root);
  RootSearch.moves[RootSearch.count] = {NoMove, INT32_MAX};
}

// Keeps only the moves that "searchmoves" named (from, to and promotion piece must agree).
void restrict_to_search_moves() {
  if (!Control.SearchMoves[0]) return;
  int kept = 0;
  for (int i = 0; i < RootSearch.count; ++i) {
    bool listed = false;
    for (const Move* m = Control.SearchMoves; *m; ++m)
      listed |= (*m & 0x3FFFF) == (RootSearch.moves[i].move & 0x3FFFF);
    if (listed) RootSearch.moves[kept++] = RootSearch.moves[i];
  }
  RootSearch.count = kept;
  RootSearch.moves[kept] = {NoMove, INT32_MAX};
}

// Stable exchange sort by descending order value; the best move so far stays first.
void sort_root_moves() {
  RootMove* moves = RootSearch.moves;
  for (int i = 1; i < RootSearch.count; ++i) {
    const RootMove m = moves[i];
    int j = i;
    while (j > 0 && moves[j - 1].order < m.order) {
      moves[j] = moves[j - 1];
      --j;
    }
    moves[j] = m;
  }
  for (int i = 0; i < RootSearch.count; ++i) {
    if (moves[i].move != RootSearch.bestMove || i == 0) continue;
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

void account_nodes(int index, uint64_t nodesBefore, const Position& pos) {
  RootSearch.moves[index].order += int64_t(pos.nodes - nodesBefore);
}

// The first root move with its aspiration window and the fail-low / fail-high re-searches.
// Returns false when the search was stopped before the move had a score.
bool search_first_move(Position& pos, Iteration& it) {
  const int d = it.depth;
  const int32_t s = it.previous;
  int32_t alpha = (s > -29000 && s <= 29000) ? s - AspirationHalfWidth : -FullWindow;
  int32_t beta = (s >= -29000 && s < 29000) ? s + AspirationHalfWidth : FullWindow;
  const Move m = RootSearch.moves[0].move;
  const uint64_t before = pos.nodes;
  RootSearch.firstMoveSearching = true;
  if (d >= 8) send_currmove(m, 1);
  if (d >= 8) send_depth(pos, d);

  int32_t v = search_root_move(pos, m, alpha, beta, d - 1);
  if (stopped()) return RootSearch.firstMoveSearching = false, false;
  int bound = ReportExact;
  if (v <= alpha) {
    Search.stable = false;
    AddExtraTime(elapsed_ms());
    it.failState = 1;
    recompute_hard_limit(d, v, it.previous);
    report_line(pos, m, d, v, ReportUpper);
    const int32_t failed = v;
    v = search_root_move(pos, m, failed - 50, failed, d - 1);
    if (!stopped() && v <= failed - 50) {
      AddExtraTime(elapsed_ms());
      it.failState = 2;
      if (d >= 3) Easy.allowed = false;
      report_line(pos, m, d, v, ReportUpper);
      const int32_t again = v;
      v = search_root_move(pos, m, -FullWindow, again, d - 1);
    }
    if (stopped()) return RootSearch.firstMoveSearching = false, false;
  } else if (v >= beta) {
    AddExtraTime(elapsed_ms() / 2);
    it.failState = 1;
    report_line(pos, m, d, v, ReportLower);
    const int32_t failed = v;
    RootSearch.bestMove = m;
    RootSearch.bestScore = failed;
    v = search_root_move(pos, m, failed, failed + 50, d - 1);
    if (!stopped() && v >= failed + 50) {
      if (d >= 3) Easy.allowed = false;
      report_line(pos, m, d, v, ReportLower);
      const int32_t again = v;
      v = search_root_move(pos, m, again, FullWindow, d - 1);
      if (v < again) v = again;
    }
    if (stopped()) {
      RootSearch.firstMoveSearching = false;
      return true;  // the fail-high score stands as a lower bound
    }
    if (v < failed) v = failed;
  } else if (v < it.previous) {
    const int64_t x = it.previous - v;
    const int64_t add = x * elapsed_ms() / 25;
    AddExtraTime(add);
    if (add > elapsed_ms() / 2) it.failState = 1;
  }
  RootSearch.firstMoveSearching = false;
  RootSearch.bestMove = m;
  RootSearch.bestScore = v;
  account_nodes(0, before, pos);
  Easy.firstMoveNodes = pos.nodes - before;
  report_line(pos, m, d, v, bound);
  if (Options.ShowRefutations && d > 7) send_refutation(pos, m);
  return true;
}

// The remaining root moves with zero windows; a move that beats the best is re-searched.
void search_other_moves(Position& pos, Iteration& it) {
  const int d = it.depth;
  for (int i = 1; i < RootSearch.count && !stopped(); ++i) {
    if (Control.SearchState == Thinking && StopBetweenRootMoves(elapsed_ms(), Search.stable)) {
      Control.StopRequested = true;
      break;
    }
    const Move m = RootSearch.moves[i].move;
    if (d >= 8) {
      send_nodes();
      send_currmove(m, i + 1);
      send_depth(pos, d);
    }
    const uint64_t before = pos.nodes;
    const int32_t best = RootSearch.bestScore;
    int32_t v = search_root_move(pos, m, best, best + 1, d - 1);
    if (stopped()) break;
    if (v > best) {
      AddExtraTime(it.failState == 0 ? elapsed_ms() / 2 : elapsed_ms() / 4);
      if (it.failState < 2) ++it.failState;
      if (d >= 3) Easy.allowed = false;
      Search.stable = it.previous <= v + 25;
      recompute_hard_limit(d, v, it.previous);
      RootSearch.bestMove = m;
      RootSearch.bestScore = v;
      report_line(pos, m, d, v, ReportLower);
      const int32_t zeroWindow = v;
      int32_t w = search_root_move(pos, m, zeroWindow, zeroWindow < -29000 ? 0 : zeroWindow + 35, d - 1);
      if (!stopped() && w >= zeroWindow + 35) {
        report_line(pos, m, d, w, ReportLower);
        const int32_t again = w;
        w = search_root_move(pos, m, again, FullWindow, d - 1);
        if (w < again) w = again;
      }
      if (!stopped()) {
        RootSearch.bestScore = w > zeroWindow ? w : zeroWindow;
        report_line(pos, m, d, RootSearch.bestScore, ReportExact);
      }
    }
    account_nodes(i, before, pos);
    if (Options.ShowRefutations && d > 7 && !stopped()) send_refutation(pos, m);
  }
}

// MultiPV: the first lines get real windows around their last scores, the rest a zero window
// above the weakest shown line.
void search_multipv(Position& pos, Iteration& it) {
  const int d = it.depth;
  // Order the root moves as the ranking has them.
  for (int rank = 0; rank < Report.slotCount; ++rank)
    for (int i = rank; i < RootSearch.count; ++i)
      if (RootSearch.moves[i].move == Report.slots[rank].move) {
        const RootMove t = RootSearch.moves[rank];
        RootSearch.moves[rank] = RootSearch.moves[i];
        RootSearch.moves[i] = t;
        break;
      }
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
        v = search_root_move(pos, m, v, FullWindow, d - 1);
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
    account_nodes(k, before, pos);
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

Move ThinkDriver(Position& pos) {
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
  set_table_signature(RootEval.evalSerial);
  load_search_settings(root);
  Search.tbMaxMen = 0;
  Search.tbDepthMargin = Options.TablebaseDepthBias;
  if (!Options.KeepHashMain || RootEval.PhaseFlags != RootSearch.lastPhaseFlags) clear_pawn_hash(pos);
  if (!Options.KeepHashMain) clear_bishop_mobility_cache(pos);
  clear_material_table(pos);
  RootSearch.lastPhaseFlags = RootEval.PhaseFlags;
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

  build_root_moves(pos, root);
  RootSearch.singleLegalMove = RootSearch.count == 1;
  const bool noMove = RootSearch.count == 0 || reversible_plies(pos, root) >= 100;
  restrict_to_search_moves();
  Move rootMoves[RootMovesCapacity];
  for (int i = 0; i < RootSearch.count; ++i) rootMoves[i] = RootSearch.moves[i].move;
  start_search_report(rootMoves, RootSearch.count);
  if (noMove || RootSearch.count == 0) {
    wait_while_pondering();
    send_search_summary(elapsed_ms());
    return NoMove;
  }

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
    sort_root_moves();
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
    lastScore = RootSearch.bestScore;
    if (!after_iteration(pos, it)) break;
  }
  if (!anyMoveSearched) RootSearch.bestMove = RootSearch.moves[0].move;

  if (Control.SearchState == Pondering) wait_while_pondering();
  save_learning(pos);
  send_search_summary(elapsed_ms());
  if (Control.SearchState == Thinking && RootSearch.bestMove)
    RootSearch.ponderMove = find_ponder_move(pos);
  return RootSearch.bestMove;
}
