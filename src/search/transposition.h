// The transposition table shared by every search thread: four arrays of 16-byte entries (a
// primary and a secondary array per side to move), direct indexing without buckets, and a
// check word XOR-ed with the data so that a torn entry reads as a miss. A small side list keeps
// permanent entries (analysis results, learned positions) that survive clearing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "board/position.h"
#include "platform/relaxed.h"

// Word 3 of an entry: score (signed 16 bits), stored depth (signed 8), generation (5 bits)
// and three flags. Word 2 carries the singular flag above the second move.
constexpr uint32_t TTMateThreat = 1u << 29;
constexpr uint32_t TTUpperBound = 1u << 30;
constexpr uint32_t TTLowerBound = 1u << 31;
constexpr uint32_t TTBoundMask = TTUpperBound | TTLowerBound;
constexpr uint32_t TTSingular = 1u << 30;  // in word 2
constexpr uint32_t TTMoveMask = 0x3FFFFFFF;

constexpr uint32_t GenerationEmpty = 0;
constexpr uint32_t GenerationPermanent = 1;
constexpr uint32_t FirstSearchGeneration = 2;
constexpr uint32_t LastSearchGeneration = 31;

// Stored bounds are kept inside this range; exact scores may go beyond (mates).
constexpr int32_t StoredBoundLimit = 29700;
constexpr int32_t MateThreshold = 29000;

constexpr int PermanentCapacity = 5000;
constexpr int PermanentDropOnFull = 100;
constexpr int32_t FallbackTableKB = 3072;
constexpr int32_t DefaultHashKB = 4096;

// ---- Scores ------------------------------------------------------------------------------------
// Mate scores are kept as distance from the node that stored them, bounds as well as exact
// scores: "mated in at least 5 plies from here" means the same wherever the position recurs,
// while a score counted from the root would be off by the difference of the two plies.
inline int32_t score_to_table(int32_t s, int ply) {
  if (s > MateThreshold) return s + ply - 1;
  if (s < -MateThreshold) return s - ply + 1;
  return s;
}
inline int32_t score_from_table(int32_t s, int ply) {
  if (s > MateThreshold) return s + 1 - ply;
  if (s < -MateThreshold) return s - 1 + ply;
  return s;
}

struct TTEntry {
  uint32_t check;  // lockKey ^ move ^ move2Word ^ data
  uint32_t move;
  uint32_t move2Word;  // second move, bit 30 singular
  uint32_t data;

  Move best_move() const { return move; }
  Move second_move() const { return move2Word & TTMoveMask; }
  bool singular() const { return (move2Word & TTSingular) != 0; }
  int32_t score() const { return int16_t(data & 0xFFFF); }  // as stored (mates from the node)
  int32_t score_at(int ply) const { return score_from_table(score(), ply); }
  int32_t depth() const { return int8_t((data >> 16) & 0xFF); }
  uint32_t generation() const { return (data >> 24) & 31; }
  bool mate_threat() const { return (data & TTMateThreat) != 0; }
  bool upper() const { return (data & TTBoundMask) == TTUpperBound; }
  bool lower() const { return (data & TTBoundMask) == TTLowerBound; }
  bool exact() const { return (data & TTBoundMask) == 0; }
  uint32_t key() const { return check ^ move ^ move2Word ^ data; }
  bool is_zero() const { return (check | move | move2Word | data) == 0; }
};
static_assert(sizeof(TTEntry) == 16);

enum TableBound : uint32_t { BoundExact = 0, BoundUpper = TTUpperBound, BoundLower = TTLowerBound };

// Where an entry lives: array (side * 2 + 0 primary, + 1 secondary) and slot index.
struct SlotRef {
  uint8_t array;
  uint32_t index;
};

struct PermanentRecord {
  SlotRef slot;
  TTEntry copy;
};

struct TranspositionTable {
  TTEntry* arrays[4];  // white primary, white secondary, black primary, black secondary
  uint32_t entries;    // E, entries per array (0: no table)
  int32_t kilobytes;   // K, the size all four arrays take together
  uint32_t generation;             // current search generation, 2..31
  uint32_t signatureOf[32];        // evalSignature current when each generation began
  uint32_t evalSignature;          // the current one
  Relaxed<uint32_t> newEntries;    // primary-slot stores that took a fresh slot this search
  int permanentCount;
  PermanentRecord permanent[PermanentCapacity];
  // Allocation of one array of the given byte size, zeroed; nullptr on failure. Tests replace
  // it to simulate a machine without memory.
  void* (*allocate)(size_t bytes);
  // 2^64 / entries rounded up: turns the slot division into two multiplications.
  uint64_t indexMagic = 0;
};

