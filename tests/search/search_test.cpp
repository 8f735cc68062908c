#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <unistd.h>

#include "board/consistency.h"
#include "board/game.h"
#include "board/makemove.h"
#include "board/setup.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "search/level.h"
#include "fixed_depth.h"
#include "search/control.h"
#include "search/params.h"
#include "search/search.h"
#include "search/transposition.h"

namespace {

Position pos;
Position scratch;

// The move of the side to move at `node` written as text ("a1a8"), or 0 if not legal.
Move find_move(PlyState& node, const char* text) {
  Move moves[256];
  const int n = legal_moves(pos, node, moves);
  for (int i = 0; i < n; ++i) {
    char buf[6];
    move_text(moves[i], buf);
    if (std::strcmp(buf, text) == 0) return moves[i];
  }
  return NoMove;
}

// Plays a legal move given as text at `node`; returns the next ply record.
PlyState* play(PlyState& node, const char* text) {
  const Move m = find_move(node, text);
  EXPECT_NE(m, NoMove) << text;
  if (m == NoMove) return nullptr;
  node.move = m;
  return make_move(pos, node);
}

uint32_t lock_key_of(const char* fen) {
  reset_test_position(scratch);
  EXPECT_TRUE(set_position_from_fen(scratch, fen));
  return scratch.plies[0].lockKey;
}

// Attack lists are sets: their order may change when a move is taken back.
bool same_attacks(const Position& a, const Position& b) {
  for (int c = 0; c < 2; ++c) {
    for (Square s = 1; s <= 64; ++s) {
      const AttackEntry& x = a.attacks[c][s];
      const AttackEntry& y = b.attacks[c][s];
      if (x.count != y.count || x.sliders != y.sliders) return false;
      const int n = std::min(x.count, AttackSlots);
      for (int i = 0; i < n; ++i)
        if (std::find(y.squares, y.squares + n, x.squares[i]) == y.squares + n) return false;
    }
  }
  return true;
}

struct MateCase {
  const char* fen;
  int moves;
  int depth;
};

TEST(Search, FindsForcedMatesAtSufficientDepth) {
  const MateCase cases[] = {
      {"6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1", 1, 3},
      {"6k1/pp4p1/2p5/2bp4/8/P5Pb/1P3rrP/2BRRN1K b - - 0 1", 2, 5},
      {"r2qk2r/pb4pp/1n2Pb2/2B2Q2/p1p5/2P5/2B2PPP/RN2R1K1 w - - 1 0", 2, 5},
      // A quiet king move first: null-move pruning hides it until the null search itself
      // is deep enough to see the mate.
      {"7k/8/5K2/8/8/8/8/R7 w - - 0 1", 2, 7},
      {"8/6k1/8/8/8/8/R7/1R4K1 w - - 0 1", 3, 9},
  };
  for (const MateCase& c : cases) {
    ASSERT_TRUE(load_test_position(pos, c.fen));
    // The exhaustive check confirms the mate distance the position is chosen for.
    ASSERT_TRUE(forces_mate(pos, pos.plies[0], c.moves)) << c.fen;
    if (c.moves > 1) {
      ASSERT_FALSE(forces_mate(pos, pos.plies[0], c.moves - 1)) << c.fen;
    }
    const FixedDepthResult r = search_fixed_depth(pos, c.depth);
    EXPECT_EQ(r.score, MateScore - (2 * c.moves - 1)) << c.fen;
    // The move found really mates that fast.
    PlyState& root = pos.plies[0];
    root.move = r.best;
    PlyState* child = make_move(pos, root);
    ASSERT_NE(child, nullptr);
    if (c.moves == 1) {
      Move replies[256];
      EXPECT_EQ(legal_moves(pos, *child, replies), 0);
      EXPECT_TRUE(child->flags & InCheckFlag);
    }
    unmake_move(pos, *child);
  }
}

TEST(Search, CheckmateAndStalemateScores) {
  ASSERT_TRUE(load_test_position(pos, "6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1"));
  PlyState* mated = play(pos.plies[0], "a1a8");
  ASSERT_NE(mated, nullptr);
  EXPECT_EQ(SearchNode(pos, *mated, -MateScore, MateScore, 3, 1, 0), 1 - MateScore);
  unmake_move(pos, *mated);

  // Two plies deeper the mate scores one more.
  ASSERT_TRUE(load_test_position(pos, "6k1/2p2ppp/8/8/8/8/5PPP/R5K1 b - - 0 1"));
  PlyState* a = play(pos.plies[0], "c7c6");
  PlyState* b = play(*a, "a1a8");
  EXPECT_EQ(SearchNode(pos, *b, -MateScore, MateScore, 2, 1, 0), 2 - MateScore);
  unmake_move(pos, *b);
  unmake_move(pos, *a);

  // Queen f2-f7 leaves the black king on h8 without a move: a draw, however much White has.
  ASSERT_TRUE(load_test_position(pos, "7k/8/6K1/8/8/8/5Q2/8 w - - 0 1"));
  PlyState* stalemated = play(pos.plies[0], "f2f7");
  ASSERT_NE(stalemated, nullptr);
  EXPECT_EQ(SearchNode(pos, *stalemated, -MateScore, MateScore, 3, 1, 0), 0);
  unmake_move(pos, *stalemated);
}

TEST(Search, RepetitionsAreDrawsAtTheRightCount) {
  const char* root = "4k3/8/8/8/8/8/8/R3K3 w - - 0 1";
  ASSERT_TRUE(load_test_position(pos, root));
  // Deep in the tree one earlier occurrence is enough, however far ahead White is.
  PlyState* p1 = play(pos.plies[0], "a1a2");
  PlyState* p2 = play(*p1, "e8d8");
  PlyState* p3 = play(*p2, "a2a1");
  PlyState* p4 = play(*p3, "d8e8");
  ASSERT_NE(p4, nullptr);
  const uint64_t before = pos.nodes;
  EXPECT_EQ(SearchNode(pos, *p4, -MateScore, MateScore, 4, 1, 0), 0);
  EXPECT_EQ(pos.nodes, before) << "a repetition is scored without searching";
  unmake_move(pos, *p4);
  unmake_move(pos, *p3);
  unmake_move(pos, *p2);
  unmake_move(pos, *p1);

  // Near the root a single earlier occurrence (from the game) is not yet a draw ...
  const uint32_t ra2kd8 = lock_key_of("3k4/8/8/8/8/8/R7/4K3 w - - 0 1");
  const uint32_t ra1kd8 = lock_key_of("3k4/8/8/8/8/8/8/R3K3 b - - 0 1");
  const uint32_t ra1ke8 = lock_key_of(root);
  const uint32_t ra2ke8 = lock_key_of("4k3/8/8/8/8/8/R7/4K3 b - - 0 1");
  const uint32_t once[] = {ra2kd8, ra1kd8};
  const uint32_t twice[] = {ra2kd8, ra1kd8, ra1ke8, ra2ke8, ra2kd8, ra1kd8};
  GameState state{White, 0};
  for (int occurrences = 1; occurrences <= 2; ++occurrences) {
    ASSERT_TRUE(load_test_position(pos, root));
    if (occurrences == 1) setup_root_ply(pos, state, once, 2);
    else setup_root_ply(pos, state, twice, 6);
    PlyState* q1 = play(pos.plies[0], "a1a2");
    PlyState* q2 = play(*q1, "e8d8");
    ASSERT_NE(q2, nullptr);
    const int32_t v = SearchNode(pos, *q2, -MateScore, MateScore, 2, 1, 0);
    if (occurrences == 1) {
      EXPECT_GT(v, 300) << "searched normally, a rook ahead";
    } else {
      EXPECT_EQ(v, 0) << "the third occurrence is a draw";
    }
    unmake_move(pos, *q2);
    unmake_move(pos, *q1);
  }
}

TEST(Search, RepetitionWithChecksLeansTowardTheCheckingSide) {
  // White's queen checks back and forth; the checked side's score is -(ply >> shift).
  ASSERT_TRUE(load_test_position(pos, "7k/8/8/8/8/8/8/Q5K1 w - - 0 1"));
  PlyState* p1 = play(pos.plies[0], "a1a8");
  PlyState* p2 = play(*p1, "h8h7");  // not a repetition yet: the queen is elsewhere
  PlyState* p3 = play(*p2, "a8e4");
  PlyState* p4 = play(*p3, "h7h8");
  PlyState* p5 = play(*p4, "e4a8");  // check; the position after a1a8 again
  ASSERT_NE(p5, nullptr);
  ASSERT_TRUE(p5->flags & InCheckFlag);
  ASSERT_EQ(Search.repetitionShift, 2) << "an ending halves the bias";
  EXPECT_EQ(SearchNode(pos, *p5, -MateScore, MateScore, 3, 1, 0), -(5 >> 2));
  Search.repetitionShift = 1;
  EXPECT_EQ(SearchNode(pos, *p5, -MateScore, MateScore, 3, 1, 0), -(5 >> 1));
  unmake_move(pos, *p5);
  unmake_move(pos, *p4);
  unmake_move(pos, *p3);
  unmake_move(pos, *p2);
  unmake_move(pos, *p1);
}

TEST(Search, FiftyMoveRuleDrawsUnlessMated) {
  uint32_t history[99];
  for (int i = 0; i < 99; ++i) history[i] = 0x1000u + uint32_t(i);  // 99 earlier reversible plies
  GameState state{White, 0};

  ASSERT_TRUE(load_test_position(pos, "4k3/8/8/8/8/8/8/R3K3 w - - 0 1"));
  setup_root_ply(pos, state, history, 99);
  PlyState* p1 = play(pos.plies[0], "a1a2");
  ASSERT_NE(p1, nullptr);
  EXPECT_EQ(SearchNode(pos, *p1, -MateScore, MateScore, 3, 1, 0), 0);
  unmake_move(pos, *p1);

  // A mate delivered with the hundredth reversible ply still counts.
  ASSERT_TRUE(load_test_position(pos, "6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1"));
  setup_root_ply(pos, state, history, 99);
  PlyState* mated = play(pos.plies[0], "a1a8");
  ASSERT_NE(mated, nullptr);
  EXPECT_EQ(SearchNode(pos, *mated, -MateScore, MateScore, 3, 1, 0), 1 - MateScore);
  unmake_move(pos, *mated);
  // Checked but with a way out: the rule applies at the first legal move.
  ASSERT_TRUE(load_test_position(pos, "6k1/5pp1/7p/8/8/8/5PPP/R5K1 w - - 0 1"));
  setup_root_ply(pos, state, history, 99);
  PlyState* checked = play(pos.plies[0], "a1a8");
  ASSERT_NE(checked, nullptr);
  ASSERT_TRUE(checked->flags & InCheckFlag);
  EXPECT_EQ(SearchNode(pos, *checked, -MateScore, MateScore, 3, 1, 0), 0);
  unmake_move(pos, *checked);
}

TEST(Search, InsufficientMaterialIsADrawWithoutSearch) {
  const char* fens[] = {"8/8/4k3/8/8/3BK3/8/8 w - - 0 1", "8/8/4k3/8/8/3NK3/8/8 w - - 0 1",
                        "8/8/4k3/8/8/4K3/8/8 w - - 0 1"};
  for (const char* fen : fens) {
    ASSERT_TRUE(load_test_position(pos, fen));
    PlyState* child = play(pos.plies[0], "e3f3");
    ASSERT_NE(child, nullptr);
    const uint64_t before = pos.nodes;
    EXPECT_EQ(SearchNode(pos, *child, -MateScore, MateScore, 5, 1, 0), 0) << fen;
    EXPECT_EQ(pos.nodes, before) << fen;
    unmake_move(pos, *child);
    EXPECT_EQ(search_fixed_depth(pos, 4).score, 0) << fen;
  }
  // Two minor pieces are not insufficient: the search runs.
  ASSERT_TRUE(load_test_position(pos, "8/8/4k3/8/8/2BBK3/8/8 w - - 0 1"));
  EXPECT_GT(search_fixed_depth(pos, 3).score, 300);
}

TEST(Search, NullMoveCutsOnlyInZeroWindowNodes) {
  // Black to move, White a queen ahead after any king step.
  ASSERT_TRUE(load_test_position(pos, "4k3/pppp4/8/8/8/8/PPPP4/3QK3 b - - 0 1"));
  PlyState* child = play(pos.plies[0], "e8f8");
  ASSERT_NE(child, nullptr);
  // Zero window far below the score: the null move fails high and the node has no move.
  int32_t v = SearchNode(pos, *child, 99, 100, 5, 1, 0);
  EXPECT_GE(v, 100);
  EXPECT_EQ(child->bestMove, NoMove) << "expected a null-move cutoff";
  // The same bound in an open window: a real move must prove it.
  for (const auto& window : {std::pair{-200, 100}, std::pair{0, 300}, std::pair{98, 100}}) {
    prepare_test_search(pos);
    v = SearchNode(pos, *child, window.first, window.second, 5, 1, 0);
    EXPECT_GE(v, window.second);
    EXPECT_NE(child->bestMove, NoMove) << window.first << " " << window.second;
  }
  unmake_move(pos, *child);
}

TEST(Search, ReturnsLegalMovesAndLeavesTheBoardExact) {
  const char* fens[] = {
      "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
      "r2q1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP2BPPP/R2Q1RK1 w - - 0 9",
      "8/P7/8/8/8/8/6kp/K7 b - - 0 1",
  };
  for (const char* fen : fens) {
    ASSERT_TRUE(load_test_position(pos, fen));
    scratch = pos;
    // The copy must not own (and later free) the evaluation tables of `pos`.
    scratch.materialTable = nullptr;
    scratch.pawnHash = nullptr;
    scratch.bishopMobilityCache = nullptr;
    const FixedDepthResult r = search_fixed_depth(pos, 5);
    Move moves[256];
    const int n = legal_moves(pos, pos.plies[0], moves);
    EXPECT_NE(std::find(moves, moves + n, r.best), moves + n) << fen;
    const char* reason = nullptr;
    EXPECT_TRUE(position_is_consistent(pos, pos.plies[0], &reason)) << fen << ": " << reason;
    EXPECT_EQ(std::memcmp(pos.board, scratch.board, sizeof pos.board), 0) << fen;
    EXPECT_TRUE(same_attacks(pos, scratch)) << fen;
    EXPECT_EQ(std::memcmp(pos.slotSquare, scratch.slotSquare, sizeof pos.slotSquare), 0) << fen;
    for (Square s = 1; s <= 64; ++s) {
      if (pos.board[s] != Empty) {
        EXPECT_EQ(pos.squareSlot[s], scratch.squareSlot[s]) << fen;
      }
    }
    EXPECT_EQ(std::memcmp(pos.pieceCount, scratch.pieceCount, sizeof pos.pieceCount), 0) << fen;
    EXPECT_EQ(pos.repTop, scratch.repTop) << fen;  // the copy's pointer still points into pos
    EXPECT_EQ(pos.capturedTop, scratch.capturedTop) << fen;
    EXPECT_EQ(pos.nullDepth + pos.refutationDepth + pos.singularDepth + pos.multiCutDepth, 0);
    // The table's move for the root is the move returned.
    TTEntry e;
    ASSERT_TRUE(probe_table(pos.plies[0], e));
    EXPECT_EQ(e.best_move(), r.best);
  }
}

TEST(Search, RandomGamesStayConsistent) {
  // Searches along random games (with their repetition windows) must leave every position
  // exactly as it was and always answer with a legal move.
  ASSERT_TRUE(load_test_position(pos, "4k3/8/8/8/8/8/8/4K3 w - - 0 1"));  // start-up tables
  ASSERT_TRUE(create_game_storage());
  uint32_t seed = 12345;
  for (int game = 0; game < 3; ++game) {
    set_start_position(GameBoard.board, GameBoard.start);
    reset_game_record();
    for (int ply = 0; ply < 80; ++ply) {
      reset_test_position(pos);
      setup_root_from_game(pos);
      prepare_test_search(pos);
      Move moves[256];
      const int n = legal_moves(pos, pos.plies[0], moves);
      if (n == 0) break;
      if (ply % 5 == 4) {
        const FixedDepthResult r = search_fixed_depth(pos, 5);
        EXPECT_NE(std::find(moves, moves + n, r.best), moves + n) << "game " << game << " ply " << ply;
        const char* reason = nullptr;
        EXPECT_TRUE(position_is_consistent(pos, pos.plies[0], &reason)) << reason;
      }
      seed = seed * 1103515245u + 12345u;
      ASSERT_TRUE(apply_game_move(moves[(seed >> 16) % n]));
    }
  }
  free_game_storage();
}

TEST(Search, SameInputSameResult) {
  const char* fen = "r2q1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP2BPPP/R2Q1RK1 w - - 0 9";
  ASSERT_TRUE(load_test_position(pos, fen));
  const FixedDepthResult a = search_fixed_depth(pos, 5);
  ASSERT_TRUE(load_test_position(pos, fen));
  const FixedDepthResult b = search_fixed_depth(pos, 5);
  EXPECT_EQ(a.best, b.best);
  EXPECT_EQ(a.score, b.score);
  EXPECT_EQ(a.nodes, b.nodes);
}

TEST(Search, NodeLimitStopsAtAPoll) {
  // Input comes from a pipe of our own that stays empty.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  reset_input_for_testing(fds[0]);
  ASSERT_TRUE(load_test_position(pos, "r2q1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP2BPPP/R2Q1RK1 w - - 0 9"));
  set_level(LevelDepth, 99);
  Control.SearchState = Thinking;
  Control.NodeLimit = 2000;
  Control.PollIntervalShort = Control.PollIntervalLong = 100;
  Search.nextPoll = 0;
  Search.startTime = tick_count();
  search_fixed_depth(pos, 12);
  EXPECT_TRUE(Control.StopRequested);
  EXPECT_GE(pos.nodes, 2000u);
  EXPECT_LT(pos.nodes, 2000u + 200u) << "the limit is seen at the first poll after it";
  const char* reason = nullptr;
  EXPECT_TRUE(position_is_consistent(pos, pos.plies[0], &reason)) << reason;
  Control.NodeLimit = 0;
  Control.SearchState = Idle;
  Control.StopRequested = false;
  reset_input_for_testing(STDIN_FILENO);
  close(fds[1]);
  close(fds[0]);
}

TEST(Search, StopRequestUnwindsAndStoresNothing) {
  ASSERT_TRUE(load_test_position(pos, "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4"));
  PlyState* child = play(pos.plies[0], "e1g1");
  ASSERT_NE(child, nullptr);
  Control.StopRequested = true;
  EXPECT_EQ(SearchNode(pos, *child, -MateScore, MateScore, 6, 1, 0), 0);
  TTEntry e;
  EXPECT_FALSE(probe_table(*child, e));
  Control.StopRequested = false;
  unmake_move(pos, *child);
  const char* reason = nullptr;
  EXPECT_TRUE(position_is_consistent(pos, pos.plies[0], &reason)) << reason;
}

}  // namespace
