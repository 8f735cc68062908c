// The transposition table against a plain model. The model keeps, per slot, what the entry
// means (position, bound, score as a distance from the node, depth, moves, flags, generation)
// in a std::unordered_map, and applies the replacement rules to those meanings: the
// depth-preferred primary slot with the always-replace secondary one, the quiescence and root
// stores, permanent entries and their list, generations and their signatures. Random stores
// and probes over many positions crowded into a small table (every slot shared by several
// positions) are then compared: every probe's hit or miss and every field read back, and the
// raw contents of both slots of the position, read where plain modular arithmetic says they
// are.
#include "table_stress.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <unordered_map>
#include <vector>

#include "search/transposition.h"

namespace {

struct Meaning {
  uint32_t lock;
  int bound;         // 0 exact, 1 upper, 2 lower
  int fromNode;      // mates: plies from the stored node to the mate; otherwise unused
  int32_t plain;     // non-mate scores as stored
  int sign;          // +1 mate for the side to move, -1 mated, 0 plain score
  int depth;
  Move move, move2;
  bool singular, threat;
  uint32_t generation;
};

struct Pos {
  uint32_t indexKey, lockKey;
  int side;
};

struct Model {
  uint32_t entries;
  uint32_t generation = 2;
  uint32_t signatureOf[32] = {};
  uint32_t signature = 0;
  std::unordered_map<uint64_t, Meaning> slots;  // (array << 32) | index
  struct Saved {
    uint64_t slot;
    Meaning copy;
  };
  std::vector<Saved> permanent;

  uint64_t slot_key(int array, uint32_t index) const { return (uint64_t(array) << 32) | index; }
  uint64_t primary(const Pos& p) const { return slot_key(p.side * 2, p.indexKey % entries); }
  uint64_t secondary(const Pos& p) const { return slot_key(p.side * 2 + 1, p.indexKey % entries); }
  const Meaning* at(uint64_t k) const {
    auto it = slots.find(k);
    return it == slots.end() ? nullptr : &it->second;
  }
};

// What a stored score means: mates as distance from the node, bounds in the winning direction
// no nearer than 299 plies from the node.
Meaning meaning_of(const Pos& p, int bound, int32_t score, int ply, int depth, Move m, Move m2,
                   bool singular, bool threat, uint32_t generation) {
  Meaning e{p.lockKey, bound, 0, 0, 0, std::clamp(depth, -128, 127), m, m2, singular, threat, generation};
  if (score > 29000) {
    e.sign = 1;
    e.fromNode = 30000 - score - ply;
    if (bound == 2) e.fromNode = std::max(e.fromNode, 299);
  } else if (score < -29000) {
    e.sign = -1;
    e.fromNode = score + 30000 - ply;
    if (bound == 1) e.fromNode = std::max(e.fromNode, 299);
  } else {
    e.plain = score;
  }
  return e;
}

int32_t read_at(const Meaning& e, int ply) {
  if (e.sign > 0) return 30000 - (ply + e.fromNode);
  if (e.sign < 0) return -30000 + (ply + e.fromNode);
  return e.plain;
}

struct Stress {
  Model model;
  std::mt19937_64 rng;
  std::vector<Pos> positions;
  uint64_t checked = 0, disagreements = 0;
  int reported = 0;

  explicit Stress(uint64_t seed) : rng(seed) {}
  uint32_t next32() { return uint32_t(rng()); }
  int uniform(int lo, int hi) { return lo + int(rng() % uint64_t(hi - lo + 1)); }

  void fault(const char* what, uint64_t op) {
    ++disagreements;
    if (reported++ < 10) std::printf("table fault at operation %llu: %s\n", (unsigned long long)op, what);
  }

  // Both slots of the position, raw, against the model.
  void compare_slots(const Pos& p, uint64_t op) {
    const uint32_t index = p.indexKey % model.entries;
    for (int half = 0; half < 2; ++half) {
      const TTEntry t = read_slot(SlotRef{uint8_t(p.side * 2 + half), index});
      const Meaning* m = model.at(model.slot_key(p.side * 2 + half, index));
      ++checked;
      if (!m) {
        if (!t.is_zero()) fault("a slot the model holds empty is not", op);
        continue;
      }
      if (t.key() != m->lock) {
        fault("a slot holds another position than the model says", op);
        continue;
      }
      compare_entry(t, *m, uniform(0, 99), op);
    }
  }

