#include "tablebase/catalogue.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "tablebase/index.h"

namespace tb {
namespace {

// A side's pieces as types, strongest first.
using Pieces = std::vector<int>;

void multisets(int size, int maxType, Pieces& current, std::vector<Pieces>& out) {
  if (int(current.size()) == size) {
    out.push_back(current);
    return;
  }
  for (int t = maxType; t >= TbPawn; --t) {
    current.push_back(t);
    multisets(size, t, current, out);
    current.pop_back();
  }
}

std::vector<Pieces> all_multisets(int size) {
  std::vector<Pieces> out;
  Pieces current;
  multisets(size, TbQueen, current, out);
  return out;
}

bool has_pawn(const Pieces& p) { return std::find(p.begin(), p.end(), TbPawn) != p.end(); }

struct Entry {
  Pieces first, second;
};

// Order within a group of equal men: six-man classes without pawns come first; then by the
// first side's pieces (a shorter list before the lists it begins), then by the second side's.
// This gives "kpkp" .. "kqqk" for four men, "kppkp" .. "kqqqk" for five, "knnknn" first for six.
bool class_before(const Entry& a, const Entry& b) {
  const int men = 2 + int(a.first.size() + a.second.size());
  if (men == 6) {
    const bool pa = has_pawn(a.first) || has_pawn(a.second);
    const bool pb = has_pawn(b.first) || has_pawn(b.second);
    if (pa != pb) return !pa;
  }
  if (a.first != b.first) return a.first < b.first;
  return a.second < b.second;
}

// Material splits by pieces besides the kings: one side may hold all of them up to five men;
// with six men the published set has three against one and two against two.
const int Splits[][2] = {{1, 0}, {1, 1}, {2, 0}, {2, 1}, {3, 0}, {3, 1}, {2, 2}};

struct Catalogue {
  TbClass classes[ClassCount];
  Catalogue() {
    std::memset(classes, 0, sizeof classes);
    std::strcpy(classes[0].name, "kk");
    classes[0].men = 2;
    int number = 1;
    for (int pieces = 1; pieces <= MaxClassPieces; ++pieces) {
      std::vector<Entry> group;
      for (const auto& split : Splits) {
        if (split[0] + split[1] != pieces) continue;
        for (const Pieces& a : all_multisets(split[0]))
          for (const Pieces& b : all_multisets(split[1])) {
            // With equal numbers the first-named side is the stronger one.
            if (split[0] == split[1] && std::lexicographical_compare(a.begin(), a.end(),
                                                                     b.begin(), b.end()))
              continue;
            group.push_back({a, b});
          }
      }
      std::sort(group.begin(), group.end(), class_before);
      for (const Entry& e : group) fill(classes[number++], e);
    }
  }

  static void fill(TbClass& cls, const Entry& e) {
    static const char letters[] = " pnbrq";
    char* name = cls.name;
    for (int s = 0; s < 2; ++s) {
      const Pieces& p = s == 0 ? e.first : e.second;
      *name++ = 'k';
      cls.pieceCount[s] = uint8_t(p.size());
      for (size_t i = 0; i < p.size(); ++i) {
        cls.pieces[s][i] = uint8_t(p[i]);
        *name++ = letters[p[i]];
        if (p[i] == TbPawn) cls.hasPawns = true;
      }
    }
    *name = '\0';
    cls.men = uint8_t(2 + e.first.size() + e.second.size());
    if (e.first == e.second) cls.flags |= SymmetricClass;
    cls.size = tb_table_size(cls.men, cls.hasPawns);
    // Tables above 2 GB are stored in parts.
    const uint64_t bytes = cls.size * ((cls.flags & WideEntries) ? 2 : 1);
    if (bytes > (uint64_t(1) << 31)) cls.flags |= SplitFiles;
    cls.index[0] = index_first_to_move;
    cls.index[1] = index_second_to_move;
  }
};

const Catalogue& catalogue() {
  static const Catalogue instance;
  return instance;
}

}  // namespace

const TbClass& tb_class(int number) { return catalogue().classes[number]; }

int tb_class_by_name(const char* name) {
  for (int c = 1; c < ClassCount; ++c)
    if (std::strcmp(catalogue().classes[c].name, name) == 0) return c;
  return 0;
}

int tb_class_of_material(const int counts[2][6]) {
  int total = 0;
  for (int s = 0; s < 2; ++s)
    for (int t = TbPawn; t <= TbQueen; ++t) {
      if (counts[s][t] < 0 || counts[s][t] > MaxClassPieces) return 0;
      total += counts[s][t];
    }
  if (total == 0 || total > MaxClassPieces) return 0;
  for (int c = 1; c < ClassCount; ++c) {
    const TbClass& cls = catalogue().classes[c];
    if (cls.pieceCount[0] + cls.pieceCount[1] != total) continue;
    for (int orientation = 0; orientation < 2; ++orientation) {
      bool same = true;
      for (int s = 0; s < 2 && same; ++s) {
        int have[6] = {0, 0, 0, 0, 0, 0};
        for (int i = 0; i < cls.pieceCount[s]; ++i) ++have[cls.pieces[s][i]];
        for (int t = TbPawn; t <= TbQueen; ++t)
          if (have[t] != counts[s ^ orientation][t]) same = false;
      }
      if (same) return orientation == 0 ? c : -c;
    }
  }
  return 0;
}

}  // namespace tb
