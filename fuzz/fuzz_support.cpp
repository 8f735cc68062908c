#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "board/legality.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/setup.h"
#include "core/options.h"
#include "core/output.h"
#include "driver/commands.h"
#include "driver/go.h"
#include "driver/startup.h"
#include "search/control.h"
#include "search/level.h"
#include "search/root.h"
#include "search/search.h"

void enter_scratch_directory() {
  static bool done = false;
  if (done) return;
  done = true;
  char pattern[] = "/tmp/tarrow-fuzz-XXXXXX";
  require(mkdtemp(pattern) != nullptr && chdir(pattern) == 0, "a scratch directory");
}

Position& scratch_position() {
  static Position* pos = [] {
    Position* p = static_cast<Position*>(std::calloc(1, sizeof(Position)));
    init_position(*p, 0);
    return p;
  }();
  return *pos;
}

int legal_move_count_in_game() {
  Position& pos = scratch_position();
  setup_root_from_game(pos);
  PlyState& ply = pos.plies[0];
  reset_ply_lists(ply);
  ply.hashMove = NoMove;
  generate_moves(pos, ply, GenAll, 1);
  int count = 0;
  for (MoveEntry* list : {ply.captureBegin, ply.quietBegin})
    for (MoveEntry* e = list; e->score != SentinelScore; ++e) {
      ply.move = e->move;
      if (PlyState* next = make_move(pos, ply)) {
        unmake_move(pos, *next);
        ++count;
      }
    }
  reset_ply_lists(ply);
  return count;
}

bool legal_in_game(Move m) {
  Position& pos = scratch_position();
  setup_root_from_game(pos);
  return m != NoMove && find_legal_move(pos, m) != NoMove;
}

namespace {
void discard(const char*, size_t) {}
}  // namespace

void start_engine_for_fuzzing() {
  enter_scratch_directory();
  require(startup(false), "start-up");
  set_output_sink(discard);
  set_search_runner(checked_search);
}

void reset_engine_for_input() {
  reset_options();
  reset_search_control();
  Control.InputPolling = false;
  char start[] = "position startpos";
  execute_command(start);
}

Move checked_search(Position& pos) {
  set_level(LevelDepth, 3);
  Control.NodeLimit = 4000;
  Control.SearchState = Thinking;
  Control.InputPolling = false;
  const Move best = ThinkDriver(pos);
  if (best == NoMove) {
    require(legal_move_count_in_game() == 0, "no move although legal moves exist");
  } else {
    require(legal_in_game(best), "an illegal best move");
    require(RootSearch.bestScore >= -MateScore && RootSearch.bestScore <= MateScore,
            "a score outside the window");
  }
  return best;
}

void require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  __builtin_trap();
}