  void compare_entry(const TTEntry& t, const Meaning& m, int ply, uint64_t op) {
    const int bound = t.exact() ? 0 : t.upper() ? 1 : t.lower() ? 2 : 3;
    if (bound != m.bound) fault("bound", op);
    if (t.score_at(ply) != read_at(m, ply)) fault("score", op);
    if (t.depth() != m.depth) fault("depth", op);
    if (t.best_move() != m.move) fault("best move", op);
    if (t.second_move() != m.move2) fault("second move", op);
    if (t.singular() != m.singular) fault("singular flag", op);
    if (t.mate_threat() != m.threat) fault("mate threat", op);
    if (t.generation() != m.generation) fault("generation", op);
    if (entry_is_current(t) != (model.signatureOf[m.generation] == model.signature))
      fault("right to cut (signature of the generation)", op);
  }

  void probe(const Pos& p, uint64_t op) {
    PlyState n{};
    n.indexKey = p.indexKey;
    n.lockKey = p.lockKey;
    n.side = uint8_t(p.side);
    TTEntry t;
    bool fromSecondary = false;
    const bool hit = probe_table(n, t, &fromSecondary);
    const Meaning* pm = model.at(model.primary(p));
    const Meaning* sm = model.at(model.secondary(p));
    const Meaning* want = pm && pm->lock == p.lockKey ? pm : sm && sm->lock == p.lockKey ? sm : nullptr;
    ++checked;
    if (hit != (want != nullptr)) {
      fault(hit ? "probe found an entry the model does not have" : "probe missed an entry the model has", op);
    } else if (hit) {
      if (fromSecondary != (want == sm && want != pm)) fault("probe read the other slot", op);
      compare_entry(t, *want, uniform(0, 99), op);
    }
    compare_slots(p, op);
  }

  void store(const Pos& p, int kind) {
    const int ply = uniform(0, 99);
    int32_t score;
    switch (uniform(0, 3)) {
      case 0: score = 30000 - ply - uniform(0, 99 - ply); break;  // mate for the side to move
      case 1: score = -30000 + ply + uniform(0, 99 - ply); break;
      default: score = uniform(-3000, 3000);
    }
    const int bound = uniform(0, 2);
    const int depth = kind == 1 ? uniform(-8, 0) : uniform(-2, 40);
    const Move m = next32() & 0x3FFFFFFF, m2 = next32() & TTMoveMask;
    const bool singular = kind == 0 && (rng() & 1), threat = kind == 0 && (rng() & 1);
    PlyState n{};
    n.indexKey = p.indexKey;
    n.lockKey = p.lockKey;
    n.side = uint8_t(p.side);
    n.ply = uint8_t(ply);
    const TableBound tb = bound == 0 ? BoundExact : bound == 1 ? BoundUpper : BoundLower;
    const uint32_t cur = model.generation;
    const uint64_t pk = model.primary(p), sk = model.secondary(p);
    const Meaning* pm = model.at(pk);
    const bool pPresent = pm != nullptr;
    const Meaning slotP = pm ? *pm : Meaning{};
    auto fresh = [&](uint32_t g) {
      return meaning_of(p, bound, score, ply, depth, m, kind == 0 ? m2 : NoMove, singular, threat, g);
    };
    if (kind == 0) {
      store_entry(n, StoreRequest{tb, score, depth, m, m2, singular, threat});
      if (pPresent && slotP.generation == cur && slotP.depth > depth) {
        model.slots[sk] = fresh(cur);
      } else if (pPresent && slotP.generation == 1) {
        if (slotP.lock == p.lockKey) {
          if (depth >= slotP.depth) model.slots[pk] = fresh(1);
        } else {
          model.slots[sk] = fresh(cur);
        }
      } else {
        if (pPresent && slotP.lock != p.lockKey) model.slots[sk] = slotP;
        model.slots[pk] = fresh(cur);
      }
    } else if (kind == 1) {
      store_quiescence_entry(n, StoreRequest{tb, score, depth, m, NoMove, false, false});
      if (!(pPresent && slotP.depth > 0 && (slotP.generation == cur || slotP.generation == 1)))
        model.slots[pk] = fresh(cur);
    } else {
      // The root store after an iteration: exact, at ply 0, no second move or flags.
      const int d = uniform(1, 40);
      n.ply = 0;
      store_root_entry(n, score, d, m);
      Meaning root = meaning_of(p, 0, score, 0, d, m, NoMove, false, false, cur);
      if (pPresent && slotP.generation == cur && slotP.depth > d) {
        // a deeper entry of this search stays
      } else if (pPresent && slotP.generation == 1) {
        if (slotP.lock == p.lockKey) {
          root.generation = 1;
          if (d >= slotP.depth) model.slots[pk] = root;
        } else {
          model.slots[sk] = root;
        }
      } else {
        model.slots[pk] = root;
      }
    }
  }

