#include "generate.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "placement.h"
#include "tablebase/index.h"
#include "tablebase/probe.h"
#include "tablebase/values.h"

namespace tbgen {
namespace {

enum NodeState : uint8_t { Unresolved, Assigned, Done, Invalid };
constexpr int16_t NoExit = INT16_MIN;
constexpr int MaxLevels = 1024;

int16_t backed_up(int16_t child) {
  if (child > 0) return int16_t(-child + 1);
  if (child < 0) return int16_t(-child - 1);
  return 0;
}

// Generation value <-> probe result (mate in N moves: N; mated in k moves: -(k + 1)).
int32_t result_of(int16_t v) {
  if (v == 0) return 0;
  const int p = plies_of(v);
  return v > 0 ? (p + 1) / 2 : -(p / 2 + 1);
}
int16_t value_of_result(int32_t r) {
  if (r == 0) return 0;
  if (r > 0) return int16_t(WinBase - (2 * r - 1));
  return int16_t(-WinBase + 2 * (-r - 1));
}

const char* const Extension[2] = {"nbw", "nbb"};

std::string file_name(const std::string& dir, int c, int side) {
  return dir + "/" + tb::tb_class(c).name + "." + Extension[side];
}

// Material key of one side: counts of pawns .. queens in base 5.
int side_key(const int* counts) {
  int key = 0;
  for (int t = tb::TbQueen; t >= tb::TbPawn; --t) key = key * 5 + counts[t];
  return key;
}

struct MaterialIndex {
  std::vector<int16_t> classOf;  // by key(first) * 3125 + key(second)
  MaterialIndex() : classOf(3125 * 3125, 0) {
    for (int c = 1; c < tb::ClassCount; ++c) {
      const tb::TbClass& cls = tb::tb_class(c);
      int counts[2][6] = {};
      for (int s = 0; s < 2; ++s)
        for (int i = 0; i < cls.pieceCount[s]; ++i) ++counts[s][cls.pieces[s][i]];
      const int a = side_key(counts[0]), b = side_key(counts[1]);
      classOf[size_t(b) * 3125 + a] = int16_t(-c);
      classOf[size_t(a) * 3125 + b] = int16_t(c);
    }
  }
  int find(const int counts[2][6]) const {
    for (int s = 0; s < 2; ++s)
      for (int t = 1; t <= 5; ++t)
        if (counts[s][t] > 4) return 0;
    return classOf[size_t(side_key(counts[0])) * 3125 + side_key(counts[1])];
  }
};
const MaterialIndex& material_index() {
  static const MaterialIndex index;
  return index;
}

// Classes a capture or a promotion can lead to from class c.
std::vector<int> smaller_classes(int c) {
  const tb::TbClass& cls = tb::tb_class(c);
  int counts[2][6] = {};
  for (int s = 0; s < 2; ++s)
    for (int i = 0; i < cls.pieceCount[s]; ++i) ++counts[s][cls.pieces[s][i]];
  std::vector<int> out;
  auto add = [&](const int k[2][6]) {
    const int found = material_index().find(k);
    if (found != 0 && std::find(out.begin(), out.end(), std::abs(found)) == out.end())
      out.push_back(std::abs(found));
  };
  // One capture, one promotion, or both (a pawn capturing onto the last rank), repeated:
  // the closure of these steps is what the class's table depends on directly.
  for (int s = 0; s < 2; ++s)
    for (int t = 1; t <= 5; ++t) {
      if (counts[s][t] == 0) continue;
      int k[2][6];
      std::memcpy(k, counts, sizeof k);
      --k[s][t];
      add(k);  // a man of side s captured
      for (int p = 0; p < 2; ++p) {  // and a pawn of side p promoting at the same time
        if (k[p][tb::TbPawn] == 0 || p == s) continue;
        for (int promo = 2; promo <= 5; ++promo) {
          int m[2][6];
          std::memcpy(m, k, sizeof m);
          --m[p][tb::TbPawn];
          ++m[p][promo];
          add(m);
        }
      }
    }
  for (int s = 0; s < 2; ++s) {
    if (counts[s][tb::TbPawn] == 0) continue;
    for (int promo = 2; promo <= 5; ++promo) {
      int k[2][6];
      std::memcpy(k, counts, sizeof k);
      --k[s][tb::TbPawn];
      ++k[s][promo];
      add(k);
    }
  }
  return out;
}

// The probe's form of an en-passant target: 0 for none.
int probe_ep(int ep) { return ep == tb::NoEnPassant ? 0 : ep; }

// Decodes node `index` of `side`; false when it is not a legal position of the table.
bool node_placement(const tb::TbClass& cls, int side, uint64_t index, Placement& p) {
  int squares[tb::MaxMen];
  int ep;
  if (!tb::tb_decode(cls, side, index, squares, ep)) return false;
  for (int i = 0; i < p.men; ++i) p.square[i] = squares[i];
  p.side = side;
  p.ep = ep;
  return !p.in_check(1 - side);
}

}  // namespace

int entry_width(int longest, bool forceWide, bool split, int byteLimit) {
  const bool wide = forceWide || longest > byteLimit;
  if (!wide) return 8;
  return split ? 0 : 16;
}

int32_t TableSet::stored(int side, uint64_t index) const {
  return words[side].empty() ? tb::stored_from_byte(bytes[side][index]) : words[side][index];
}

int16_t Library::value_of(const int lists[2][24], const int counts[2][6], int side,
                          int ep) const {
  const int signedClass = material_index().find(counts);
  if (signedClass == 0) return 0;  // bare kings
  int tableSide;
  uint64_t index;
  if (!tb::locate_entry(signedClass, lists[0], lists[1], side, ep, tableSide, index)) return 0;
  return value_of_result(tb::result_from_stored(tables_[std::abs(signedClass)].stored(tableSide, index)));
}

long Library::verify(int c, long& checked, uint64_t& firstWrong) const {
  const tb::TbClass& cls = tb::tb_class(c);
  const Placement shape = placement_of_class(cls);
  std::vector<MoveResult> moves(256);
  long wrong = 0;
  checked = 0;
  for (int side = 0; side < 2; ++side) {
    if (side == 1 && (cls.flags & tb::SymmetricClass)) break;  // the other side is its mirror
    for (uint64_t i = 0; i < cls.size; ++i) {
      Placement p = shape;
      if (!node_placement(cls, side, i, p)) continue;
      int lists[2][24], counts[2][6];
      probe_lists(p, lists, counts);
      const int16_t stored = value_of(lists, counts, side, probe_ep(p.ep));
      const int n = legal_moves(p, moves.data());
      int16_t best = n > 0 ? NoExit : p.in_check(side) ? int16_t(-WinBase) : int16_t(0);
      for (int m = 0; m < n; ++m) {
        const Placement& next = moves[m].next;
        probe_lists(next, lists, counts);
        best = std::max(best, backed_up(value_of(lists, counts, next.side, probe_ep(next.ep))));
      }
      ++checked;
      if (best != stored && wrong++ == 0) firstWrong = uint64_t(side) * cls.size + i;
    }
  }
  return wrong;
}

bool Library::load(int c) {
  const tb::TbClass& cls = tb::tb_class(c);
  const int sides = (cls.flags & tb::SymmetricClass) ? 1 : 2;
  for (int s = 0; s < sides; ++s) {
    FILE* f = std::fopen(file_name(directory_, c, s).c_str(), "rb");
    if (!f) return false;
    // One byte per entry, or two (little-endian) in a file of twice the length.
    long length = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) length = std::ftell(f);
    const bool wide = length > 0 && uint64_t(length) == 2 * cls.size &&
                      !(cls.flags & tb::SplitFiles);
    std::vector<uint8_t> data;
    bool ok = (wide || (length >= 0 && uint64_t(length) == cls.size)) &&
              std::fseek(f, 0, SEEK_SET) == 0;
    if (ok) {
      data.resize(size_t(length));
      ok = std::fread(data.data(), 1, data.size(), f) == data.size();
    }
    std::fclose(f);
    if (!ok) return false;
    TableSet& set = tables_[c];
    if (wide) {
      set.words[s].resize(cls.size);
      for (uint64_t i = 0; i < cls.size; ++i)
        set.words[s][i] = int16_t(uint16_t(data[2 * i] | data[2 * i + 1] << 8));
      set.bytes[s].clear();
    } else {
      set.bytes[s].assign(data.begin(), data.end());
      set.words[s].clear();
    }
  }
  return true;
}

