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

// What the attack tables tell about a generated move without making it.
enum class Legality { Legal, Illegal, Unknown };

// Moves from a position that is not in check. A king move is legal when no enemy man attacks
// the destination (no slider sees the king, so none can see through it). Another man's move is
// legal unless the man may be pinned: an enemy slider attacks it from the line through the king.
// Castling, en passant and possibly pinned men are left to make_move.
Legality legality_unmade(const Position& pos, const PlyState& ply, Move m) {
  if (m & (CastleFlag | EnPassantFlag)) return Legality::Unknown;
  const int side = ply.side, enemy = side ^ 1;
  const Square from = move_from(m);
  if (is_king(move_piece(m)))
    return pos.attacks[enemy][move_to(m)].count ? Legality::Illegal : Legality::Legal;
  const AttackEntry& seen = pos.attacks[enemy][from];
  if (seen.sliders == 0) return Legality::Legal;
  const int32_t towardKing = Direction[from][king_square(pos, side)];
  if (towardKing == 0) return Legality::Legal;
  for (int i = 0; i < seen.count; ++i)
    if (Direction[seen.squares[i]][from] == towardKing) return Legality::Unknown;
  return Legality::Legal;
}

// Legal moves of the position at `ply`, made only where the tables cannot tell.
uint64_t count_legal_moves(Position& pos, PlyState& ply) {
  reset_ply_lists(ply);
  ply.hashMove = NoMove;
  generate_moves(pos, ply, GenAll, 1);
  const bool inCheck = in_check(ply);
  uint64_t count = 0;
  for (MoveEntry* list : {ply.captureBegin, ply.quietBegin}) {
    for (MoveEntry* e = list; e->score != SentinelScore; ++e) {
      const Legality verdict = inCheck ? Legality::Unknown : legality_unmade(pos, ply, e->move);
      if (verdict != Legality::Unknown) {
        count += verdict == Legality::Legal;
        continue;
      }
      ply.move = e->move;
      if (PlyState* next = make_move(pos, ply)) {
        ++count;
        unmake_move(pos, *next);
      }
    }
  }
  return count;
}

}  // namespace

uint64_t perft_bulk(Position& pos, PlyState* ply, int depth) {
  if (depth <= 0) return 1;
  if (depth == 1) return count_legal_moves(pos, *ply);
  uint64_t count = 0;
  for_each_legal_move(pos, *ply, [&](Move, PlyState& next) {
    count += perft_bulk(pos, &next, depth - 1);
  });
  return count;
}

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
    std::fprintf(stderr, "usage: perft DEPTH [FEN] [bulk]\n");
    return 2;
  }
  const int depth = std::atoi(argv[1]);
  if (depth < 1 || depth >= MaxPly) {
    std::fprintf(stderr, "perft: depth must be 1..%d\n", MaxPly - 1);
    return 2;
  }
  const bool bulk = argc > 2 && std::strcmp(argv[argc - 1], "bulk") == 0;
  if (bulk) --argc;
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
    const uint64_t n = bulk ? perft_bulk(*pos, &next, depth - 1) : perft(*pos, &next, depth - 1);
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
