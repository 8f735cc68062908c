#include "search/root_moves.h"

#include <cstring>

#include "board/makemove.h"
#include "board/movegen.h"
#include "core/options.h"
#include "eval/evaluate.h"
#include "search/report.h"
#include "search/search.h"
#if TARROW_MP
#include "search/threads.h"
#endif

RootSearchState RootSearch;

#if TARROW_MP
namespace {

// The root state of each worker (index 0, the main thread, uses RootSearch).
RootSearchState WorkerRootSearch[MaxThreads];
// Whether a thread's root list is built for the current search, so that the others may add
// their node counts to it. Guarded by OutputLock, like the lists' order values.
bool RootListShared[MaxThreads];

RootSearchState& root_state(int threadIndex) {
  return threadIndex == 0 ? RootSearch : WorkerRootSearch[threadIndex];
}

}  // namespace

RootSearchState& root_state(const Position& pos) { return root_state(pos.threadIndex); }

void share_root_list(const Position& pos, bool shared) {
  SpinGuard guard(OutputLock);
  RootListShared[pos.threadIndex] = shared;
}
#endif

// The static values give the first iteration a sensible order.
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

// From, to and promotion piece must agree with a listed move. A position with legal moves
// always gets one of them as the answer, so a list naming none of them is ignored.
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

// A stable exchange sort. Other threads add their node counts to the list meanwhile, so the
// sort holds the output lock.
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

int32_t search_root_move(Position& pos, Move m, int32_t alpha, int32_t beta, int depth) {
  PlyState& root = pos.plies[0];
  root.move = m;
  PlyState* next = make_move(pos, root);
  if (!next) return -FullWindow;  // cannot happen: the list holds legal moves only
  const int32_t v = -SearchNode(pos, *next, -beta, -alpha, depth, Search.nullAllowed, 0);
  unmake_move(pos, *next);
  return v;
}

void report_root_line(Position& pos, Move m, int depth, int32_t score, int bound) {
  send_pv_info(pos, m, depth, elapsed_ms(), score, bound);
  if (Options.MultiPVCount > 1) send_multipv(m, depth, elapsed_ms(), score, bound);
}
