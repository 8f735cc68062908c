#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "board/makemove.h"
#include "fixed_depth.h"
#include "search/search.h"
#include "search/transposition.h"

namespace {

PlyState node_with(uint32_t index, uint32_t lock, int side = 0, int ply = 1) {
  PlyState n{};
  n.indexKey = index;
  n.lockKey = lock;
  n.side = uint8_t(side);
  n.ply = uint8_t(ply);
  return n;
}

StoreRequest request(TableBound bound, int32_t score, int32_t depth, Move move = 0x1234) {
  return StoreRequest{bound, score, depth, move, NoMove, false, false};
}

class TableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(allocate_transposition_table(64));
    clear_transposition_table();
    TransTable.generation = 5;
    set_table_signature(777);
  }
  void TearDown() override {
    TransTable.allocate = [](size_t bytes) { return std::calloc(1, bytes); };
    free_transposition_table();
  }
};

// What a score stored at ply `p` with `bound` must read as at ply `q`. Worked out from what a
// score means, not from the table's formulas: a mate score counts plies from the root, the
// table keeps it as the distance from the stored node (so it reads as the same mate wherever
// the node recurs), and a bound in the winning direction (a lower bound above 29000, an upper
// bound below -29000) is weakened to a mate 299 plies from the node (29700 at ply 1), since
// "mate in at least n" is all the search may trust of it.
int32_t read_back(TableBound bound, int32_t s, int p, int q) {
  if (s > 29000) {
    int fromNode = 30000 - s - p;  // plies from the stored node to the mate
    if (bound == BoundLower) fromNode = std::max(fromNode, 299);
    return 30000 - (q + fromNode);
  }
  if (s < -29000) {
    int fromNode = s + 30000 - p;
    if (bound == BoundUpper) fromNode = std::max(fromNode, 299);
    return -30000 + (q + fromNode);
  }
  return s;
}

TEST_F(TableTest, EveryFieldSurvivesAtEveryPly) {
  const TableBound bounds[] = {BoundExact, BoundLower, BoundUpper};
  uint32_t key = 1;
  for (int p = 0; p < MaxPly; ++p) {
    // Plain scores, the edge of the mate range, and mates from one ply to ninety-nine away.
    const int32_t scores[] = {0, 1, -1, 437, -2999, 28999, 29000, -29000, 29701, -29701,
                              30000 - p - 1,  // mate with the next move
                              p - 30000,      // mated right here
                              30000 - 99, -30000 + 99, 30000 - p - 3, p + 2 - 30000};
    for (const TableBound bound : bounds) {
      for (const int32_t s : scores) {
        if (std::abs(s) > 30000 - p) continue;  // no mate can be nearer the root than the node
        key += 1;
        const uint32_t lock = key * 2654435761u + 17;
        PlyState n = node_with(key * 7919u, lock, key & 1, p);
        const int depth = int(key % 140) - 12;  // -12..127, quiescence depths included
        const Move move = 0x3FFFFFFF - key, move2 = (key * 40503u) & TTMoveMask;
        const bool singular = key & 2, threat = key & 4;
        clear_transposition_table();
        store_entry(n, StoreRequest{bound, s, depth, move, move2, singular, threat});
        TTEntry e;
        ASSERT_TRUE(probe_table(n, e)) << "ply " << p << " score " << s;
        SCOPED_TRACE(testing::Message() << "ply " << p << " score " << s << " bound " << bound);
        EXPECT_EQ(e.score_at(p), read_back(bound, s, p, p));
        for (const int q : {0, 1, p / 2, p + 1, 99})
          EXPECT_EQ(e.score_at(q), read_back(bound, s, p, q)) << "read at ply " << q;
        if (bound == BoundLower) {
          EXPECT_LE(e.score(), 29700);
        } else if (bound == BoundUpper) {
          EXPECT_GE(e.score(), -29700);
        }
        EXPECT_EQ(e.depth(), depth);
        EXPECT_EQ(e.best_move(), move);
        EXPECT_EQ(e.second_move(), move2);
        EXPECT_EQ(e.singular(), singular);
        EXPECT_EQ(e.mate_threat(), threat);
        EXPECT_EQ(e.exact(), bound == BoundExact);
        EXPECT_EQ(e.lower(), bound == BoundLower);
        EXPECT_EQ(e.upper(), bound == BoundUpper);
        EXPECT_EQ(e.generation(), 5u);
      }
    }
  }
  // Within the range the same score comes back at the same ply, whatever the bound; the
  // clamps read as 29700 / -29700 at ply 1.
  EXPECT_EQ(read_back(BoundLower, 29950, 1, 1), 29700);
  EXPECT_EQ(read_back(BoundUpper, -29950, 1, 1), -29700);
  PlyState n = node_with(3, 33, 0, 1);
  store_entry(n, request(BoundLower, 29950, 3));
  TTEntry e;
  ASSERT_TRUE(probe_table(n, e));
  EXPECT_EQ(e.score_at(1), 29700);
  store_entry(n, request(BoundUpper, -29950, 3));
  ASSERT_TRUE(probe_table(n, e));
  EXPECT_EQ(e.score_at(1), -29700);
  // 29000 is the last plain score: kept as it is at every ply. 29001 is the first mate score.
  for (const int p : {0, 1, 50, 99}) {
    clear_transposition_table();
    PlyState m = node_with(90 + p, 91, 1, p);
    store_entry(m, request(BoundExact, 29000, 2));
    ASSERT_TRUE(probe_table(m, e));
    EXPECT_EQ(e.score(), 29000);
    store_entry(m, request(BoundExact, -29000, 2));
    ASSERT_TRUE(probe_table(m, e));
    EXPECT_EQ(e.score(), -29000);
  }
  n.ply = 1;
  store_entry(n, request(BoundExact, 29001, 4));
  ASSERT_TRUE(probe_table(n, e));
  EXPECT_EQ(e.score_at(1), 29001);
  // Depths beyond the signed byte are kept at its ends rather than wrapping.
  store_entry(n, request(BoundExact, 0, 200));
  ASSERT_TRUE(probe_table(n, e));
  EXPECT_EQ(e.depth(), 127);
  clear_transposition_table();
  store_entry(n, request(BoundExact, 0, -200));
  ASSERT_TRUE(probe_table(n, e));
  EXPECT_EQ(e.depth(), -128);
}

