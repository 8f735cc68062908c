#include <gtest/gtest.h>

#include <cstdlib>

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

TEST_F(TableTest, RoundTripsEveryBoundAndMateDistance) {
  const uint32_t E = TransTable.entries;
  EXPECT_EQ(E, 64u * 16);
  struct Case { TableBound bound; int32_t score; int ply; int32_t expectRaw; };
  const Case cases[] = {
      {BoundExact, 37, 3, 37},       {BoundLower, -120, 5, -120},   {BoundUpper, 250, 7, 250},
      {BoundExact, 29990, 4, 29993}, {BoundExact, -29980, 6, -29985},
      {BoundLower, 29950, 2, 29700}, {BoundUpper, -29950, 2, -29700},
      {BoundLower, -29950, 2, -29951}, {BoundUpper, 29950, 2, 29951},
      {BoundLower, 29500, 9, 29508},  {BoundUpper, -29500, 9, -29508},
  };
  uint32_t key = 100;
  for (const Case& c : cases) {
    key += 7;
    PlyState n = node_with(key, key * 2654435761u, key & 1, c.ply);
    StoreRequest r = request(c.bound, c.score, 6, 0xABCD);
    r.move2 = 0x777;
    r.singular = c.bound == BoundExact;
    r.mateThreat = c.bound == BoundLower;
    store_entry(n, r);
    TTEntry e;
    ASSERT_TRUE(probe_table(n, e)) << "score " << c.score;
    EXPECT_EQ(e.score(), c.expectRaw) << "score " << c.score << " ply " << c.ply;
    EXPECT_EQ(e.depth(), 6);
    EXPECT_EQ(e.best_move(), 0xABCDu);
    EXPECT_EQ(e.second_move(), 0x777u);
    EXPECT_EQ(e.singular(), c.bound == BoundExact);
    EXPECT_EQ(e.mate_threat(), c.bound == BoundLower);
    EXPECT_EQ(e.exact(), c.bound == BoundExact);
    EXPECT_EQ(e.lower(), c.bound == BoundLower);
    EXPECT_EQ(e.upper(), c.bound == BoundUpper);
    EXPECT_EQ(e.generation(), 5u);
    // A mate score or mate bound read back at the storing ply is the same score (unless the
    // bound was clamped, which only weakens it); read two plies deeper it keeps its distance
    // from the node, so the same mate lies two plies further from the root.
    const bool clamped = std::abs(e.score()) == StoredBoundLimit && !e.exact();
    if (!clamped) {
      EXPECT_EQ(e.score_at(c.ply), c.score) << "score " << c.score;
      if (c.score > 29000) {
        EXPECT_EQ(e.score_at(c.ply + 2), c.score - 2);
      } else if (c.score < -29000) {
        EXPECT_EQ(e.score_at(c.ply + 2), c.score + 2);
      }
    } else if (e.lower()) {
      EXPECT_LE(e.score_at(c.ply), c.score) << "a clamped lower bound stays a lower bound";
    } else {
      EXPECT_GE(e.score_at(c.ply), c.score) << "a clamped upper bound stays an upper bound";
    }
  }
  // Negative stored depths (quiescence) survive the 8-bit field.
  PlyState q = node_with(5, 55);
  store_entry(q, request(BoundExact, 10, -3));
  TTEntry e;
  ASSERT_TRUE(probe_table(q, e));
  EXPECT_EQ(e.depth(), -3);
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

}  // namespace
