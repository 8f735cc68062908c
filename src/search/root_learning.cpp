#include "search/root_learning.h"

#include <cstdlib>

#include "board/makemove.h"
#include "core/options.h"
#include "learn/learning.h"
#include "search/level.h"
#include "search/repetition.h"
#include "search/report.h"
#include "search/root_moves.h"
#include "search/transposition.h"

namespace {

struct LearningState {
  bool instructive;
  bool rootRecordApplied;
  bool allAbove400, allBelow400;
};
LearningState Learning;

bool analysing() { return Options.AnalyseMode || (Level.LevelMode == LevelDepth && Level.maxDepth == LevelMaxDepth); }

void mark_instructive(int depth, int32_t score) {
  if (score < 400) Learning.allAbove400 = false;
  if (score > -400) Learning.allBelow400 = false;
  if (elapsed_ms() > 3000) Learning.instructive = true;
  if (depth >= 5 && std::abs(score - RootSearch.depthScore[depth - 2]) > 50) Learning.instructive = true;
  if ((score > 400 && Learning.allAbove400) || (score < -400 && Learning.allBelow400))
    Learning.instructive = false;
}

}  // namespace

void start_root_learning(Position& pos, PlyState& root) {
  Learning = LearningState{false, false, true, true};
  if (!Options.PositionLearning) return;
  Learning.rootRecordApplied = merge_learned_positions(pos, root);
  if (analysing()) restore_permanent_entries();
  else clear_analysis_memory();
}

void learn_from_iteration(int depth, int32_t score) {
  mark_instructive(depth, score);
  if (Options.PositionLearning) set_learning_candidate(depth, score, LearningOnly, RootSearch.bestMove);
}

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