TEST_F(TableTest, TornOrForeignEntryIsAMiss) {
  PlyState n = node_with(42, 0xDEADBEEF);
  store_entry(n, request(BoundExact, 55, 4));
  TTEntry e;
  ASSERT_TRUE(probe_table(n, e));
  // Another writer changed one word only: the check word no longer matches.
  SlotRef p = primary_slot(n);
  TTEntry torn = read_slot(p);
  torn.data ^= 0x10;
  write_slot(p, torn);
  EXPECT_FALSE(probe_slot(n, p, e));
  EXPECT_FALSE(probe_table(n, e));
  // Whichever single bit of the sixteen bytes a concurrent writer left behind, the copy fails.
  for (int word = 0; word < 4; ++word) {
    for (int bit = 0; bit < 32; ++bit) {
      store_entry(n, request(BoundExact, 55, 4));
      TTEntry t = read_slot(p);
      uint32_t* words[4] = {&t.check, &t.move, &t.move2Word, &t.data};
      *words[word] ^= 1u << bit;
      write_slot(p, t);
      EXPECT_FALSE(probe_slot(n, p, e)) << "word " << word << " bit " << bit;
    }
  }
  // A mix of two entries of the same slot (words of one, the rest of the other) fails too.
  store_entry(n, request(BoundExact, 55, 4, 0x1111));
  const TTEntry first = read_slot(p);
  store_entry(n, request(BoundLower, 70, 6, 0x2222));
  TTEntry mixed = read_slot(p);
  mixed.move = first.move;
  write_slot(p, mixed);
  EXPECT_FALSE(probe_slot(n, p, e));
  // Same slot, different lock key.
  store_entry(n, request(BoundExact, 55, 4));
  EXPECT_FALSE(probe_table(node_with(42, 0xDEADBEEE), e));
  // Same keys, other side to move: other arrays.
  EXPECT_FALSE(probe_table(node_with(42, 0xDEADBEEF, 1), e));
}

