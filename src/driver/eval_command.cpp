#include "driver/eval_command.h"

#include <cstdio>

#include "board/setup.h"
#include "core/output.h"
#include "eval/evaluate.h"
#include "eval/preparation.h"
#include "eval/thread_tables.h"
#include "search/control.h"
#include "search/root.h"
#include "search/threads.h"

namespace {

// A side's part, or "--" where the term exists only as the difference of the two sides.
void format_part(char* out, size_t size, bool split, int32_t value) {
  if (split) std::snprintf(out, size, "%8.2f", value / 100.0);
  else std::snprintf(out, size, "%8s", "--");
}

}  // namespace

void eval_command() {
  if (Control.SearchState != Idle) {
    send_info_string("eval is not available while searching");
    return;
  }
  // The root preparation, as a search of this position makes it.
  Position& pos = main_position();
  setup_root_from_game(pos);
  PlyState& root = pos.plies[0];
  prepare_root_evaluation(pos, root);
  root_score(pos, root);
  set_contempt(root.side);
  reset_eval_bounds();
  clear_material_table(pos);
  // Pawn entries depend on the root; those kept for the previous search's root must neither be
  // read here nor be found mixed with this root's by the next search.
  const bool otherPawnTerms = RootEval.pawnTermsFingerprint != RootSearch.lastPawnTerms;
  if (otherPawnTerms) clear_pawn_hash(pos);

  EvalTrace trace;
  const int32_t result = TraceEvaluation(pos, root, trace);
  if (otherPawnTerms) clear_pawn_hash(pos);

  send_line("      term       |  White   |  Black   |  Total\n");
  send_line("-----------------+----------+----------+---------\n");
  for (int t = 0; t < TermCount; ++t) {
    char white[16], black[16];
    format_part(white, sizeof white, trace.split[t], trace.side[t][0]);
    format_part(black, sizeof black, trace.split[t], trace.side[t][1]);
    send_line("%-16s | %s | %s | %7.2f\n", EvalTermNames[t], white, black, trace.total[t] / 100.0);
  }
  send_line("-----------------+----------+----------+---------\n");
  const int32_t whiteView = root.side == 0 ? result : -result;
  send_line("total %.2f (White's view), %.2f (side to move)\n", whiteView / 100.0, result / 100.0);
}
