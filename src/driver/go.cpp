#include "driver/go.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "board/game.h"
#include "board/notation.h"
#include "core/input.h"
#include "core/options.h"
#include "core/output.h"
#include "core/random.h"
#include "search/control.h"
#include "eval/eval_cache.h"
#include "search/level.h"
#include "search/root.h"
#include "search/threads.h"
#include "search/transposition.h"

namespace {

struct GoParameters {
  bool ponder = false, infinite = false, clockGiven = false, movesToGoGiven = false;
  bool incrementGiven = false, depthGiven = false, moveTimeGiven = false, nodesGiven = false;
  bool mate = false, searchMoves = false;
  int32_t time = 0, increment = 0, movesToGo = 0, depth = 0, moveTime = 0, nodes = 0;
  int32_t mateMoves = 0;
};

enum Keyword {
  KeyNone, KeyPonder, KeyInfinite, KeyWtime, KeyBtime, KeyWinc, KeyBinc, KeyMovesToGo,
  KeyDepth, KeyMoveTime, KeyNodes, KeyMate, KeySearchMoves
};

Keyword keyword_of(const char* token) {
  static constexpr struct { const char* text; Keyword key; } words[] = {
      {"ponder", KeyPonder},       {"infinite", KeyInfinite}, {"wtime", KeyWtime},
      {"btime", KeyBtime},         {"winc", KeyWinc},         {"binc", KeyBinc},
      {"movestogo", KeyMovesToGo}, {"depth", KeyDepth},       {"movetime", KeyMoveTime},
      {"nodes", KeyNodes},         {"mate", KeyMate},         {"searchmoves", KeySearchMoves}};
  for (const auto& w : words)
    if (std::strcmp(token, w.text) == 0) return w.key;
  return KeyNone;
}

// Reads the parameters; a parameter whose value is missing ends the list. Fills SearchMoves.
void read_parameters(Tokenizer& tokens, int side, GoParameters& go) {
  int searchMoveCount = 0;
  while (char* token = tokens.take()) {
    const Keyword key = keyword_of(token);
    int32_t value = 0;
    if (key != KeyNone && key != KeyPonder && key != KeyInfinite && key != KeySearchMoves) {
      const char* text = tokens.take();
      if (!text) return;
      value = read_number(text);
    }
    switch (key) {
      case KeyPonder: go.ponder = true; break;
      case KeyInfinite: go.infinite = true; break;
      case KeyWtime:
        if (side == White) go.time = value, go.clockGiven = true;
        break;
      case KeyBtime:
        if (side == Black) go.time = value, go.clockGiven = true;
        break;
      case KeyWinc:
        if (side == White) go.increment = value, go.incrementGiven = true;
        break;
      case KeyBinc:
        if (side == Black) go.increment = value, go.incrementGiven = true;
        break;
      case KeyMovesToGo: go.movesToGo = value, go.movesToGoGiven = true; break;
      case KeyDepth: go.depth = value, go.depthGiven = true; break;
      case KeyMoveTime: go.moveTime = value, go.moveTimeGiven = true; break;
      case KeyNodes: go.nodes = value, go.nodesGiven = true; break;
      case KeyMate: go.mate = true, go.mateMoves = value; break;
      case KeySearchMoves: go.searchMoves = true; break;
      case KeyNone:
        // Room for 220 moves; further ones are ignored.
        if (go.searchMoves && searchMoveCount < SearchMovesCapacity) {
          const Move m = parse_move_text(token, GameBoard.board, side);
          if (m) {
            Control.SearchMoves[searchMoveCount++] = m;
            Control.SearchMoves[searchMoveCount] = NoMove;
          }
        }
        break;
    }
  }
}

SearchRunner Runner = ThinkDriver;

void lower_short_poll_interval(uint64_t interval) {
  if (interval < Control.PollIntervalShort) Control.PollIntervalShort = interval;
}

void select_level(const GoParameters& go) {
  if (go.infinite) {
    set_level(LevelDepth, LevelMaxDepth);
  } else if (go.moveTimeGiven) {
    set_level(LevelMoveTime, go.moveTime);
  } else if (go.depthGiven) {
    set_level(LevelDepth, go.depth);
  } else if (go.nodesGiven) {
    // A count of 0 or less is the smallest budget, not none: the search still finds a move.
    Control.NodeLimit = go.nodes > 0 ? uint32_t(go.nodes) : 1;
    lower_short_poll_interval(uint64_t(Control.NodeLimit / 100 + 1));
    set_level(LevelDepth, LevelMaxDepth);
  } else if (go.mate) {
    // A mate search: on until a mate in that many moves or less is proven.
    Control.MateMoves = go.mateMoves > 0 ? go.mateMoves : 0;
    set_level(LevelDepth, LevelMaxDepth);
  } else if (go.clockGiven) {
    const int32_t increment = go.incrementGiven ? go.increment : 0;
    if (go.movesToGoGiven) set_level(LevelMovesToGo, go.time, go.movesToGo, increment);
    else set_level(LevelSuddenDeath, go.time, 0, increment);
  } else {
    // No limit named: the start-up level, never what an earlier "go" asked for.
    set_level(LevelDepth, DefaultLevelDepth);
  }
}

// An infinite search ends only on "stop" or "quit": one that is over by itself (a mate found,
// a single legal move, the depth limit, a strength budget spent) holds its move back until
// then, reading commands meanwhile. Without input polling (a tool run) nobody can send them.
void wait_for_stop() {
  while (Control.InputPolling && !Control.StopReceived && !Control.QuitRequested) read_command();
}

}  // namespace