TEST_F(TableTest, OtherSignatureKeepsMovesButNotScores) {
  PlyState n = node_with(9, 99);
  StoreRequest r = request(BoundLower, 300, 8, 0x5555);
  r.mateThreat = true;
  store_entry(n, r);
  TTEntry e;
  ASSERT_TRUE(probe_table(n, e));
  EXPECT_TRUE(entry_is_current(e));
  advance_table_generation();
  set_table_signature(778);  // the evaluation settings changed
  ASSERT_TRUE(probe_table(n, e));
  EXPECT_FALSE(entry_is_current(e));
  EXPECT_EQ(e.best_move(), 0x5555u);
  EXPECT_TRUE(e.mate_threat());
  // A generation begun under the same signature keeps its right to cut.
  advance_table_generation();
  set_table_signature(778);
  store_entry(n, request(BoundLower, 300, 9));
  ASSERT_TRUE(probe_table(n, e));
  advance_table_generation();
  set_table_signature(778);
  EXPECT_TRUE(entry_is_current(e));
}

TEST_F(TableTest, GenerationsWrapFromThirtyOneToTwo) {
  TransTable.generation = 30;
  advance_table_generation();
  EXPECT_EQ(TransTable.generation, 31u);
  advance_table_generation();
  EXPECT_EQ(TransTable.generation, 2u);
}

// Each generation remembers the settings it began with. An entry keeps its right to cut across
// the wrap while the settings stay, loses it when they change, and (the number being reused
// thirty searches later) is judged by whatever settings the reused generation began with.
// Permanent and demoted entries always belong to the current settings.
TEST_F(TableTest, GenerationSignaturesAcrossTheWrap) {
  const uint32_t A = 0xAAAA, B = 0xBBBB;
  TransTable.generation = 30;
  advance_table_generation();
  set_table_signature(A);
  PlyState x = node_with(11, 111), kept = node_with(12, 122);
  store_entry(x, request(BoundExact, 5, 4));
  store_entry(kept, request(BoundExact, 6, 4));
  add_permanent_entry(primary_slot(kept), read_slot(primary_slot(kept)));
  restore_permanent_entries();
  TTEntry ex, ek;
  ASSERT_TRUE(probe_table(x, ex));
  ASSERT_TRUE(probe_table(kept, ek));
  ASSERT_EQ(ex.generation(), 31u);
  advance_table_generation();  // 2, same settings
  set_table_signature(A);
  EXPECT_TRUE(entry_is_current(ex));
  advance_table_generation();  // 3, new settings
  set_table_signature(B);
  EXPECT_FALSE(entry_is_current(ex));
  EXPECT_TRUE(entry_is_current(ek)) << "a permanent entry is always current";
  TTEntry demoted = ek;
  demoted.data &= ~(31u << 24);
  EXPECT_TRUE(entry_is_current(demoted));
  for (int i = 0; i < 27; ++i) {
    advance_table_generation();
    set_table_signature(B);
    EXPECT_FALSE(entry_is_current(ex)) << "generation " << TransTable.generation;
  }
  EXPECT_EQ(TransTable.generation, 30u);
  advance_table_generation();  // 31 again, begun under B
  set_table_signature(B);
  EXPECT_TRUE(entry_is_current(ex));
}

TEST_F(TableTest, ReplacementKeepsDeepEntriesAndMovesDisplacedOnes) {
  const uint32_t E = TransTable.entries;
  PlyState a = node_with(17, 1001), b = node_with(17 + E, 2002);  // same slot, other positions
  store_entry(a, request(BoundExact, 1, 9, 0xA));
  // Shallower store of another position: current generation and deeper -> secondary.
  store_entry(b, request(BoundExact, 2, 3, 0xB));
  TTEntry e;
  bool fromSecondary = false;
  ASSERT_TRUE(probe_table(a, e, &fromSecondary));
  EXPECT_FALSE(fromSecondary);
  ASSERT_TRUE(probe_table(b, e, &fromSecondary));
  EXPECT_TRUE(fromSecondary);
  // Deeper store of b takes the primary slot and moves a into the secondary one.
  store_entry(b, request(BoundExact, 2, 10, 0xB));
  ASSERT_TRUE(probe_table(b, e, &fromSecondary));
  EXPECT_FALSE(fromSecondary);
  ASSERT_TRUE(probe_table(a, e, &fromSecondary));
  EXPECT_TRUE(fromSecondary);
  EXPECT_EQ(e.depth(), 9);
  // An old generation's deep entry gives way to anything.
  advance_table_generation();
  store_entry(a, request(BoundUpper, -5, 1, 0xC));
  ASSERT_TRUE(probe_table(a, e, &fromSecondary));
  EXPECT_FALSE(fromSecondary);
  EXPECT_EQ(e.depth(), 1);
}