  void permanent_op(const Pos& p, int which) {
    if (which == 0) {
      // Keep the position's primary entry: what the end of an analysis does with the root.
      const uint32_t index = p.indexKey % model.entries;
      const SlotRef ref{uint8_t(p.side * 2), index};
      const TTEntry t = read_slot(ref);
      const uint64_t k = model.primary(p);
      const Meaning* m = model.at(k);
      if (t.key() != p.lockKey || !m || m->lock != p.lockKey || model.permanent.size() >= 200) return;
      add_permanent_entry(ref, t);
      Meaning copy = *m;
      copy.generation = 1;
      auto it = std::find_if(model.permanent.begin(), model.permanent.end(),
                             [&](const Model::Saved& s) { return s.slot == k; });
      if (it != model.permanent.end()) it->copy = copy;
      else model.permanent.push_back({k, copy});
    } else if (which == 1) {
      restore_permanent_entries();
      for (const auto& s : model.permanent) {
        const Meaning* cur = model.at(s.slot);
        if (!cur || cur->generation != 1) model.slots[s.slot] = s.copy;
      }
    } else {
      refresh_permanent_entries();
      for (auto& s : model.permanent) {
        const Meaning* cur = model.at(s.slot);
        if (cur && cur->lock == s.copy.lock) {
          s.copy = *cur;
          s.copy.generation = 1;
        }
      }
    }
  }

  void new_search(uint32_t signature) {
    advance_table_generation();
    model.generation = model.generation == 31 ? 2 : model.generation + 1;
    set_table_signature(signature);
    model.signature = signature;
    model.signatureOf[0] = model.signatureOf[1] = model.signatureOf[model.generation] = signature;
  }
};

}  // namespace

TableStressResult run_table_stress(uint64_t operations, uint64_t seed) {
  Stress st(seed);
  // 13 kilobytes: 208 entries per array, not a power of two; far more positions than slots.
  allocate_transposition_table(13);
  clear_transposition_table();
  st.model.entries = TransTable.entries;
  TransTable.generation = 2;
  st.new_search(0x1234);
  for (int i = 0; i < 1500; ++i) {
    Pos p{st.next32(), st.next32() | 1, int(st.rng() & 1)};
    st.positions.push_back(p);
  }
  uint64_t signature = 0x1234;
  for (uint64_t op = 0; op < operations; ++op) {
    const Pos& p = st.positions[st.rng() % st.positions.size()];
    const int r = st.uniform(0, 999);
    if (r < 430) st.store(p, 0);
    else if (r < 560) st.store(p, 1);
    else if (r < 580) st.store(p, 2);
    else if (r < 990) st.probe(p, op);
    else if (r < 994) st.permanent_op(p, 0);
    else if (r < 996) st.permanent_op(p, 1);
    else if (r < 997) st.permanent_op(p, 2);
    else if (r < 999) st.new_search(uint32_t(signature += (st.rng() & 3) == 0));  // now and then new settings
    else {
      clear_transposition_table();  // a search without kept tables
      st.model.slots.clear();
    }
  }
  free_transposition_table();
  return TableStressResult{st.checked, st.disagreements};
}

// ---- Every store of a real search ----------------------------------------------------------
// The watcher works out from both slots as they were before a store where the new entry must
// be (primary, secondary, nowhere), what must have moved aside and what must be untouched, and
// compares it with the slots after: the written entry field by field, the score by what it
// means at the node's ply.

StoreWatchCounts StoreWatch{};