bool Library::ensure(int c, bool verbose) {
  if (c <= 0 || c >= tb::ClassCount) return false;
  if (ready_[c]) return true;
  const tb::TbClass& cls = tb::tb_class(c);
  if (cls.flags & tb::WideEntries) return false;
  // The level lists number nodes (two a position) in 32 bits, and files are written unsplit:
  // the six-man classes, whose tables are split into parts, are beyond this generator.
  if (2 * cls.size > UINT32_MAX || (cls.flags & tb::SplitFiles)) {
    std::fprintf(stderr, "%s: %llu positions a side are more than this generator handles\n",
                 cls.name, (unsigned long long)cls.size);
    return false;
  }
  for (int sub : smaller_classes(c))
    if (!ensure(sub, verbose)) return false;
  if (!load(c) && !generate(c, verbose)) return false;
  ready_[c] = true;
  return true;
}

bool Library::generate(int c, bool verbose) {
  const auto started = std::chrono::steady_clock::now();
  const tb::TbClass& cls = tb::tb_class(c);
  const uint64_t size = cls.size;
  const uint64_t nodes = 2 * size;
  std::vector<uint8_t> state(nodes, Unresolved), count(nodes, 0);
  std::vector<int16_t> value(nodes, 0), exitBest(nodes, NoExit);
  std::vector<std::vector<uint32_t>> levels(MaxLevels);
  const Placement shape = placement_of_class(cls);

  // First pass: every node's moves. Moves that stay in the class are counted (distinct
  // successor nodes); captures and promotions are looked up in the smaller tables.
  const unsigned threads = std::max(1u, std::min(2u, std::thread::hardware_concurrency()));
  std::vector<std::vector<std::vector<uint32_t>>> found(threads,
                                                        std::vector<std::vector<uint32_t>>(MaxLevels));
  auto first_pass = [&](unsigned t) {
    MoveResult moves[256];
    uint64_t successors[256];
    for (uint64_t id = t; id < nodes; id += threads) {
      const int side = int(id / size);
      Placement p = shape;
      if (!node_placement(cls, side, id % size, p)) {
        state[id] = Invalid;
        continue;
      }
      const int n = legal_moves(p, moves);
      if (n == 0) {
        if (p.in_check(side)) {
          value[id] = -WinBase;
          state[id] = Assigned;
          found[t][0].push_back(uint32_t(id));
        } else {
          state[id] = Done;  // stalemate
        }
        continue;
      }
      int16_t best = NoExit;
      int distinct = 0;
      for (int m = 0; m < n; ++m) {
        const Placement& next = moves[m].next;
        if (moves[m].leaves) {
          int lists[2][24], counts[2][6];
          probe_lists(next, lists, counts);
          best = std::max(best, backed_up(value_of(lists, counts, next.side)));
          continue;
        }
        const uint64_t j = tb::tb_index(cls, next.side, next.square, next.ep);
        const uint64_t succ = uint64_t(next.side) * size + j;
        bool seen = false;
        for (int k = 0; k < distinct && !seen; ++k) seen = successors[k] == succ;
        if (!seen) successors[distinct++] = succ;
      }
      count[id] = uint8_t(distinct);
      exitBest[id] = best;
      if (best > 0) {
        found[t][plies_of(best)].push_back(uint32_t(id));
      } else if (distinct == 0) {
        if (best == 0) {
          state[id] = Done;
        } else {
          value[id] = best;
          state[id] = Assigned;
          found[t][plies_of(best)].push_back(uint32_t(id));
        }
      }
    }
  };
  std::vector<std::thread> pool;
  for (unsigned t = 0; t < threads; ++t) pool.emplace_back(first_pass, t);
  for (auto& th : pool) th.join();
  for (auto& perThread : found)
    for (int l = 0; l < MaxLevels; ++l) {
      levels[l].insert(levels[l].end(), perThread[l].begin(), perThread[l].end());
      std::vector<uint32_t>().swap(perThread[l]);
    }

  // Then level by level in plies: a node lost in n makes its predecessors won in n + 1; a node
  // won in n takes one escape from each predecessor, and a predecessor left without escapes
  // (and without a drawing or winning way out of the class) is lost.
  Placement before[512];
  uint64_t preds[512];
  int longest = 0;
  for (int n = 0; n < MaxLevels; ++n) {
    std::vector<uint32_t>& list = levels[n];
    if (verbose && size > 1000000 && !list.empty())
      std::fprintf(stderr, "\r%s: ply %d, %zu positions  ", cls.name, n, list.size());
    for (size_t k = 0; k < list.size(); ++k) {
      const uint64_t id = list[k];
      if (state[id] == Done) continue;
      if (state[id] == Unresolved) value[id] = int16_t(WinBase - n);
      state[id] = Done;
      longest = n;
      const int side = int(id / size);
      Placement p = shape;
      if (!node_placement(cls, side, id % size, p)) continue;
      const int count_before = unmoves(p, before);
      int distinct = 0;
      for (int b = 0; b < count_before; ++b) {
        const uint64_t j = tb::tb_index(cls, before[b].side, before[b].square, before[b].ep);
        if (j == tb::NoIndex) continue;
        const uint64_t q = uint64_t(before[b].side) * size + j;
        bool seen = false;
        for (int d = 0; d < distinct && !seen; ++d) seen = preds[d] == q;
        if (!seen) preds[distinct++] = q;
      }
      const bool lost = value[id] < 0;
      for (int d = 0; d < distinct; ++d) {
        const uint64_t q = preds[d];
        if (state[q] != Unresolved) continue;
        if (lost) {
          if (n + 1 >= MaxLevels) return false;
          value[q] = int16_t(WinBase - (n + 1));
          state[q] = Assigned;
          levels[n + 1].push_back(uint32_t(q));
        } else if (--count[q] == 0 && exitBest[q] < 0) {
          const int plies = std::max(n + 1, exitBest[q] == NoExit ? 0 : plies_of(exitBest[q]));
          if (plies >= MaxLevels) return false;
          value[q] = int16_t(-WinBase + plies);
          state[q] = Assigned;
          levels[plies].push_back(uint32_t(q));
        }
      }
    }
    std::vector<uint32_t>().swap(list);
  }

  // Files: one stored value per position, as a byte while every distance of the side fits
  // one, otherwise as a 16-bit word; illegal and unused indices hold 0.
  const int sides = (cls.flags & tb::SymmetricClass) ? 1 : 2;
  int longestMate[2] = {0, 0}, width[2] = {8, 8};
  for (int s = 0; s < 2; ++s) {
    std::vector<int16_t> stored(size, 0);
    int longest = 0;
    for (uint64_t i = 0; i < size; ++i) {
      const int16_t v = value[s * size + i];
      if (state[s * size + i] == Invalid || v == 0) continue;
      const int32_t r = result_of(v);
      longest = std::max(longest, std::abs(r));
      if (r > longestMate[s]) longestMate[s] = r;
      stored[i] = int16_t(tb::stored_from_result(r));
    }
    width[s] = entry_width(longest, wide_, cls.flags & tb::SplitFiles, byteLimit_);
    if (width[s] == 0) {
      std::fprintf(stderr, "%s: a distance of %d moves needs 16-bit entries, which are not read "
                   "from a table split into parts\n", cls.name, longest);
      return false;
    }
    TableSet& set = tables_[c];
    set.bytes[s].clear();
    set.words[s].clear();
    if (width[s] == 16) {
      set.words[s] = std::move(stored);
    } else {
      set.bytes[s].resize(size);
      for (uint64_t i = 0; i < size; ++i)
        set.bytes[s][i] = stored[i] == 0 ? 0 : tb::byte_from_stored(stored[i]);
    }
    if (s >= sides) continue;
    const std::string name = file_name(directory_, c, s);
    const std::string temporary = name + ".part";
    FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f) {
      std::fprintf(stderr, "cannot write %s\n", temporary.c_str());
      return false;
    }
    bool ok;
    if (width[s] == 16) {
      std::vector<uint8_t> le(2 * size);
      for (uint64_t i = 0; i < size; ++i) {
        le[2 * i] = uint8_t(uint16_t(set.words[s][i]) & 0xff);
        le[2 * i + 1] = uint8_t(uint16_t(set.words[s][i]) >> 8);
      }
      ok = std::fwrite(le.data(), 1, le.size(), f) == le.size();
    } else {
      ok = std::fwrite(set.bytes[s].data(), 1, size, f) == size;
    }
    if (std::fclose(f) != 0 || !ok || std::rename(temporary.c_str(), name.c_str()) != 0) {
      std::fprintf(stderr, "cannot write %s\n", name.c_str());
      return false;
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  if (verbose)
    std::fprintf(stderr, "\r%s: %llu positions a side, longest mate %d (first side to move), %d "
                 "(second), %d plies deep, %.1f s\n", cls.name, (unsigned long long)size,
                 longestMate[0], longestMate[1], longest, seconds);
  if (verbose)
    for (int s = 0; s < sides; ++s)
      std::fprintf(stderr, "%s: %d-bit entries\n", file_name(directory_, c, s).c_str(), width[s]);
  return true;
}

}  // namespace tbgen
