#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "board/consistency.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/setup.h"
#include "board/zobrist.h"
#include "support/positions.h"

namespace {

// Everything of the board part that must come back exactly after make + unmake. Attack
// entries must come back with their squares in the same order (the move generator walks
// them, so the order decides the order of moves); bytes past an entry's count do not matter.
struct BoardSnapshot {
  uint8_t board[SquareCount], squareSlot[SquareCount], slotSquare[2 * ColourListSize];
  TypeList typeList[16];
  uint8_t pieceCount[16];
  AttackEntry attacks[2][SquareCount];
  int capturedTop;
  uint32_t* repTop;

  explicit BoardSnapshot(const Position& pos) {
    std::memset(this, 0, sizeof *this);
    std::memcpy(board, pos.board, sizeof board);
    for (Square s = 1; s <= 64; ++s)
      if (pos.board[s]) squareSlot[s] = pos.squareSlot[s];
    std::memcpy(slotSquare, pos.slotSquare, sizeof slotSquare);
    for (int code = 0; code < 16; ++code) {
      typeList[code].count = pos.typeList[code].count;
      std::memcpy(typeList[code].slot, pos.typeList[code].slot, pos.typeList[code].count);
    }
    std::memcpy(pieceCount, pos.pieceCount, sizeof pieceCount);
    std::memcpy(attacks, pos.attacks, sizeof attacks);
    for (auto& side : attacks)
      for (AttackEntry& e : side) std::fill(e.squares + e.count, e.squares + AttackSlots, 0);
    capturedTop = pos.capturedTop;
    repTop = pos.repTop;
  }
  bool operator==(const BoardSnapshot& o) const { return std::memcmp(this, &o, sizeof *this) == 0; }
};

// Walks random games; at every position every generated move is made, checked against a
// rebuild from scratch, and taken back, and the board must come back exactly.
TEST(MakeUnmake, IncrementalStateMatchesARebuildOverRandomGames) {
  auto pos = new_position();
  std::mt19937 rng(12345);
  int checkedMoves = 0;
  for (int game = 0; game < 60; ++game) {
    set_fen(*pos, TestFens[game % TestFens.size()]);
    PlyState* ply = &pos->plies[0];
    const char* why = nullptr;
    ASSERT_TRUE(position_is_consistent(*pos, *ply, &why)) << why;
    for (int step = 0; step < 80; ++step) {
      const BoardSnapshot before(*pos);
      const PlyState saved = *ply;
      std::vector<Move> legal;
      reset_ply_lists(*ply);
      ply->hashMove = NoMove;
      generate_moves(*pos, *ply, GenAll, 1);
      std::vector<Move> generated;
      for (MoveEntry* list : {ply->captureBegin, ply->quietBegin})
        for (MoveEntry* e = list; e->score != SentinelScore; ++e) generated.push_back(e->move);
      for (Move m : generated) {
        ply->move = m;
        PlyState* next = make_move(*pos, *ply);
        if (next) {
          ASSERT_TRUE(position_is_consistent(*pos, *next, &why)) << why << " after " << m;
          // The key the search prefetches the table slot with, computed before the move.
          ASSERT_EQ(index_key_after(*ply), next->indexKey) << "move " << m;
          unmake_move(*pos, *next);
          legal.push_back(m);
          ++checkedMoves;
        }
        ASSERT_TRUE(BoardSnapshot(*pos) == before) << "move " << m << (next ? " (legal)" : " (illegal)");
      }
      EXPECT_EQ(ply->indexKey, saved.indexKey);
      EXPECT_EQ(ply->score, saved.score);
      if (legal.empty()) break;
      ply->move = legal[rng() % legal.size()];
      ply = make_move(*pos, *ply);
      ASSERT_NE(ply, nullptr);
      if (ply->ply >= MaxPly - 2) break;
    }
    take_back_all(*pos, ply);
    ASSERT_TRUE(position_is_consistent(*pos, pos->plies[0], &why)) << why;
  }
  EXPECT_GT(checkedMoves, 50000);
}

// The piece-square score is kept incrementally from a table the evaluation fills; with a
// non-zero table and offset it must still equal the from-scratch sum.
TEST(MakeUnmake, PieceSquareScoreFollowsTheTable) {
  auto pos = new_position();
  std::mt19937 rng(7);
  for (int p = 0; p < 16; ++p)
    for (int s = 0; s < SquareCount; ++s) PieceSquareTable[p][s] = int32_t(rng() % 61) - 30;
  PieceSquareOffset = 17;
  for (const char* fen : TestFens) {
    set_fen(*pos, fen);
    PlyState* ply = play_random_moves(*pos, rng, 40);
    const char* why = nullptr;
    EXPECT_TRUE(position_is_consistent(*pos, *ply, &why)) << why << " in " << fen;
    take_back_all(*pos, ply);
  }
  std::memset(PieceSquareTable, 0, sizeof PieceSquareTable);
  PieceSquareOffset = 0;
}

TEST(MakeUnmake, IllegalMovesAreRefusedWithNothingChanged) {
  auto pos = new_position();
  struct Case {
    const char* fen;
    Move move;
    const char* what;
  };
  const Case cases[] = {
      {"4k3/8/8/8/8/8/8/R3K2r w Q - 0 1", WhiteLongCastle, "castling while in check"},
      {"4k3/8/8/8/8/8/3r4/R3K3 w Q - 0 1", WhiteLongCastle, "castling through an attacked square"},
      {"4k3/8/8/8/8/8/2r5/R3K3 w Q - 0 1", WhiteLongCastle, "castling onto an attacked square"},
      {"4k3/8/8/8/8/8/8/RN2K3 w Q - 0 1", WhiteLongCastle, "castling across a man"},
      {"8/8/8/K2pP2r/8/8/8/7k w - d6 0 1", encode_move(37, 44, 0, BlackPawn, WhitePawn, EnPassantFlag),
       "en passant exposing the king along the rank"},
      {"4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1", encode_move(13, 23, 0, 0, WhiteKnight), "pinned knight"},
      {"4k3/4r3/8/8/8/5p2/4B3/4K3 w - - 0 1", encode_move(13, 22, 0, BlackPawn, WhiteBishop),
       "capture with a pinned bishop"},
  };
  for (const Case& c : cases) {
    set_fen(*pos, c.fen);
    const BoardSnapshot before(*pos);
    pos->plies[0].move = c.move;
    EXPECT_EQ(make_move(*pos, pos->plies[0]), nullptr) << c.what;
    EXPECT_TRUE(BoardSnapshot(*pos) == before) << c.what;
  }
  // Castling long with b1 attacked but empty is allowed: only e1, d1 and c1 matter.
  set_fen(*pos, "4k3/8/8/8/8/8/1r6/R3K3 w Q - 0 1");
  pos->plies[0].move = WhiteLongCastle;
  PlyState* next = make_move(*pos, pos->plies[0]);
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(pos->board[3], WhiteKing);
  EXPECT_EQ(pos->board[4], WhiteRook);
  EXPECT_EQ(next->flags & CastleMask, 0u);
  unmake_move(*pos, *next);
}

TEST(MakeUnmake, NullMoveKeysFlagsAndRepetitionWindow) {
  auto pos = new_position();
  set_fen(*pos, "r3k2r/8/8/3pP3/8/8/8/R3K2R w KQkq d6 0 1");
  PlyState& root = pos->plies[0];
  root.move = NullMoveFlag;
  PlyState* next = make_move(*pos, root);
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(next->indexKey, root.indexKey);
  EXPECT_EQ(next->lockKey, root.lockKey);
  EXPECT_EQ(next->flags, uint32_t(CastleMask));  // rights kept, no en passant, no check
  EXPECT_EQ(next->score, -root.score);
  EXPECT_EQ(next->repStart, pos->repTop);  // a null move starts a new window
  unmake_move(*pos, *next);
  EXPECT_EQ(pos->repTop, pos->repStack);

  // Reversible moves keep the window start; the key comes back after a knight tour.
  set_fen(*pos, "4k3/8/8/8/8/8/8/4K1N1 w - - 0 1");
  const uint32_t rootKey = pos->plies[0].lockKey;
  PlyState* ply = &pos->plies[0];
  const Move tour[4] = {encode_move(7, 22, 0, 0, WhiteKnight), encode_move(61, 62, 0, 0, BlackKing),
                        encode_move(22, 7, 0, 0, WhiteKnight), encode_move(62, 61, 0, 0, BlackKing)};
  for (Move m : tour) {
    ply->move = m;
    ply = make_move(*pos, *ply);
    ASSERT_NE(ply, nullptr);
  }
  EXPECT_EQ(ply->lockKey, rootKey);
  EXPECT_EQ(ply->repStart, pos->plies[0].repStart);
  EXPECT_EQ(pos->repTop - ply->repStart, 4);
  take_back_all(*pos, ply);
}

TEST(MakeUnmake, LinesOpenAndCloseAcrossMovingMen) {
  auto pos = new_position();
  // The black rook on a8 looks down the a-file to the knight on a4.
  set_fen(*pos, "r3k3/8/8/8/N7/8/8/4K3 w - - 0 1");
  EXPECT_EQ(pos->attacks[Black][square_at(1, 3)].count, 0);
  PlyState& root = pos->plies[0];
  root.move = encode_move(25, 19, 0, 0, WhiteKnight);  // Na4-c3 vacates the file
  PlyState* next = make_move(*pos, root);
  ASSERT_NE(next, nullptr);
  for (int rank = 1; rank <= 7; ++rank)
    EXPECT_EQ(pos->attacks[Black][square_at(1, rank)].count, 1) << rank;
  next->move = encode_move(61, 60, 0, 0, BlackKing);
  PlyState* second = make_move(*pos, *next);
  ASSERT_NE(second, nullptr);
  second->move = encode_move(19, 9, 0, 0, WhiteKnight);  // Nc3-a2 cuts it again
  PlyState* third = make_move(*pos, *second);
  ASSERT_NE(third, nullptr);
  EXPECT_EQ(pos->attacks[Black][square_at(1, 2)].count, 1);
  EXPECT_EQ(pos->attacks[Black][square_at(1, 1)].count, 0);
  const char* why = nullptr;
  EXPECT_TRUE(position_is_consistent(*pos, *third, &why)) << why;
  take_back_all(*pos, third);
}

TEST(MakeUnmake, PromotionAndCaptureBookkeeping) {
  auto pos = new_position();
  set_fen(*pos, "1n2k3/P7/8/8/8/8/8/4K3 w - - 0 1");
  PlyState& root = pos->plies[0];
  const int queensBefore = pos->typeList[WhiteQueen].count;
  root.move = encode_move(49, 58, WhiteQueen, BlackKnight, WhitePawn);  // axb8=Q
  PlyState* next = make_move(*pos, root);
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(pos->typeList[WhiteQueen].count, queensBefore + 1);
  EXPECT_EQ(pos->pieceCount[WhitePawn], 0);
  EXPECT_EQ(pos->pieceCount[WhiteQueen], 1);
  EXPECT_EQ(pos->pieceCount[BlackKnight], 0);
  EXPECT_EQ(next->material[White], 1055);
  EXPECT_EQ(next->material[Black], 0);
  EXPECT_EQ(next->signature[White], 1024);
  EXPECT_EQ(next->capturedTypes, 1);  // a black knight
  EXPECT_EQ(next->pieces, 2 + 1);
  EXPECT_TRUE(next->flags & InCheckFlag);  // the new queen checks along the rank
  EXPECT_EQ(next->checks[Black], 1);
  // The pawn's slot, in the block of pawn slots, now holds the queen.
  EXPECT_EQ(pos->slotSquare[pos->squareSlot[58]], 58);
  EXPECT_EQ(pos->squareSlot[58], 1);
  unmake_move(*pos, *next);
  EXPECT_EQ(pos->typeList[WhiteQueen].count, queensBefore);
  EXPECT_EQ(pos->board[58], BlackKnight);
  EXPECT_EQ(pos->board[49], WhitePawn);
}

TEST(PositionKeys, IncrementalKeysAndTheirProperties) {
  auto pos = new_position();
  set_fen(*pos, TestFens[0]);
  uint32_t pawnLock = 1;
  for (Square s = 9; s <= 16; ++s) pawnLock ^= ZobristLock[WhitePawn][s];
  for (Square s = 49; s <= 56; ++s) pawnLock ^= ZobristLock[BlackPawn][s];
  EXPECT_EQ(pos->plies[0].pawnLock, pawnLock);

  // Castling rights and side to move are not part of the key.
  auto other = new_position();
  set_fen(*other, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b - - 0 1");
  EXPECT_EQ(other->plies[0].indexKey, pos->plies[0].indexKey);
  EXPECT_EQ(other->plies[0].lockKey, pos->plies[0].lockKey);

  EXPECT_EQ(ZobristIndex[0][1], 0x8DB9DA5Au);
  EXPECT_EQ(ZobristLock[0][1], 0x1D8AC8DBu);
  EXPECT_EQ(ZobristIndex[WhiteKing][1], 0x39743953u);
  EXPECT_EQ(ZobristLock[WhiteKing][1], 0x1343E41Fu);
  for (int p = 0; p < 16; ++p) {
    EXPECT_EQ(ZobristIndex[p][0], 0u);
    EXPECT_EQ(ZobristLock[p][0], 0u);
    for (Square s = 1; s <= 64; ++s) {
      ASSERT_NE(ZobristIndex[p][s], 0u);
      ASSERT_NE(ZobristLock[p][s], 0u);
    }
  }
  for (int n : {0, 1, 63, 64, 1000, 1023, 123456}) {
    EXPECT_EQ(table_random(n), table_random(-n));
    EXPECT_EQ(table_random(n + 1024), table_random(n));
  }
  EXPECT_EQ(table_random(65), ZobristIndex[1][2]);

  // An empty pawn structure has lock 1, never 0.
  set_fen(*other, "4k3/8/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(other->plies[0].pawnKey, 0u);
  EXPECT_EQ(other->plies[0].pawnLock, 1u);
}

}  // namespace
