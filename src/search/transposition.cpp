#include "search/transposition.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

void* zeroed_allocation(size_t bytes) { return std::calloc(1, bytes); }

// Entries are shared between threads without locks: every word is read and written on its
// own, and the check word tells a consistent entry from a torn one.
uint32_t load_word(const uint32_t& w) {
  return std::atomic_ref<const uint32_t>(w).load(std::memory_order_relaxed);
}
void store_word(uint32_t& w, uint32_t v) {
  std::atomic_ref<uint32_t>(w).store(v, std::memory_order_relaxed);
}

TTEntry& slot_entry(SlotRef slot) { return TransTable.arrays[slot.array][slot.index]; }

void release_arrays() {
  for (TTEntry*& a : TransTable.arrays) {
    std::free(a);
    a = nullptr;
  }
  TransTable.entries = 0;
  TransTable.indexMagic = 0;
}

bool allocate_arrays(int32_t kilobytes) {
  release_arrays();
  const uint32_t count = uint32_t(kilobytes) * 16;
  for (TTEntry*& a : TransTable.arrays) {
    a = static_cast<TTEntry*>(TransTable.allocate(size_t(count) * sizeof(TTEntry)));
    if (a == nullptr) {
      release_arrays();
      return false;
    }
  }
  TransTable.entries = count;
  TransTable.indexMagic = UINT64_MAX / count + 1;
  TransTable.kilobytes = kilobytes;
  return true;
}

uint32_t pack_data(int32_t score, int32_t depth, uint32_t generation, uint32_t flags) {
  depth = std::clamp(depth, -128, 127);
  return (uint32_t(uint16_t(int16_t(score)))) | (uint32_t(uint8_t(int8_t(depth))) << 16) |
         ((generation & 31) << 24) | flags;
}

TTEntry with_generation(TTEntry e, uint32_t generation) {
  const uint32_t key = e.key();
  e.data = (e.data & ~(31u << 24)) | ((generation & 31) << 24);
  e.check = key ^ e.move ^ e.move2Word ^ e.data;
  return e;
}

}  // namespace

TranspositionTable TransTable = {{nullptr, nullptr, nullptr, nullptr}, 0, 0,
                                 FirstSearchGeneration, {}, 0, {0}, 0, {}, zeroed_allocation};

// ---- Size, clearing, generations -------------------------------------------------------------

bool allocate_transposition_table(int32_t kilobytes) {
  TransTable.permanentCount = 0;
  TransTable.newEntries = 0;
  return kilobytes > 0 && allocate_arrays(kilobytes);
}

bool resize_transposition_table(int32_t kilobytes) {
  TransTable.kilobytes = kilobytes;
  if (allocate_transposition_table(kilobytes)) return true;
  return allocate_transposition_table(FallbackTableKB);
}

void free_transposition_table() {
  release_arrays();
  TransTable.permanentCount = 0;
}

void clear_transposition_table() {
  if (TransTable.entries == 0) return;
  for (TTEntry* a : TransTable.arrays) std::memset(a, 0, size_t(TransTable.entries) * sizeof(TTEntry));
}

void advance_table_generation() {
  TransTable.generation += 1;
  if (TransTable.generation > LastSearchGeneration) TransTable.generation = FirstSearchGeneration;
  TransTable.newEntries = 0;
}

void set_table_signature(uint32_t evalSignature) {
  TransTable.evalSignature = evalSignature;
  TransTable.signatureOf[GenerationEmpty] = evalSignature;
  TransTable.signatureOf[GenerationPermanent] = evalSignature;
  TransTable.signatureOf[TransTable.generation] = evalSignature;
}

int hash_fill() {
  if (TransTable.entries == 0) return 0;
  const float fill = float(TransTable.newEntries) * 500.0f / float(TransTable.entries);
  return fill >= 1000.0f ? 1000 : int(fill);
}

// ---- Probe and store ---------------------------------------------------------------------------

TTEntry read_slot(SlotRef slot) {
  const TTEntry& e = slot_entry(slot);
  return TTEntry{load_word(e.check), load_word(e.move), load_word(e.move2Word), load_word(e.data)};
}

