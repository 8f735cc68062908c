#include "support/positions.h"

#include <gtest/gtest.h>

#include "board/legality.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "board/setup.h"
#include "board/tables.h"

void ensure_tables() {
  static const bool built = (build_startup_tables(), true);
  (void)built;
}

std::unique_ptr<Position> new_position() {
  ensure_tables();
  auto pos = std::make_unique<Position>();
  init_position(*pos, 0);
  return pos;
}

void set_fen(Position& pos, const char* fen) {
  ensure_tables();
  ASSERT_TRUE(set_position_from_fen(pos, fen)) << fen;
}

std::vector<Move> legal_moves(Position& pos, PlyState& ply) {
  std::vector<Move> moves;
  reset_ply_lists(ply);
  ply.hashMove = NoMove;
  generate_moves(pos, ply, GenAll, 1);
  for (MoveEntry* list : {ply.captureBegin, ply.quietBegin})
    for (MoveEntry* e = list; e->score != SentinelScore; ++e) {
      ply.move = e->move;
      if (PlyState* next = make_move(pos, ply)) {
        unmake_move(pos, *next);
        moves.push_back(e->move);
      }
    }
  reset_ply_lists(ply);
  return moves;
}

PlyState* play_random_moves(Position& pos, std::mt19937& rng, int plies) {
  PlyState* ply = &pos.plies[0];
  for (int i = 0; i < plies && ply->ply < MaxPly - 2; ++i) {
    const std::vector<Move> moves = legal_moves(pos, *ply);
    if (moves.empty()) break;
    ply->move = moves[rng() % moves.size()];
    ply = make_move(pos, *ply);
  }
  return ply;
}

void take_back_all(Position& pos, PlyState* ply) {
  while (ply->ply > 0) {
    unmake_move(pos, *ply);
    --ply;
  }
}

const std::vector<const char*> TestFens = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4",
    "8/P7/8/8/8/8/1k4Kp/8 w - - 0 1",
    "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1",
    "2r3k1/5ppp/8/8/8/8/5PPP/2R3K1 b - - 0 1",
    "6k1/5ppp/8/8/8/2q5/5PPP/3R2K1 w - - 0 1",
    "r1b1k2r/ppp2ppp/2n5/3qp3/1b1P4/2N2N2/PPPB1PPP/R2QKB1R w KQkq - 0 8",
};

bool legal_in(const char* fen, const std::string& text) {
  auto pos = new_position();
  if (!set_position_from_fen(*pos, fen)) return false;
  const Move parsed = parse_move_text(text.c_str(), pos->board, pos->plies[0].side);
  return parsed && find_legal_move(*pos, parsed) != NoMove;
}
