#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "board/legality.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/setup.h"
#include "support/positions.h"

namespace {

std::vector<MoveEntry> list_of(MoveEntry* first) {
  std::vector<MoveEntry> out;
  for (MoveEntry* e = first; e->score != SentinelScore; ++e) out.push_back(*e);
  return out;
}

std::string text(Move m) {
  char t[6];
  move_text(m, t);
  return t;
}

std::set<std::string> texts(const std::vector<MoveEntry>& list) {
  std::set<std::string> out;
  for (const MoveEntry& e : list) out.insert(text(e.move));
  return out;
}

struct Generated {
  std::vector<MoveEntry> captures, quiets;
};

Generated generate(Position& pos, int kind, int allPromotions) {
  PlyState& root = pos.plies[0];
  reset_ply_lists(root);
  root.hashMove = NoMove;
  generate_moves(pos, root, kind, allPromotions);
  Generated g;
  if (root.generated & 1) g.captures = list_of(root.captureBegin);
  if (root.generated & 2) g.quiets = list_of(root.quietBegin);
  return g;
}

TEST(MoveGeneration, PromotionsQueenFirstOrAll) {
  auto pos = new_position();
  set_fen(*pos, "8/P6k/8/8/8/8/8/K7 w - - 0 1");
  Generated g = generate(*pos, GenCaptures, 0);
  ASSERT_EQ(g.captures.size(), 1u);
  EXPECT_EQ(text(g.captures[0].move), "a7a8q");
  g = generate(*pos, GenCaptures, 1);
  ASSERT_EQ(g.captures.size(), 4u);
  EXPECT_EQ(text(g.captures[0].move), "a7a8q");
  EXPECT_EQ(text(g.captures[1].move), "a7a8r");
  EXPECT_EQ(text(g.captures[2].move), "a7a8n");
  EXPECT_EQ(text(g.captures[3].move), "a7a8b");
  // Black promotes to black pieces, and promotions never appear in the quiet list.
  set_fen(*pos, "k7/8/8/8/8/8/p6K/8 b - - 0 1");
  g = generate(*pos, GenAll, 1);
  EXPECT_EQ(move_promotion(g.captures[0].move), BlackQueen);
  EXPECT_EQ(texts(g.quiets).count("a2a1q"), 0u);
  EXPECT_EQ(texts(g.captures).count("a2a1n"), 1u);
}

TEST(MoveGeneration, CastlingIsListedOnTheRightsAlone) {
  auto pos = new_position();
  set_fen(*pos, TestFens[0]);
  Generated g = generate(*pos, GenQuiet, 1);
  ASSERT_GE(g.quiets.size(), 2u);
  EXPECT_EQ(g.quiets[0].move, WhiteShortCastle);
  EXPECT_EQ(g.quiets[1].move, WhiteLongCastle);
  pos->plies[0].move = WhiteShortCastle;
  EXPECT_EQ(make_move(*pos, pos->plies[0]), nullptr);  // f1 and g1 are occupied
  EXPECT_EQ(legal_moves(*pos, pos->plies[0]).size(), 20u);
}

TEST(MoveGeneration, EvasionsInDoubleAndSliderCheck) {
  auto pos = new_position();
  // Double check by the rook on e8 and the knight on d3: only king moves.
  set_fen(*pos, "4r2k/8/8/8/8/3n4/8/R3K2R w KQ - 0 1");
  ASSERT_TRUE(pos->plies[0].flags & InCheckFlag);
  Generated g = generate(*pos, GenCaptures, 1);  // the kind is ignored in check
  for (const auto* list : {&g.captures, &g.quiets})
    for (const MoveEntry& e : *list) EXPECT_EQ(move_piece(e.move), WhiteKing) << text(e.move);
  // The king may capture the undefended first checker.
  set_fen(*pos, "7k/8/8/8/8/8/3n4/r3K3 w - - 0 1");
  g = generate(*pos, GenAll, 1);
  std::set<std::string> all = texts(g.captures);
  for (auto& t : texts(g.quiets)) all.insert(t);
  EXPECT_TRUE(all.count("e1d2"));
  EXPECT_FALSE(all.count("e1f1"));  // still on the checking rook's rank
  EXPECT_FALSE(all.count("e1d1"));  // attacked by the rook
  // Rook checks along the rank: the square behind the king stays forbidden although the attack
  // table does not mark it.
  set_fen(*pos, "7k/8/8/8/8/8/8/r3K3 w - - 0 1");
  const std::vector<Move> legal = legal_moves(*pos, pos->plies[0]);
  std::set<std::string> legalText;
  for (Move m : legal) legalText.insert(text(m));
  EXPECT_EQ(legalText, (std::set<std::string>{"e1d2", "e1e2", "e1f2"}));
}

TEST(MoveGeneration, ExchangeEstimates) {
  auto pos = new_position();
  // Undefended piece: full value.
  set_fen(*pos, "4k3/8/8/3r4/8/8/8/3RK3 w - - 0 1");
  EXPECT_EQ(static_exchange(encode_move(4, 36, 0, BlackRook, WhiteRook), *pos), 541);
  // Queen takes a defended pawn, alone and without x-ray: 100 - 1055.
  set_fen(*pos, "4k3/8/2p5/3p4/8/8/8/3QK3 w - - 0 1");
  EXPECT_EQ(static_exchange(encode_move(4, 36, 0, BlackPawn, WhiteQueen), *pos), 100 - 1055);
  // En passant is scored on the captured pawn's square: d5 has two defenders (c6, e6) while
  // the empty target d6 has none.
  set_fen(*pos, "4k3/8/2p1p3/3pP3/8/8/8/4K3 w - d6 0 1");
  const Move ep = encode_move(37, 44, 0, BlackPawn, WhitePawn, EnPassantFlag);
  EXPECT_EQ(static_exchange(ep, *pos), 0);
  set_fen(*pos, "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
  EXPECT_EQ(static_exchange(ep, *pos), 100);
  // A rook taking a pawn defended once by a bishop, with a queen behind it: x-ray support.
  set_fen(*pos, "4k3/8/2b5/3p4/8/8/3R4/3QK3 w - - 0 1");
  EXPECT_EQ(static_exchange(encode_move(12, 36, 0, BlackPawn, WhiteRook), *pos), 100 - 541 + 325);
  // A promotion onto an undefended square wins the queen less the pawn.
  set_fen(*pos, "7k/P7/8/8/8/8/8/K7 w - - 0 1");
  EXPECT_EQ(static_exchange(encode_move(49, 57, WhiteQueen, 0, WhitePawn), *pos), 1055 - 100);
}

TEST(MoveGeneration, PickBestAndRemove) {
  MoveEntry list[5] = {{1, 10}, {2, 30}, {3, 30}, {4, -5}, {0, SentinelScore}};
  EXPECT_EQ(pick_best_move(100, list), NoMove);
  EXPECT_EQ(list[3].score, -5);  // unchanged
  EXPECT_EQ(pick_best_move(0, list), 2u);  // ties keep the earlier entry
  EXPECT_EQ(pick_best_move(0, list), 3u);
  EXPECT_EQ(pick_best_move(0, list), 1u);
  EXPECT_EQ(pick_best_move(0, list), NoMove);
  EXPECT_EQ(pick_best_move(-10, list), 4u);
  EXPECT_EQ(list[0].score, SentinelScore);

  // Generation leaves out the ply's table moves.
  auto pos = new_position();
  set_fen(*pos, TestFens[0]);
  PlyState& root = pos->plies[0];
  reset_ply_lists(root);
  root.hashMove = encode_move(13, 29, 0, 0, WhitePawn, DoublePushFlag);  // e2e4
  root.hashMove2Tried = encode_move(7, 22, 0, 0, WhiteKnight);            // g1f3
  generate_moves(*pos, root, GenAll, 1);
  const auto quiets = texts(list_of(root.quietBegin));
  EXPECT_EQ(quiets.size(), 20u);  // 20 moves + two castlings listed on the rights - 2 removed
  EXPECT_FALSE(quiets.count("e2e4"));
  EXPECT_FALSE(quiets.count("g1f3"));
  root.hashMove = NoMove;
}

TEST(MoveGeneration, KillersSortFirstAndHistoryIsRestored) {
  auto pos = new_position();
  set_fen(*pos, TestFens[0]);
  PlyState& root = pos->plies[0];
  const Move killer = encode_move(2, 19, 0, 0, WhiteKnight);  // b1c3
  pos->killers[0].move[0] = killer;
  pos->history[White][history_index(encode_move(12, 20, 0, 0, WhitePawn))] = 500;  // d2d3
  std::vector<int32_t> before(pos->history[White], pos->history[White] + HistorySize);
  reset_ply_lists(root);
  root.hashMove = NoMove;
  generate_moves(*pos, root, GenQuiet, 1);
  EXPECT_EQ(pick_best_move(0, root.quietBegin), killer);
  EXPECT_EQ(text(pick_best_move(0, root.quietBegin)), "d2d3");
  EXPECT_TRUE(std::equal(before.begin(), before.end(), pos->history[White]));
  pos->killers[0].move[0] = NoMove;
  pos->history[White][history_index(encode_move(12, 20, 0, 0, WhitePawn))] = 0;
}

TEST(MoveGeneration, QuietChecksAreExactlyTheDirectChecks) {
  auto pos = new_position();
  for (const char* fen : TestFens) {
    set_fen(*pos, fen);
    PlyState& root = pos->plies[0];
    if (root.flags & InCheckFlag) continue;
    const Generated g = generate(*pos, GenQuietChecks, 1);
    std::set<Move> generated;
    for (const MoveEntry& e : g.quiets) generated.insert(e.move);
    // Every quiet, non-king, non-castling move that checks with the moved man itself.
    std::set<Move> expected;
    for (Move m : legal_moves(*pos, root)) {
      if (is_capture_or_promotion(m) || (m & CastleFlag) || is_king(move_piece(m))) continue;
      if (gives_direct_check(*pos, m)) expected.insert(m);
    }
    std::set<Move> legalGenerated;
    for (Move m : generated) {
      root.move = m;
      if (PlyState* next = make_move(*pos, root)) {
        EXPECT_TRUE(next->flags & InCheckFlag) << fen << " " << text(m);
        unmake_move(*pos, *next);
        legalGenerated.insert(m);
      }
    }
    EXPECT_EQ(legalGenerated, expected) << fen;
  }
}

TEST(MoveGeneration, StoredMoveTest) {
  auto pos = new_position();
  set_fen(*pos, "r3k2r/8/8/3pP3/8/8/8/R3K2R w KQkq d6 0 1");
  const PlyState& root = pos->plies[0];
  for (Move m : legal_moves(*pos, pos->plies[0])) EXPECT_TRUE(move_is_possible(*pos, root, m)) << text(m);
  EXPECT_FALSE(move_is_possible(*pos, root, encode_move(1, 10, 0, 0, WhiteRook)));   // rook diagonally
  EXPECT_FALSE(move_is_possible(*pos, root, encode_move(2, 19, 0, 0, WhiteKnight)));  // no knight on b1
  EXPECT_FALSE(move_is_possible(*pos, root, encode_move(37, 53, 0, 0, WhitePawn)));   // e5e7
  EXPECT_FALSE(move_is_possible(*pos, root, encode_move(1, 57, 0, 0, WhiteRook)));    // a1a8 takes nothing
  EXPECT_FALSE(move_is_possible(*pos, root, BlackShortCastle));                        // not Black's move
  EXPECT_FALSE(move_is_possible(*pos, root, encode_move(37, 43, 0, BlackPawn, WhitePawn, EnPassantFlag)));
  EXPECT_FALSE(move_is_possible(*pos, root, NullMoveFlag));
  set_fen(*pos, "r3k2r/8/8/8/8/8/8/RN2K2R w KQkq - 0 1");
  EXPECT_FALSE(move_is_possible(*pos, pos->plies[0], WhiteLongCastle));  // b1 occupied
  EXPECT_TRUE(move_is_possible(*pos, pos->plies[0], WhiteShortCastle));
  set_fen(*pos, "r3k2r/8/8/8/8/8/8/R3K2R w Kkq - 0 1");
  EXPECT_FALSE(move_is_possible(*pos, pos->plies[0], WhiteLongCastle));  // no right
}

TEST(MoveGeneration, LegalityGateForProtocolMoves) {
  auto pos = new_position();
  set_fen(*pos, "4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1");
  // The pinned knight may not move; the king may.
  EXPECT_EQ(find_legal_move(*pos, encode_move(13, 23, 0, 0, WhiteKnight)), NoMove);
  EXPECT_NE(find_legal_move(*pos, encode_move(5, 4, 0, 0, WhiteKing)), NoMove);
  EXPECT_EQ(find_legal_move(*pos, encode_move(5, 13, 0, 0, WhiteKing)), NoMove);  // own knight on e2
  // A move text without the promotion piece is no legal move.
  set_fen(*pos, "8/P6k/8/8/8/8/8/K7 w - - 0 1");
  EXPECT_EQ(find_legal_move(*pos, encode_move(49, 57, 0, 0, WhitePawn)), NoMove);
  EXPECT_NE(find_legal_move(*pos, encode_move(49, 57, WhiteKnight, 0, WhitePawn)), NoMove);
  // The side not to move may not stand in check.
  set_fen(*pos, "4k3/8/8/8/8/8/4R3/4K3 b - - 0 1");
  EXPECT_FALSE(opponent_in_check(*pos));
  set_fen(*pos, "4k3/8/8/8/8/8/4R3/4K3 w - - 0 1");
  EXPECT_TRUE(opponent_in_check(*pos));
}

}  // namespace
