// Thousands of random legal games: after every make and every unmake the incremental state
// must equal a rebuild from the board, and unmake must restore the board part exactly; in every
// position in check, the evasion generator must give exactly the legal moves that the generic
// generator gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <vector>

#include "board/consistency.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "support/positions.h"

namespace {

// The board part of a Position with the attacker squares sorted (their order is free).
std::vector<uint8_t> board_part(const Position& pos) {
  std::vector<uint8_t> out(pos.board, pos.board + SquareCount);
  out.insert(out.end(), pos.slotSquare, pos.slotSquare + 2 * ColourListSize);
  for (Square s = 1; s <= 64; ++s) out.push_back(pos.board[s] ? pos.squareSlot[s] : 0);
  for (const TypeList& list : pos.typeList) {
    out.push_back(list.count);
    out.insert(out.end(), list.slot, list.slot + list.count);
  }
  out.insert(out.end(), pos.pieceCount, pos.pieceCount + 16);
  for (int c = 0; c < 2; ++c)
    for (Square s = 1; s <= 64; ++s) {
      const AttackEntry& e = pos.attacks[c][s];
      std::vector<uint8_t> squares(e.squares, e.squares + e.count);
      std::sort(squares.begin(), squares.end());
      out.push_back(uint8_t(e.count));
      out.push_back(uint8_t(e.sliders));
      out.insert(out.end(), squares.begin(), squares.end());
    }
  out.push_back(uint8_t(pos.capturedTop));
  return out;
}

std::set<Move> legal_from(Position& pos, PlyState& ply, bool evasionPath) {
  const uint32_t flags = ply.flags;
  if (!evasionPath) ply.flags &= ~InCheckFlag;  // the generic generator, filtered by make_move
  reset_ply_lists(ply);
  ply.hashMove = NoMove;
  generate_moves(pos, ply, GenAll, 1);
  ply.flags = flags;
  std::set<Move> legal;
  for (MoveEntry* list : {ply.captureBegin, ply.quietBegin})
    for (MoveEntry* e = list; e->score != SentinelScore; ++e) {
      ply.move = e->move;
      if (PlyState* next = make_move(pos, ply)) {
        unmake_move(pos, *next);
        legal.insert(e->move);
      }
    }
  reset_ply_lists(ply);
  return legal;
}

TEST(RandomGames, ConsistentAfterEveryMakeAndUnmakeAndEvasionsAreComplete) {
  auto pos = new_position();
  std::mt19937 rng(2026);
  int games = 0, checkPositions = 0;
  const char* why = nullptr;
  for (; games < 2000; ++games) {
    set_fen(*pos, TestFens[games % TestFens.size()]);
    std::vector<std::vector<uint8_t>> before;
    PlyState* ply = &pos->plies[0];
    for (int step = 0; step < 70 && ply->ply < MaxPly - 2; ++step) {
      if (ply->flags & InCheckFlag) {
        ++checkPositions;
        ASSERT_EQ(legal_from(*pos, *ply, true), legal_from(*pos, *ply, false)) << "game " << games;
      }
      const std::vector<Move> moves = legal_moves(*pos, *ply);
      if (moves.empty()) break;
      before.push_back(board_part(*pos));
      ply->move = moves[rng() % moves.size()];
      ply = make_move(*pos, *ply);
      ASSERT_NE(ply, nullptr);
      ASSERT_TRUE(position_is_consistent(*pos, *ply, &why)) << why << " after a make in game " << games;
    }
    while (ply->ply > 0) {
      unmake_move(*pos, *ply);
      --ply;
      ASSERT_TRUE(position_is_consistent(*pos, *ply, &why)) << why << " after an unmake in game " << games;
      ASSERT_EQ(board_part(*pos), before.back()) << "unmake did not restore game " << games;
      before.pop_back();
    }
  }
  EXPECT_EQ(games, 2000);
  EXPECT_GT(checkPositions, 1000);
}

}  // namespace