TEST_F(TableTest, PermanentEntrySurvivesShallowerStores) {
  const uint32_t E = TransTable.entries;
  PlyState n = node_with(300, 4242);
  store_entry(n, request(BoundExact, 80, 12, 0x77));
  const SlotRef p = primary_slot(n);
  add_permanent_entry(p, read_slot(p));
  restore_permanent_entries();
  TTEntry e;
  ASSERT_TRUE(probe_table(n, e));
  EXPECT_EQ(e.generation(), GenerationPermanent);
  store_entry(n, request(BoundExact, -40, 11, 0x99));  // shallower: ignored
  ASSERT_TRUE(probe_table(n, e));
  EXPECT_EQ(e.score(), 80);
  EXPECT_EQ(e.best_move(), 0x77u);
  // Another position in that slot goes to the secondary array.
  PlyState other = node_with(300 + E, 5353);
  store_entry(other, request(BoundExact, 1, 30));
  ASSERT_TRUE(probe_slot(n, p, e));
  bool fromSecondary = false;
  ASSERT_TRUE(probe_table(other, e, &fromSecondary));
  EXPECT_TRUE(fromSecondary);
  // At least as deep: written, still permanent.
  store_entry(n, request(BoundLower, 90, 12, 0x88));
  ASSERT_TRUE(probe_table(n, e));
  EXPECT_EQ(e.best_move(), 0x88u);
  EXPECT_EQ(e.generation(), GenerationPermanent);
  // The root store never makes it lose its permanence either.
  store_root_entry(n, 95, 13, 0x66);
  ASSERT_TRUE(probe_table(n, e));
  EXPECT_EQ(e.generation(), GenerationPermanent);
  EXPECT_EQ(e.depth(), 13);
  // Clearing loses it; the list puts it back, refreshed from the table.
  refresh_permanent_entries();
  clear_transposition_table();
  EXPECT_FALSE(probe_table(n, e));
  restore_permanent_entries();
  ASSERT_TRUE(probe_table(n, e));
  EXPECT_EQ(e.best_move(), 0x66u);
  EXPECT_EQ(e.generation(), GenerationPermanent);
}

// Analysis mode: the root's permanent entry holds what an earlier, long analysis found. A new
// analysis of the same position stores its root after every iteration, starting at depth 1;
// the deeper result must still be there when this analysis ends early, whether the table was
// kept or cleared in between.
TEST_F(TableTest, AnalysisKeepsDeepPermanentRootResult) {
  const uint32_t E = TransTable.entries;
  PlyState root = node_with(4321, 0xC0FFEE, 0, 0);
  const SlotRef p = primary_slot(root);
  // The end of the long analysis: depth 20, kept on the permanent list.
  store_root_entry(root, 140, 20, 0x4D2);
  add_permanent_entry(p, read_slot(p));
  refresh_permanent_entries();
  for (const bool keepTable : {true, false}) {
    // The next analysis of the same position: new generation, saved copies written back,
    // then a root store after each of its first three iterations, each preceded by the
    // per-iteration write-back.
    advance_table_generation();
    set_table_signature(777);
    if (!keepTable) clear_transposition_table();
    restore_permanent_entries();
    for (int d = 1; d <= 3; ++d) {
      restore_permanent_entries();
      store_root_entry(root, 30 + d, d, 0x100 + Move(d));
    }
    // It stops there: the root entry joins the list and the list is refreshed.
    add_permanent_entry(p, read_slot(p));
    refresh_permanent_entries();
    TTEntry e;
    ASSERT_TRUE(probe_table(root, e));
    EXPECT_EQ(e.depth(), 20) << (keepTable ? "kept" : "cleared") << " table";
    EXPECT_EQ(e.score(), 140);
    EXPECT_EQ(e.best_move(), 0x4D2u);
    EXPECT_EQ(e.generation(), GenerationPermanent);
    // And a later search that starts from an empty table gets it back.
    clear_transposition_table();
    restore_permanent_entries();
    ASSERT_TRUE(probe_table(root, e));
    EXPECT_EQ(e.depth(), 20);
  }
  // A deeper analysis does replace it, and stays permanent.
  store_root_entry(root, -15, 21, 0x999);
  TTEntry e;
  ASSERT_TRUE(probe_table(root, e));
  EXPECT_EQ(e.depth(), 21);
  EXPECT_EQ(e.best_move(), 0x999u);
  EXPECT_EQ(e.generation(), GenerationPermanent);
  // A root whose primary slot holds another position's permanent entry leaves that entry in
  // place, and its own result is still found after the next iteration's write-back.
  PlyState other = node_with(4321 + E, 0xBADC0DE, 0, 0);
  store_root_entry(other, 7, 4, 0x77);
  restore_permanent_entries();
  ASSERT_TRUE(probe_slot(root, p, e));
  EXPECT_EQ(e.depth(), 21);
  ASSERT_TRUE(probe_table(other, e));
  EXPECT_EQ(e.best_move(), 0x77u);
  EXPECT_EQ(e.depth(), 4);
}