void write_slot(SlotRef slot, const TTEntry& v) {
  TTEntry& e = slot_entry(slot);
  store_word(e.move, v.move);
  store_word(e.move2Word, v.move2Word);
  store_word(e.data, v.data);
  store_word(e.check, v.check);
}

bool probe_slot(const PlyState& node, SlotRef slot, TTEntry& out) {
  if (TransTable.entries == 0) return false;
  out = read_slot(slot);
  return out.key() == node.lockKey;
}

bool probe_table(const PlyState& node, TTEntry& out, bool* fromSecondary) {
  if (TransTable.entries == 0) return false;
  const SlotRef p = primary_slot(node);
  if (probe_slot(node, p, out)) {
    if (fromSecondary) *fromSecondary = false;
    return true;
  }
  if (probe_slot(node, SlotRef{uint8_t(p.array + 1), p.index}, out)) {
    if (fromSecondary) *fromSecondary = true;
    return true;
  }
  return false;
}

TTEntry make_entry(uint32_t lockKey, const StoreRequest& req, int ply, uint32_t generation) {
  int32_t score = score_to_table(req.score, ply);
  if (req.bound == BoundLower) score = std::min(score, StoredBoundLimit);
  else if (req.bound == BoundUpper) score = std::max(score, -StoredBoundLimit);
  TTEntry e;
  e.move = req.move;
  e.move2Word = (req.move2 & TTMoveMask) | (req.singular ? TTSingular : 0);
  e.data = pack_data(score, req.depth, generation,
                     uint32_t(req.bound) | (req.mateThreat ? TTMateThreat : 0));
  e.check = lockKey ^ e.move ^ e.move2Word ^ e.data;
  return e;
}

static void store_full_width(const PlyState& node, const StoreRequest& req) {
  if (TransTable.entries == 0) return;
  const SlotRef p = primary_slot(node);
  const SlotRef s{uint8_t(p.array + 1), p.index};
  const TTEntry old = read_slot(p);
  const uint32_t gen = TransTable.generation;

  // A deeper entry of this search keeps the primary slot; the new one goes aside.
  if (old.generation() == gen && old.depth() > req.depth) {
    write_slot(s, make_entry(node.lockKey, req, node.ply, gen));
    return;
  }
  if (old.generation() == GenerationPermanent) {
    if (old.key() == node.lockKey) {
      if (req.depth >= old.depth())
        write_slot(p, make_entry(node.lockKey, req, node.ply, GenerationPermanent));
    } else {
      write_slot(s, make_entry(node.lockKey, req, node.ply, gen));
    }
    return;
  }
  // Depth-preferred primary, always-replace secondary: the displaced entry moves aside.
  if (!old.is_zero() && old.key() != node.lockKey) write_slot(s, old);
  if (old.generation() != gen || old.depth() < 1) {
#if TARROW_MP
    TransTable.newEntries.add_shared(1);  // every thread stores: no count may be lost
#else
    TransTable.newEntries += 1;
#endif
  }
  write_slot(p, make_entry(node.lockKey, req, node.ply, gen));
}

static void store_quiescence(const PlyState& node, const StoreRequest& req) {
  if (TransTable.entries == 0) return;
  const SlotRef p = primary_slot(node);
  const TTEntry old = read_slot(p);
  const uint32_t g = old.generation();
  if (old.depth() > 0 && (g == TransTable.generation || g == GenerationPermanent)) return;
  write_slot(p, make_entry(node.lockKey, req, node.ply, TransTable.generation));
}

static void store_root(const PlyState& node, int32_t score, int32_t depth, Move move) {
  if (TransTable.entries == 0) return;
  const SlotRef p = primary_slot(node);
  const TTEntry old = read_slot(p);
  if (old.generation() == TransTable.generation && old.depth() > depth) return;
  StoreRequest req{BoundExact, score, depth, move, NoMove, false, false};
  if (old.generation() == GenerationPermanent) {
    // A permanent entry is the result of an earlier analysis. Of this position it gives way
    // only to an at least as deep result: a new analysis stores its root from depth 1 on, and
    // a shallow result written over it would be what the permanent list saves at the end.
    // Of another position it keeps the slot (the next iteration would write it back over the
    // root anyway); the root goes to the secondary slot.
    if (old.key() == node.lockKey) {
      if (depth >= old.depth())
        write_slot(p, make_entry(node.lockKey, req, node.ply, GenerationPermanent));
    } else {
      write_slot(SlotRef{uint8_t(p.array + 1), p.index},
                 make_entry(node.lockKey, req, node.ply, TransTable.generation));
    }
    return;
  }
  write_slot(p, make_entry(node.lockKey, req, node.ply, TransTable.generation));
}