extern TranspositionTable TransTable;

// ---- Size, clearing, generations -------------------------------------------------------------
// Allocates four arrays for K kilobytes in all and empties the permanent list. When an array
// cannot be had, everything is released and 3072 KB are tried instead; when even that fails no
// table is left (entries 0, probes miss, stores do nothing) and false is returned.
bool resize_transposition_table(int32_t kilobytes);
// Allocation at start-up: the given size only, no fallback. False when it failed.
bool allocate_transposition_table(int32_t kilobytes);
void free_transposition_table();
void clear_transposition_table();

// Next generation (after 31 comes 2); the new-entry counter starts again.
void advance_table_generation();
// Records the evaluation signature of this search: generations 0, 1 and the current one map to it.
void set_table_signature(uint32_t evalSignature);
// True when the entry's score, bound and singular flag may be used in this search.
inline bool entry_is_current(const TTEntry& e) {
  return TransTable.signatureOf[e.generation()] == TransTable.evalSignature;
}

// Per-mill fill of the table during this search, 0..1000.
int hash_fill();

// ---- Probe and store ---------------------------------------------------------------------------
// indexKey mod entries, exact for every 32-bit key and table size, without a division.
inline uint32_t slot_index(uint32_t indexKey) {
  const uint64_t low = TransTable.indexMagic * indexKey;
  return uint32_t((static_cast<unsigned __int128>(low) * TransTable.entries) >> 64);
}
inline SlotRef primary_slot(const PlyState& node) {
  return SlotRef{uint8_t(node.side * 2), slot_index(node.indexKey)};
}
// Starts loading both slots of a position about to be searched (key and side to move there),
// so that the probe finds them in the cache. Always inlined: as a call it would be found free
// of side effects and removed.
[[gnu::always_inline]] inline void prefetch_slots(uint32_t indexKey, int side) {
  if (TransTable.entries == 0) return;
  const uint32_t i = slot_index(indexKey);
  __builtin_prefetch(TransTable.arrays[side * 2] + i);
  __builtin_prefetch(TransTable.arrays[side * 2 + 1] + i);
}
inline SlotRef secondary_slot(const PlyState& node) {
  SlotRef r = primary_slot(node);
  r.array += 1;
  return r;
}
// Copies the entry and verifies it against the node's lockKey.
bool probe_slot(const PlyState& node, SlotRef slot, TTEntry& out);
// Primary slot first, then the secondary one. `fromSecondary` tells where the hit came from.
bool probe_table(const PlyState& node, TTEntry& out, bool* fromSecondary = nullptr);

struct StoreRequest {
  TableBound bound;
  int32_t score;      // from the node's view; converted (mates, clamps) by the store
  int32_t depth;
  Move move;
  Move move2;
  bool singular;
  bool mateThreat;
};
// The full-width store with its primary/secondary replacement rule.
void store_entry(const PlyState& node, const StoreRequest& req);
// The quiescence store: primary slot only, never over a full-width entry of the current
// generation or a permanent one.
void store_quiescence_entry(const PlyState& node, const StoreRequest& req);
// The root store after an iteration: primary slot unless it holds a deeper entry of this
// generation. A permanent entry of the same position is replaced only by an at least as deep
// result, which stays permanent; one of another position keeps the slot, and the root result
// goes to the secondary slot.
void store_root_entry(const PlyState& node, int32_t score, int32_t depth, Move move);

#if TARROW_VERIFY
// The verify build lets a checker watch every store: what was asked, and both slots of the
// node as they were before (the slots after can be read).
enum class TableStoreKind { FullWidth, Quiescence, Root };
using TableStoreWatcher = void (*)(const PlyState& node, TableStoreKind kind, const StoreRequest& req,
                                   const TTEntry& oldPrimary, const TTEntry& oldSecondary);
extern TableStoreWatcher TableStoreWatch;
#endif

// Raw slot access for the learning file and the principal-variation walk.
TTEntry read_slot(SlotRef slot);
void write_slot(SlotRef slot, const TTEntry& e);
// Builds an entry with its check word.
TTEntry make_entry(uint32_t lockKey, const StoreRequest& req, int ply, uint32_t generation);

// ---- Permanent entries ------------------------------------------------------------------------
void add_permanent_entry(SlotRef slot, const TTEntry& e);
// Writes every saved copy back where its slot holds no permanent entry.
void restore_permanent_entries();
// Takes fresh copies of the slots whose key still matches, forcing generation 1.
void refresh_permanent_entries();
void clear_permanent_entries();
