#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "board/makemove.h"
#include "board/movegen.h"
#include "fixed_depth.h"
#include "search/params.h"
#include "search/picker.h"
#include "search/picker_oracle.h"
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

// Every pseudo-legal move of the node, as the generator gives them in one go (all kinds, not
// only the evasions when in check).
std::vector<Move> all_generated(PlyState& node) {
  node.hashMove = node.hashMove2Tried = NoMove;
  reset_ply_lists(node);
  const uint32_t flags = node.flags;
  node.flags &= ~InCheckFlag;
  generate_moves(pos, node, GenAll, 1);
  node.flags = flags;
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

// The pickers against a plain generation of all moves (the slow twin of the verify build) over
// random games from positions with castling, en passant, promotions and checks, with table
// moves, killers and history in every state: right, stale, absent.
TEST(Picker, AgreesWithPlainGenerationOverRandomGames) {
  const char* const starts[] = {
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
      "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
      "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
      "4k3/8/4p3/3p3n/4n3/2N5/4B3/3QK3 w - - 0 1",
  };
  std::mt19937 rng(27);
  reset_picker_oracle(false, 1);
  const bool quietChecks = Search.quietChecks;
  Search.quietChecks = true;
  int nodes = 0, inCheck = 0;
  for (int game = 0; game < 40; ++game) {
    ASSERT_TRUE(load_test_position(pos, starts[game % 5]));
    for (int ply = 0; ply < 40; ++ply) {
      PlyState& node = pos.plies[ply];
      Move moves[256];
      const int n = legal_moves(pos, node, moves);
      if (n == 0) break;
      auto some = [&](int staleOneIn) -> Move {
        const int r = int(rng() % 8);
        if (r == 0) return NoMove;
        if (r < staleOneIn) return encode_move(1 + rng() % 64, 1 + rng() % 64, 0, 0, 2 + rng() % 6);
        return moves[rng() % n];
      };
      for (int k = 0; k < 2; ++k) {
        pos.killers[ply].move[k] = some(2);
        if (ply >= 2) pos.killers[ply - 2].move[k] = some(2);
      }
      for (int i = 0; i < 6; ++i) pos.history[node.side][history_index(moves[rng() % n])] = int32_t(rng() % 5000);
      reset_picker(node);
      node.hashMove = some(3);
      node.hashMove2 = rng() % 4 == 0 ? node.hashMove : some(3);
      node.evalAlert = rng() % 3 == 0;
      EXPECT_EQ(check_full_picker(pos, node), 0) << "game " << game << " ply " << ply;
      EXPECT_EQ(check_quiescence_picker(pos, node, int32_t(rng() % 9) - 7), 0)
          << "game " << game << " ply " << ply;
      EXPECT_EQ(node.pickStage, 0) << "the check leaves the node as it was";
      EXPECT_EQ(node.generated, 0);
      ++nodes;
      inCheck += (node.flags & InCheckFlag) != 0;
      node.evalAlert = 0;
      node.hashMove = node.hashMove2 = NoMove;
      node.move = moves[rng() % n];
      ASSERT_NE(make_move(pos, node), nullptr);
    }
  }
  Search.quietChecks = quietChecks;
  EXPECT_GT(nodes, 1000);
  EXPECT_GT(inCheck, 20);
  EXPECT_GT(PickerOracle.handedOut[ClassKiller], 100u);
  EXPECT_GT(PickerOracle.handedOut[ClassSecondMove], 100u);
  EXPECT_EQ(PickerOracle.disagreements, 0u);
}

// The twin sees a planted fault: a quiet move whose history counter reaches the killers' rank
// is handed out with the killers, before the losing captures, out of its stage.
TEST(Picker, PlainGenerationTwinCatchesAMoveOutOfItsStage) {
  ASSERT_TRUE(load_test_position(pos, "4k3/8/4p3/3p3n/4n3/2N5/4B3/3QK3 w - - 0 1"));
  PlyState& root = pos.plies[0];
  reset_picker_oracle(false, 1);
  reset_picker(root);
  EXPECT_EQ(check_full_picker(pos, root), 0);
  const Move quiet = move_named(root, "e1f1");
  pos.history[White][history_index(quiet)] = OlderKillerScore + 1;
  reset_picker(root);
  EXPECT_GT(check_full_picker(pos, root), 0);
  EXPECT_GT(PickerOracle.faults[int(PickerFault::StageOrder)], 0u);
  pos.history[White][history_index(quiet)] = 0;
}

// The stored-move test against plain generation, fed the moves of other positions (what a
// stale table entry or an old killer brings): it never accepts what is not a move here, and
// never rejects a legal move.
TEST(Picker, StoredMoveTestAgreesWithPlainGeneration) {
  const char* const starts[] = {
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
      "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
      "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
  };
  std::mt19937 rng(2026);
  std::vector<Move> pool;
  int accepted = 0, tested = 0;
  for (int game = 0; game < 60; ++game) {
    ASSERT_TRUE(load_test_position(pos, starts[game % 4]));
    for (int ply = 0; ply < 30; ++ply) {
      PlyState& node = pos.plies[ply];
      const std::vector<Move> plain = all_generated(node);
      Move moves[256];
      const int n = legal_moves(pos, node, moves);
      if (n == 0) break;
      pool.insert(pool.end(), plain.begin(), plain.end());
      for (int i = 0; i < 200 && !pool.empty(); ++i) {
        const Move m = pool[rng() % pool.size()];
        const bool possible = move_is_possible(pos, node, m);
        const bool generated = std::find(plain.begin(), plain.end(), m) != plain.end();
        const bool legal = std::find(moves, moves + n, m) != moves + n;
        char text[6];
        move_text(m, text);
        EXPECT_TRUE(!possible || generated) << text << " accepted but not a move, game " << game << " ply " << ply;
        EXPECT_TRUE(!legal || possible) << text << " legal but rejected, game " << game << " ply " << ply;
        accepted += possible;
        ++tested;
      }
      node.move = moves[rng() % n];
      ASSERT_NE(make_move(pos, node), nullptr);
    }
  }
  EXPECT_GT(accepted, tested / 50) << "the pool must bring possible moves too";
}

}  // namespace
