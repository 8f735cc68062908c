// The evaluation oracle: searches the bench positions and plays self-play games at a fixed
// node count inside this program, with the verify build's evaluation checks on at every node:
// each cached or incremental input of the evaluation is recomputed from the board and compared,
// and every lazy exit is weighed against the complete value. Every position of the games is
// also evaluated colour-mirrored. Prints the per-check table, the lazy-exit table and the last
// line "verify eval: N checked, D disagreements"; exits 1 on a disagreement.
//
//   verify_eval [--quick] [--openings FILE]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "board/game.h"
#include "board/legality.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "board/setup.h"
#include "core/options.h"
#include "core/output.h"
#include "driver/bench.h"
#include "driver/hash_tables.h"
#include "driver/startup.h"
#include "eval/eval_oracle.h"
#include "eval/thread_tables.h"
#include "platform/clock.h"
#include "search/control.h"
#include "search/level.h"
#include "search/root.h"
#include "search/threads.h"

namespace {

void discard_output(const char*, size_t) {}

struct Settings {
  bool quick = false;
  const char* openingsFile = nullptr;
  int benchDepth = 8;
  int gamesPerConfig = 70;    // for each of the three weight settings
  uint32_t nodesPerMove = 2000;
  int maxPlies = 60;          // opening and middlegame; the bench covers the endings
};

// A heap Position with its own evaluation tables, for the mirror check.
struct ScratchPosition {
  Position* pos;
  ScratchPosition() : pos(static_cast<Position*>(std::calloc(1, sizeof(Position)))) {
    init_position(*pos, 0);
    if (!allocate_thread_eval_tables(*pos)) {
      std::printf("verify eval: not enough memory\n");
      std::exit(2);
    }
  }
  ~ScratchPosition() {
    free_thread_eval_tables(*pos);
    std::free(pos);
  }
};

struct MirrorCounts {
  uint64_t checked = 0, failed = 0;
  int printed = 0;
};
MirrorCounts Mirror;

void mirror_check(const Position& src, const PlyState& ply, ScratchPosition& a, ScratchPosition& b) {
  ++Mirror.checked;
  char what[160];
  if (mirror_evaluations_agree(src, ply, *a.pos, *b.pos, what, sizeof what)) return;
  ++Mirror.failed;
  if (Mirror.printed++ < 20) {
    char fen[100];
    position_fen(src, ply, fen, sizeof fen);
    std::printf("DISAGREE colour mirror: %s  fen %s\n", what, fen);
  }
}

// Searches the current GameBoard position; returns the move or 0.
Move search_game_position(int depth, uint32_t nodes) {
  load_game_into_threads();
  set_level(LevelDepth, depth);
  Control.NodeLimit = nodes;
  if (nodes) {
    Control.PollIntervalShort = nodes / 100 + 1;
    Control.PollIntervalLong = nodes / 100 + 1;
  }
  set_output_sink(discard_output);
  Control.SearchState = Thinking;
  const Move best = ThinkDriver(main_position());
  Control.SearchState = Idle;
  set_output_sink(nullptr);
  Control.NodeLimit = 0;
  return best;
}

void progress(const char* stage) {
  std::printf("%-28s evaluations %10llu  disagreements %llu  mirrored %llu (%llu differ)\n", stage,
              static_cast<unsigned long long>(EvalOracle.evaluations),
              static_cast<unsigned long long>(eval_oracle_disagreements()),
              static_cast<unsigned long long>(Mirror.checked), static_cast<unsigned long long>(Mirror.failed));
  std::fflush(stdout);
}

void run_bench(const Settings& settings) {
  int index = 0;
  for (int i = 0; i < BenchPositionCount; ++i) {
    ++index;
    if (!parse_fen(BenchPositions[i], GameBoard.board, GameBoard.start)) continue;
    reset_game_record();
    clear_all_hash_tables();
    search_game_position(settings.benchDepth, 0);
    char stage[40];
    std::snprintf(stage, sizeof stage, "bench position %d", index);
    progress(stage);
  }
}

std::vector<std::string> read_openings(const char* path) {
  std::vector<std::string> lines;
  const char* candidates[] = {path, "tools/referee/openings-wide.txt", "../tools/referee/openings-wide.txt",
                              "../../tools/referee/openings-wide.txt"};
  for (const char* file : candidates) {
    if (!file) continue;
    FILE* f = std::fopen(file, "r");
    if (!f) continue;
    char buffer[1024];
    while (std::fgets(buffer, sizeof buffer, f))
      if (buffer[0] != '#' && buffer[0] != '\n') lines.emplace_back(buffer);
    std::fclose(f);
    std::printf("openings: %zu from %s\n", lines.size(), file);
    return lines;
  }
  std::printf("openings: no opening file found, random legal openings of 8 plies\n");
  return lines;
}

// The legal moves of the GameBoard position.
std::vector<Move> legal_game_moves(Position& scratch) {
  setup_root_from_game(scratch);
  PlyState& root = scratch.plies[0];
  reset_ply_lists(root);
  root.hashMove = root.hashMove2Tried = NoMove;
  generate_moves(scratch, root, GenAll, 1);
  std::vector<Move> moves;
  for (MoveEntry* e = root.captureBegin; e->score != SentinelScore; ++e) moves.push_back(e->move);
  for (MoveEntry* e = root.quietBegin; e->score != SentinelScore; ++e) moves.push_back(e->move);
  std::vector<Move> legal;
  for (Move m : moves) {
    root.move = m;
    if (PlyState* next = make_move(scratch, root)) {
      legal.push_back(m);
      unmake_move(scratch, *next);
    }
  }
  return legal;
}

bool play_opening(const std::vector<std::string>& openings, int game, std::mt19937& rng, Position& scratch) {
  set_start_position(GameBoard.board, GameBoard.start);
  reset_game_record();
  if (!openings.empty()) {
    const std::string& line = openings[size_t(game / 2) % openings.size()];
    char text[1024];
    std::snprintf(text, sizeof text, "%s", line.c_str());
    for (char* word = std::strtok(text, " \t\r\n"); word; word = std::strtok(nullptr, " \t\r\n")) {
      const Move parsed = parse_move_text(word, GameBoard.board, current_game_entry().side);
      setup_root_from_game(scratch);
      const Move m = parsed ? find_legal_move(scratch, parsed) : NoMove;
      if (!m) return false;
      apply_game_move(m);
    }
    return true;
  }
  for (int i = 0; i < 8; ++i) {
    const std::vector<Move> legal = legal_game_moves(scratch);
    if (legal.empty()) return false;
    apply_game_move(legal[rng() % legal.size()]);
  }
  return true;
}

bool repeated_three_times() {
  const uint32_t last = GameBoard.keys[GameBoard.keyTop];
  int seen = 0;
  for (int i = GameKeyLead; i <= GameBoard.keyTop; ++i) seen += GameBoard.keys[i] == last;
  return seen >= 3;
}

int men_on_board() {
  int men = 0;
  for (Square s = 1; s <= 64; ++s) men += GameBoard.board[s] != Empty;
  return men;
}

void play_games(const Settings& settings, const char* name, const std::vector<std::string>& openings,
                ScratchPosition& game, ScratchPosition& a, ScratchPosition& b) {
  std::mt19937 rng(2024);
  int plies = 0;
  for (int g = 0; g < settings.gamesPerConfig; ++g) {
    if (!play_opening(openings, g, rng, *game.pos)) continue;
    clear_all_hash_tables();
    for (int ply = 0; ply < settings.maxPlies; ++ply) {
      setup_root_from_game(*game.pos);
      mirror_check(*game.pos, game.pos->plies[0], a, b);
      if (repeated_three_times() || men_on_board() <= 2) break;
      const Move m = search_game_position(LevelMaxDepth, settings.nodesPerMove);
      if (!m) break;
      apply_game_move(m);
      ++plies;
    }
    if ((g + 1) % (settings.quick ? 1 : 10) == 0) {
      char stage[48];
      std::snprintf(stage, sizeof stage, "%s: %d games, %d plies", name, g + 1, plies);
      progress(stage);
    }
  }
}

void set_weights(int percent) {
  reset_options();
  Options.PositionLearning = 0;
  if (percent == 100) return;
  for (int w : {WeightKingSafety, WeightPawnStructure, WeightPawnStructureEnd, WeightCenterControl,
                WeightPassedPawns, WeightPassedPawnsEnd, WeightKnight, WeightBishop, WeightRook, WeightQueen,
                WeightBishopPair})
    Options.EvalWeights[w] = percent;
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0) settings.quick = true;
    else if (std::strcmp(argv[i], "--openings") == 0 && i + 1 < argc) settings.openingsFile = argv[++i];
  }
  if (settings.quick) {
    settings.benchDepth = 5;
    settings.gamesPerConfig = 2;
    settings.nodesPerMove = 1000;
    settings.maxPlies = 40;
  }
  if (!startup(false)) return 2;
  Control.InputPolling = false;
  Options.PositionLearning = 0;
  reset_eval_oracle();
  const int64_t start = tick_count();

  std::printf("verify eval: bench positions at depth %d, then %d self-play games per setting at %u nodes a move\n",
              settings.benchDepth, settings.gamesPerConfig, settings.nodesPerMove);
  run_bench(settings);

  const std::vector<std::string> openings = read_openings(settings.openingsFile);
  ScratchPosition game, a, b;
  const struct {
    const char* name;
    int percent;
  } configs[] = {{"defaults", 100}, {"weights 25%", 25}, {"weights 400%", 400}};
  for (const auto& config : configs) {
    set_weights(config.percent);
    play_games(settings, config.name, openings, game, a, b);
  }
  reset_options();

  std::printf("\n");
  print_eval_oracle_tables();
  std::printf("\n%-26s %14llu %12llu\n", "colour mirror", static_cast<unsigned long long>(Mirror.checked),
              static_cast<unsigned long long>(Mirror.failed));
  std::printf("time %lld s\n", static_cast<long long>((tick_count() - start) / 1000));
  const uint64_t disagreements = eval_oracle_disagreements() + Mirror.failed;
  std::printf("verify eval: %llu checked, %llu disagreements\n",
              static_cast<unsigned long long>(EvalOracle.evaluations + Mirror.checked),
              static_cast<unsigned long long>(disagreements));
  shutdown();
  return disagreements ? 1 : 0;
}