namespace {

uint32_t LastGeneration = 0;
uint64_t LastNewEntries = 0;

bool same_words(const TTEntry& a, const TTEntry& b) {
  return a.check == b.check && a.move == b.move && a.move2Word == b.move2Word && a.data == b.data;
}

void store_fault(const PlyState& node, TableStoreKind kind, const char* what) {
  ++StoreWatch.disagreements;
  if (StoreWatch.reported++ < 10)
    std::printf("table store fault (%s store at ply %d): %s\n",
                kind == TableStoreKind::FullWidth ? "full-width" : kind == TableStoreKind::Quiescence ? "quiescence" : "root",
                node.ply, what);
}

void check_written(const PlyState& node, TableStoreKind kind, const StoreRequest& req, const TTEntry& e,
                   uint32_t generation) {
  const int bound = req.bound == BoundExact ? 0 : req.bound == BoundUpper ? 1 : 2;
  Pos p{node.indexKey, node.lockKey, node.side};
  const Meaning want = meaning_of(p, bound, req.score, node.ply, req.depth, req.move,
                                  req.move2 & TTMoveMask, req.singular, req.mateThreat, generation);
  if (e.key() != node.lockKey) return store_fault(node, kind, "the written entry does not verify");
  const int got = e.exact() ? 0 : e.upper() ? 1 : e.lower() ? 2 : 3;
  if (got != want.bound) store_fault(node, kind, "bound");
  for (const int q : {int(node.ply), 1, 99})
    if (e.score_at(q) != read_at(want, q)) store_fault(node, kind, "score");
  if (e.depth() != want.depth) store_fault(node, kind, "depth");
  if (e.best_move() != want.move || e.second_move() != want.move2) store_fault(node, kind, "moves");
  if (e.singular() != want.singular || e.mate_threat() != want.threat) store_fault(node, kind, "flags");
  if (e.generation() != want.generation) store_fault(node, kind, "generation");
}

void watch_store(const PlyState& node, TableStoreKind kind, const StoreRequest& req, const TTEntry& oldP,
                 const TTEntry& oldS) {
  ++StoreWatch.checked;
  ++StoreWatch.byKind[int(kind)];
  const SlotRef pRef = primary_slot(node);
  const TTEntry nowP = read_slot(pRef), nowS = read_slot(SlotRef{uint8_t(pRef.array + 1), pRef.index});
  const uint32_t cur = TransTable.generation;
  const bool holds = !oldP.is_zero();
  const bool samePosition = oldP.key() == node.lockKey;
  enum { Nowhere, Primary, Secondary } target = Nowhere;
  uint32_t generation = cur;
  bool displaced = false, counts = false;
  const bool deeperOfThisSearch = holds && oldP.generation() == cur && oldP.depth() > req.depth;
  const bool permanent = holds && oldP.generation() == 1;
  switch (kind) {
    case TableStoreKind::FullWidth:
    case TableStoreKind::Root:
      if (deeperOfThisSearch) {
        // the full-width store goes aside, the root store is dropped
        if (kind == TableStoreKind::FullWidth) target = Secondary;
      } else if (permanent) {
        // kept unless this is the same position at least as deep; another position's result
        // goes aside
        if (!samePosition) target = Secondary;
        else if (req.depth >= oldP.depth()) target = Primary, generation = 1;
      } else {
        target = Primary;
        if (kind == TableStoreKind::FullWidth) {
          displaced = holds && !samePosition;
          counts = oldP.generation() != cur || oldP.depth() < 1;
        }
      }
      break;
    case TableStoreKind::Quiescence:
      // never over a searched entry of this search or a permanent one; primary slot only
      if (!(oldP.depth() > 0 && (oldP.generation() == cur || permanent))) target = Primary;
      break;
  }

  if (target == Primary) check_written(node, kind, req, nowP, generation);
  else if (!same_words(nowP, oldP)) store_fault(node, kind, "the primary slot changed");
  if (target == Secondary) check_written(node, kind, req, nowS, generation);
  else if (!same_words(nowS, displaced ? oldP : oldS))
    store_fault(node, kind, displaced ? "the displaced entry did not move aside" : "the secondary slot changed");

  // The fill counter: a full-width store that takes a primary slot of another search or one
  // that held no searched depth counts.
  if (TransTable.generation != LastGeneration) {
    LastGeneration = TransTable.generation;
    LastNewEntries = 0;
  }
  const uint64_t now = TransTable.newEntries;
  if (now != LastNewEntries + (counts ? 1 : 0)) store_fault(node, kind, "new-entry count");
  LastNewEntries = now;
}

}  // namespace

void install_store_watch() {
  StoreWatch = StoreWatchCounts{};
  LastGeneration = TransTable.generation;
  LastNewEntries = TransTable.newEntries;
  TableStoreWatch = watch_store;
}