void set_search_runner(SearchRunner runner) { Runner = runner ? runner : ThinkDriver; }

uint32_t limit_strength_node_budget() {
  // Ten nodes at 1000 Elo, doubling every 100 points, spread at random.
  int64_t base = int64_t(std::pow(2.0, (Options.EloSetting - 1000) / 100.0) * 10.0);
  const int64_t r = std::llabs(int64_t(random_number()));
  if (r & 1) {
    base += (r % 3) * base;
  } else {
    int64_t d = 3 * base / 4;
    if (d < 1) d = 1;
    base -= r % d;
    if (base < 3) base = 3;
  }
  return uint32_t(base);
}

void send_bestmove(Move best, Move ponder) {
  char bestText[6], ponderText[6];
  move_text(best, bestText);
  if (!ponder) {
    send_line("bestmove %s\n", bestText);
    return;
  }
  move_text(ponder, ponderText);
  send_line("bestmove %s ponder %s\n", bestText, ponderText);
}

void go_command(Tokenizer& tokens) {
  if (Control.SearchState != Idle) return;
  Control.PollIntervalShort = Control.PollIntervalLong / 4;
  Control.SearchMoves[0] = NoMove;
  Control.NodeLimit = 0;
  Control.MateMoves = 0;
  Control.StopReceived = false;

  const int side = current_game_entry().side;
  GoParameters go;
  read_parameters(tokens, side, go);
  // Nothing of the command line is used from here on: commands read during the search
  // overwrite it.
  select_level(go);

  if (Options.LimitStrength) {
    const uint32_t budget = limit_strength_node_budget();
    // A limited search always starts from empty tables; when they are kept between searches
    // the search would not clear them itself.
    if (Options.KeepHashMain) {
      clear_transposition_table();
      clear_eval_cache();
    }
    Control.NodeLimit = budget;
    lower_short_poll_interval(budget / 100 + 1);
  }

  Control.SearchState = go.ponder ? Pondering : Thinking;
  const Move best = Runner(main_position());
  if (go.infinite) wait_for_stop();
  const Move ponder = best ? RootSearch.ponderMove : NoMove;
  Control.SearchState = Idle;
  send_bestmove(best, ponder);
}
