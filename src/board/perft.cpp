#include "board/perft.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/setup.h"
#include "board/tables.h"

namespace {

constexpr const char* StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// Runs `visit(move, nextPly)` for every legal move of the position at `ply`.
template <typename Visit>
void for_each_legal_move(Position& pos, PlyState& ply, Visit visit) {
  reset_ply_lists(ply);
  ply.hashMove = NoMove;
  generate_moves(pos, ply, GenAll, 1);
  for (MoveEntry* list : {ply.captureBegin, ply.quietBegin}) {
    for (MoveEntry* e = list; e->score != SentinelScore; ++e) {
      ply.move = e->move;
      if (PlyState* next = make_move(pos, ply)) {
        visit(e->move, *next);
        unmake_move(pos, *next);
      }
    }
  }
}

}  // namespace

uint64_t perft(Position& pos, PlyState* ply, int depth) {
  if (depth <= 0) return 1;
  uint64_t count = 0;
  for_each_legal_move(pos, *ply, [&](Move, PlyState& next) {
    count += depth == 1 ? 1 : perft(pos, &next, depth - 1);
  });
  return count;
}

int perft_command(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: perft DEPTH [FEN]\n");
    return 2;
  }
  const int depth = std::atoi(argv[1]);
  if (depth < 1 || depth >= MaxPly) {
    std::fprintf(stderr, "perft: depth must be 1..%d\n", MaxPly - 1);
    return 2;
  }
  char fen[512] = "";
  for (int i = 2; i < argc; ++i) {
    std::strncat(fen, argv[i], sizeof fen - std::strlen(fen) - 2);
    std::strncat(fen, " ", sizeof fen - std::strlen(fen) - 1);
  }
  if (!fen[0]) std::snprintf(fen, sizeof fen, "%s", StartFen);

  build_startup_tables();
  auto pos = std::make_unique<Position>();
  init_position(*pos, 0);
  if (!set_position_from_fen(*pos, fen)) {
    std::fprintf(stderr, "perft: invalid FEN\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  uint64_t total = 0;
  for_each_legal_move(*pos, pos->plies[0], [&](Move m, PlyState& next) {
    const uint64_t n = perft(*pos, &next, depth - 1);
    char text[6];
    move_text(m, text);
    std::printf("%s: %llu\n", text, static_cast<unsigned long long>(n));
    total += n;
  });
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start).count();
  const unsigned long long nps = ms > 0 ? total * 1000ull / uint64_t(ms) : total * 1000ull;
  std::printf("time %lld ms nps %llu\n", static_cast<long long>(ms), nps);
  std::printf("nodes %llu\n", static_cast<unsigned long long>(total));
  return 0;
}
