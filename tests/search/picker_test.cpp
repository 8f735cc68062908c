#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "board/makemove.h"
#include "board/movegen.h"
#include "fixed_depth.h"
#include "search/picker.h"
#include "search/search.h"
#include "search/transposition.h"

namespace {

Position pos;

Move move_named(PlyState& node, const char* text) {
  Move moves[256];
  const int n = legal_moves(pos, node, moves);
  for (int i = 0; i < n; ++i) {
    char buf[6];
    move_text(moves[i], buf);
    if (std::strcmp(buf, text) == 0) return moves[i];
  }
  ADD_FAILURE() << "no legal move " << text;
  return NoMove;
}

// Every pseudo-legal move of the node, as the generator gives them in one go.
std::vector<Move> all_generated(PlyState& node) {
  node.hashMove = node.hashMove2Tried = NoMove;
  reset_ply_lists(node);
  generate_moves(pos, node, GenAll, 1);
  std::vector<Move> out;
  for (MoveEntry* lists[2] = {node.captureBegin, node.quietBegin}; MoveEntry* e : lists)
    for (; e->score != SentinelScore; ++e) out.push_back(e->move);
  reset_ply_lists(node);
  return out;
}

std::vector<Move> drain(PlyState& node) {
  std::vector<Move> out;
  while (const Move m = NextMove(pos, node)) out.push_back(m);
  return out;
}

TEST(Picker, TableMovesComeFirstAndOnlyOnce) {
  ASSERT_TRUE(load_test_position(pos, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"));
  PlyState& root = pos.plies[0];
  std::vector<Move> expected = all_generated(root);
  const Move quiet = move_named(root, "a2a3");
  const Move capture = move_named(root, "e2a6");
  reset_picker(root);
  root.hashMove = quiet;
  root.hashMove2 = capture;
  EXPECT_EQ(NextMove(pos, root), quiet);
  EXPECT_EQ(root.generated, 0) << "nothing is generated before the table moves are tried";
  EXPECT_EQ(NextMove(pos, root), capture);
  EXPECT_EQ(root.generated, 0);
  std::vector<Move> rest = drain(root);
  EXPECT_EQ(std::count(rest.begin(), rest.end(), quiet), 0);
  EXPECT_EQ(std::count(rest.begin(), rest.end(), capture), 0);
  rest.push_back(quiet);
  rest.push_back(capture);
  std::sort(rest.begin(), rest.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(rest, expected) << "every generated move exactly once";
  EXPECT_EQ(NextMove(pos, root), NoMove);

  // The same second move as the first is not offered again.
  reset_picker(root);
  root.hashMove = quiet;
  root.hashMove2 = quiet;
  EXPECT_EQ(NextMove(pos, root), quiet);
  rest = drain(root);
  EXPECT_EQ(std::count(rest.begin(), rest.end(), quiet), 0);
}

TEST(Picker, StaleTableMovesAreSkipped) {
  ASSERT_TRUE(load_test_position(pos, "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1"));
  PlyState& root = pos.plies[0];
  // A knight move from an empty square and a capture of a man that is not there.
  const Move ghostKnight = encode_move(2, 19, 0, 0, WhiteKnight);
  const Move ghostCapture = encode_move(12, 21, 0, BlackRook, WhitePawn);
  EXPECT_FALSE(move_is_possible(pos, root, ghostKnight));
  EXPECT_FALSE(move_is_possible(pos, root, ghostCapture));
  reset_picker(root);
  root.hashMove = ghostKnight;
  root.hashMove2 = ghostCapture;
  const std::vector<Move> moves = drain(root);
  EXPECT_EQ(std::count(moves.begin(), moves.end(), ghostKnight), 0);
  EXPECT_EQ(std::count(moves.begin(), moves.end(), ghostCapture), 0);
  EXPECT_EQ(moves.size(), all_generated(root).size());
  // The quiescence picker applies the same test.
  reset_picker(root);
  root.hashMove = ghostCapture;
  EXPECT_NE(QuiescencePick(pos, root, 0), ghostCapture);
}

TEST(Picker, KillersBetweenGoodAndLosingCaptures) {
  // Bxh5 wins a knight, Nxe4 trades knights, Nxd5 and Qxd5 lose material.
  ASSERT_TRUE(load_test_position(pos, "4k3/8/4p3/3p3n/4n3/2N5/4B3/3QK3 w - - 0 1"));
  PlyState& root = pos.plies[0];
  const Move killer = move_named(root, "e1f1");
  pos.killers[0].move[0] = killer;
  pos.killers[0].count[0] = 1;
  reset_picker(root);
  const std::vector<Move> order = drain(root);
  const auto k = std::find(order.begin(), order.end(), killer);
  ASSERT_NE(k, order.end());
  int good = 0, losing = 0;
  for (auto it = order.begin(); it != order.end(); ++it) {
    if (!is_capture_or_promotion(*it)) continue;
    const int32_t see = static_exchange(*it, pos);
    if (see > GoodCaptureThreshold) {
      ++good;
      EXPECT_LT(it, k) << "a winning or even capture after the killer";
    } else {
      ++losing;
      EXPECT_GT(it, k) << "a losing capture before the killer";
    }
  }
  EXPECT_EQ(good, 2);
  EXPECT_EQ(losing, 2);
  // The first pick is the capture that wins most; the killer leads the quiet moves.
  char first[6];
  move_text(order.front(), first);
  EXPECT_STREQ(first, "e2h5");
  EXPECT_EQ(k - order.begin(), 2);
}

TEST(Picker, QuiescenceTakesOnlyNonLosingCapturesWhenQuiet) {
  ASSERT_TRUE(load_test_position(pos, "4k3/8/4p3/3p3n/4n3/2N5/4B3/3QK3 w - - 0 1"));
  PlyState& root = pos.plies[0];
  reset_picker(root);
  root.hashMove = NoMove;
  std::vector<Move> picked;
  while (const Move m = QuiescencePick(pos, root, -6)) picked.push_back(m);
  ASSERT_EQ(picked.size(), 2u);
  for (Move m : picked) EXPECT_GT(static_exchange(m, pos), QuiescenceCaptureThreshold);
  // With the evaluation's alert every capture is tried.
  reset_picker(root);
  root.evalAlert = 1;
  picked.clear();
  while (const Move m = QuiescencePick(pos, root, -6)) picked.push_back(m);
  EXPECT_EQ(picked.size(), 4u);
  root.evalAlert = 0;
}

TEST(Picker, NodeWhoseHashMoveCutsGeneratesNothing) {
  // Black checks with the queen; White's rook takes it.
  for (int cuts = 0; cuts < 2; ++cuts) {
    ASSERT_TRUE(load_test_position(pos, "4k3/8/8/R7/3q4/8/8/4K3 b - - 0 1"));
    PlyState& root = pos.plies[0];
    root.move = move_named(root, "d4e5");
    PlyState* child = make_move(pos, root);
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(child->flags & InCheckFlag);
    const Move take = move_named(*child, "a5e5");
    // A shallow entry: it supplies the move but cannot cut by itself.
    store_entry(*child, StoreRequest{BoundExact, 0, 0, take, NoMove, false, false});
    const int32_t beta = cuts ? 100 : 5000;
    const int32_t v = SearchNode(pos, *child, beta - 1, beta, 4, 1, 0);
    if (cuts) {
      EXPECT_GE(v, beta);
      EXPECT_EQ(child->bestMove, take);
      EXPECT_EQ(child->generated, 0);
    } else {
      EXPECT_LT(v, beta);
      EXPECT_NE(child->generated, 0) << "the other moves had to be generated";
    }
    unmake_move(pos, *child);
  }
}

}  // namespace