#if TARROW_VERIFY
TableStoreWatcher TableStoreWatch = nullptr;

namespace {
// Both slots of the node as they were before a store, handed to the watcher after it.
template <typename Store>
void watched(const PlyState& node, TableStoreKind kind, const StoreRequest& req, Store store) {
  if (TableStoreWatch == nullptr || TransTable.entries == 0) {
    store();
    return;
  }
  const SlotRef p = primary_slot(node);
  const TTEntry oldPrimary = read_slot(p), oldSecondary = read_slot(SlotRef{uint8_t(p.array + 1), p.index});
  store();
  TableStoreWatch(node, kind, req, oldPrimary, oldSecondary);
}
}  // namespace

void store_entry(const PlyState& node, const StoreRequest& req) {
  watched(node, TableStoreKind::FullWidth, req, [&] { store_full_width(node, req); });
}
void store_quiescence_entry(const PlyState& node, const StoreRequest& req) {
  watched(node, TableStoreKind::Quiescence, req, [&] { store_quiescence(node, req); });
}
void store_root_entry(const PlyState& node, int32_t score, int32_t depth, Move move) {
  const StoreRequest req{BoundExact, score, depth, move, NoMove, false, false};
  watched(node, TableStoreKind::Root, req, [&] { store_root(node, score, depth, move); });
}
#else
void store_entry(const PlyState& node, const StoreRequest& req) { store_full_width(node, req); }
void store_quiescence_entry(const PlyState& node, const StoreRequest& req) { store_quiescence(node, req); }
void store_root_entry(const PlyState& node, int32_t score, int32_t depth, Move move) {
  store_root(node, score, depth, move);
}
#endif

// ---- Permanent entries ------------------------------------------------------------------------

void add_permanent_entry(SlotRef slot, const TTEntry& e) {
  const TTEntry copy = with_generation(e, GenerationPermanent);
  for (int i = 0; i < TransTable.permanentCount; ++i) {
    PermanentRecord& r = TransTable.permanent[i];
    if (r.slot.array == slot.array && r.slot.index == slot.index) {
      r.copy = copy;
      return;
    }
  }
  if (TransTable.permanentCount == PermanentCapacity) {
    // Full: the listed entries lose their protection, the oldest records go.
    for (int i = 0; i < TransTable.permanentCount; ++i) {
      const PermanentRecord& r = TransTable.permanent[i];
      if (TransTable.entries == 0 || r.slot.index >= TransTable.entries) continue;
      const TTEntry cur = read_slot(r.slot);
      if (cur.generation() == GenerationPermanent && cur.key() == r.copy.key())
        write_slot(r.slot, with_generation(cur, GenerationEmpty));
    }
    std::memmove(TransTable.permanent, TransTable.permanent + PermanentDropOnFull,
                 sizeof(PermanentRecord) * (PermanentCapacity - PermanentDropOnFull));
    TransTable.permanentCount -= PermanentDropOnFull;
  }
  TransTable.permanent[TransTable.permanentCount++] = PermanentRecord{slot, copy};
}

void restore_permanent_entries() {
  if (TransTable.entries == 0) return;
  for (int i = 0; i < TransTable.permanentCount; ++i) {
    const PermanentRecord& r = TransTable.permanent[i];
    if (r.slot.index >= TransTable.entries) continue;
    if (read_slot(r.slot).generation() != GenerationPermanent) write_slot(r.slot, r.copy);
  }
}

void refresh_permanent_entries() {
  if (TransTable.entries == 0) return;
  for (int i = 0; i < TransTable.permanentCount; ++i) {
    PermanentRecord& r = TransTable.permanent[i];
    if (r.slot.index >= TransTable.entries) continue;
    const TTEntry cur = read_slot(r.slot);
    if (cur.key() == r.copy.key()) r.copy = with_generation(cur, GenerationPermanent);
  }
}

void clear_permanent_entries() { TransTable.permanentCount = 0; }