TEST_F(TableTest, FullPermanentListDemotesAndDropsOldest) {
  ASSERT_TRUE(allocate_transposition_table(512));  // more slots than the list holds
  set_table_signature(777);
  for (int i = 0; i < PermanentCapacity; ++i) {
    PlyState n = node_with(uint32_t(i), 10000u + uint32_t(i));
    store_entry(n, request(BoundExact, i % 100, 5));
    add_permanent_entry(primary_slot(n), read_slot(primary_slot(n)));
  }
  restore_permanent_entries();
  EXPECT_EQ(TransTable.permanentCount, PermanentCapacity);
  PlyState extra = node_with(PermanentCapacity, 10000u + PermanentCapacity);
  store_entry(extra, request(BoundExact, 3, 5));
  add_permanent_entry(primary_slot(extra), read_slot(primary_slot(extra)));
  EXPECT_EQ(TransTable.permanentCount, PermanentCapacity - PermanentDropOnFull + 1);
  TTEntry e;
  ASSERT_TRUE(probe_table(node_with(0, 10000), e));
  EXPECT_EQ(e.generation(), GenerationEmpty);  // demoted but still a valid entry
  EXPECT_TRUE(entry_is_current(e));
  EXPECT_EQ(TransTable.permanent[0].slot.index, uint32_t(PermanentDropOnFull));
}

TEST_F(TableTest, QuiescenceEntriesNeverReplaceFullWidthOnes) {
  PlyState n = node_with(77, 7777);
  store_entry(n, request(BoundExact, 20, 3, 0x1));
  store_quiescence_entry(n, request(BoundLower, 500, 0, 0x2));
  TTEntry e;
  ASSERT_TRUE(probe_table(n, e));
  EXPECT_EQ(e.best_move(), 0x1u);
  EXPECT_EQ(e.depth(), 3);
  // Of an earlier generation the full-width entry is fair game.
  advance_table_generation();
  store_quiescence_entry(n, request(BoundLower, 500, 0, 0x2));
  ASSERT_TRUE(probe_table(n, e));
  EXPECT_EQ(e.best_move(), 0x2u);
  EXPECT_EQ(e.depth(), 0);
  // Quiescence entries replace each other, and never touch the secondary slot.
  store_quiescence_entry(n, request(BoundUpper, -10, -2, 0x3));
  bool fromSecondary = true;
  ASSERT_TRUE(probe_table(n, e, &fromSecondary));
  EXPECT_FALSE(fromSecondary);
  EXPECT_EQ(e.best_move(), 0x3u);
  EXPECT_FALSE(probe_slot(n, secondary_slot(n), e));
}

TEST_F(TableTest, HashFullCountsFreshPrimarySlots) {
  const uint32_t E = TransTable.entries;  // 1024
  advance_table_generation();
  EXPECT_EQ(hash_fill(), 0);
  for (uint32_t i = 0; i < 100; ++i) store_entry(node_with(i, i + 1), request(BoundExact, 0, 2));
  EXPECT_EQ(TransTable.newEntries, 100u);
  EXPECT_EQ(hash_fill(), int(100 * 500 / E));  // 48
  // Rewriting the same slots in the same generation with positive depth is not new.
  for (uint32_t i = 0; i < 100; ++i) store_entry(node_with(i, i + 1), request(BoundExact, 0, 3));
  EXPECT_EQ(TransTable.newEntries, 100u);
  // Slots that only held a depth-0 entry count again.
  store_entry(node_with(500, 1), request(BoundExact, 0, 0));
  store_entry(node_with(500, 1), request(BoundExact, 0, 1));
  EXPECT_EQ(TransTable.newEntries, 102u);
  for (uint32_t i = 0; i < 2 * E; ++i) store_entry(node_with(i, i + 1, (i / E) & 1), request(BoundExact, 0, 1));
  EXPECT_EQ(hash_fill(), 1000);
  advance_table_generation();
  EXPECT_EQ(hash_fill(), 0);
}

TEST(TableSize, FailedResizeFallsBackWithoutDanglingArrays) {
  ASSERT_TRUE(resize_transposition_table(100));
  EXPECT_EQ(TransTable.entries, 1600u);
  // Only allocations of the fallback size succeed.
  TransTable.allocate = [](size_t bytes) -> void* {
    return bytes == size_t(FallbackTableKB) * 16 * 16 ? std::calloc(1, bytes) : nullptr;
  };
  EXPECT_TRUE(resize_transposition_table(8192));
  EXPECT_EQ(TransTable.entries, uint32_t(FallbackTableKB) * 16);
  EXPECT_EQ(TransTable.kilobytes, FallbackTableKB);
  PlyState n = node_with(123456, 99);
  store_entry(n, request(BoundExact, 5, 5));
  TTEntry e;
  EXPECT_TRUE(probe_table(n, e));
  // Nothing can be had: no table at all, and the table operations stay safe.
  TransTable.allocate = [](size_t) -> void* { return nullptr; };
  EXPECT_FALSE(resize_transposition_table(8192));
  EXPECT_EQ(TransTable.entries, 0u);
  for (TTEntry* a : TransTable.arrays) EXPECT_EQ(a, nullptr);
  store_entry(n, request(BoundExact, 5, 5));
  store_quiescence_entry(n, request(BoundExact, 5, 0));
  store_root_entry(n, 5, 5, 1);
  clear_transposition_table();
  restore_permanent_entries();
  EXPECT_FALSE(probe_table(n, e));
  EXPECT_EQ(hash_fill(), 0);
  EXPECT_EQ(primary_slot(n).index, 0u) << "no division by the missing size";
  TransTable.allocate = [](size_t bytes) { return std::calloc(1, bytes); };
  EXPECT_TRUE(resize_transposition_table(4));
  free_transposition_table();
}

// In a search: an entry written under other evaluation settings orders the moves but never
// decides a score, in the full-width search and in quiescence alike; under the settings of
// its own search the same entry decides at once.
TEST(TableInSearch, EntryOfOtherSettingsSuppliesMovesButNoScore) {
  static Position pos;
  for (const int depth : {3, 0}) {
    ASSERT_TRUE(load_test_position(pos, "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3"));
    prepare_test_search(pos);
    PlyState& root = pos.plies[0];
    Move moves[256];
    ASSERT_GT(legal_moves(pos, root, moves), 0);
    root.move = moves[0];
    PlyState* child = make_move(pos, root);
    ASSERT_NE(child, nullptr);
    Move replies[256];
    const int n = legal_moves(pos, *child, replies);
    Move capture = NoMove;
    for (int i = 0; i < n; ++i)
      if (is_capture_or_promotion(replies[i])) capture = replies[i];
    // Quiescence takes a table move only when it captures; the full-width search any move.
    const Move reply = depth > 0 ? replies[n - 1] : capture;
    ASSERT_NE(reply, NoMove);
    const int32_t bogus = 777;  // no real score of this position
    store_entry(*child, StoreRequest{BoundExact, bogus, 30, reply, NoMove, false, false});
    auto search = [&] {
      return depth > 0 ? SearchNode(pos, *child, -30000, 30000, depth, 1, 0)
                       : QuiescenceNode(pos, *child, -30000, 30000, 0);
    };
    EXPECT_EQ(search(), bogus) << "depth " << depth << ": the entry of this search decides";
    advance_table_generation();
    set_table_signature(TransTable.evalSignature + 1);  // other evaluation settings
    const int32_t v = search();
    EXPECT_NE(v, bogus) << "depth " << depth;
    EXPECT_LT(std::abs(v), 600) << "depth " << depth;
    EXPECT_EQ(child->hashMove, reply) << "depth " << depth << ": its move is still tried first";
    unmake_move(pos, *child);
  }
}

}  // namespace
