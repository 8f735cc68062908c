#include "placement.h"

#include <cstdlib>

namespace tbgen {
namespace {

int file_of(int sq) { return sq & 7; }
int rank_of(int sq) { return sq >> 3; }

struct Geometry {
  uint64_t knight[64], king[64];
  uint64_t between[64][64];  // squares strictly between two aligned squares
  uint8_t alignment[64][64];  // 1 rook line, 2 bishop line, 0 none
  Geometry() {
    for (int s = 0; s < 64; ++s) {
      knight[s] = king[s] = 0;
      for (int t = 0; t < 64; ++t) {
        const int df = file_of(t) - file_of(s), dr = rank_of(t) - rank_of(s);
        const int adf = std::abs(df), adr = std::abs(dr);
        if ((adf == 1 && adr == 2) || (adf == 2 && adr == 1)) knight[s] |= uint64_t(1) << t;
        if (t != s && adf <= 1 && adr <= 1) king[s] |= uint64_t(1) << t;
        between[s][t] = 0;
        alignment[s][t] = 0;
        if (t == s) continue;
        if (df == 0 || dr == 0) alignment[s][t] = 1;
        else if (adf == adr) alignment[s][t] = 2;
        else continue;
        const int step = (dr > 0 ? 8 : dr < 0 ? -8 : 0) + (df > 0 ? 1 : df < 0 ? -1 : 0);
        for (int x = s + step; x != t; x += step) between[s][t] |= uint64_t(1) << x;
      }
    }
  }
};
const Geometry G;

const int RookSteps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
const int BishopSteps[4][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};

// Squares a slider of `type` reaches from `from` over `occupied` (the first blocker included).
uint64_t slider_reach(uint8_t type, int from, uint64_t occupied) {
  uint64_t reach = 0;
  for (int family = 0; family < 2; ++family) {
    const bool rookLike = family == 0;
    if (rookLike && type == tb::TbBishop) continue;
    if (!rookLike && type == tb::TbRook) continue;
    const int (*steps)[2] = rookLike ? RookSteps : BishopSteps;
    for (int d = 0; d < 4; ++d) {
      int f = file_of(from) + steps[d][0], r = rank_of(from) + steps[d][1];
      while (f >= 0 && f < 8 && r >= 0 && r < 8) {
        const int sq = r * 8 + f;
        reach |= uint64_t(1) << sq;
        if (occupied & (uint64_t(1) << sq)) break;
        f += steps[d][0];
        r += steps[d][1];
      }
    }
  }
  return reach;
}

uint64_t bit(int sq) { return uint64_t(1) << sq; }

// Reach of a non-pawn man (moves and captures alike).
uint64_t reach_of(uint8_t type, int from, uint64_t occupied) {
  if (type == King) return G.king[from];
  if (type == tb::TbKnight) return G.knight[from];
  return slider_reach(type, from, occupied);
}

int man_on(const Placement& p, int sq) {
  for (int i = 0; i < p.men; ++i)
    if (p.square[i] == sq) return i;
  return -1;
}

bool pawn_beside(const Placement& p, int sq, int colour) {
  for (int i = 0; i < p.men; ++i)
    if (p.type[i] == tb::TbPawn && p.colour[i] == colour && p.square[i] != Gone &&
        rank_of(p.square[i]) == rank_of(sq) && std::abs(file_of(p.square[i]) - file_of(sq)) == 1)
      return true;
  return false;
}

// Pushes a result when the mover's king is safe afterwards.
void push_if_legal(MoveResult* out, int& n, const Placement& next, int mover, bool leaves) {
  if (next.in_check(mover)) return;
  out[n].next = next;
  out[n].leaves = leaves;
  ++n;
}

}  // namespace

uint64_t Placement::occupied() const {
  uint64_t occ = 0;
  for (int i = 0; i < men; ++i)
    if (square[i] != Gone) occ |= bit(square[i]);
  return occ;
}

bool Placement::attacked(int target, int byColour) const {
  const uint64_t occ = occupied();
  for (int i = 0; i < men; ++i) {
    if (colour[i] != byColour || square[i] == Gone) continue;
    const int from = square[i];
    switch (type[i]) {
      case tb::TbPawn: {
        const int dr = rank_of(target) - rank_of(from);
        if (dr == (byColour == 0 ? 1 : -1) && std::abs(file_of(target) - file_of(from)) == 1)
          return true;
        break;
      }
      case tb::TbKnight:
        if (G.knight[from] & bit(target)) return true;
        break;
      case King:
        if (G.king[from] & bit(target)) return true;
        break;
      default: {
        const uint8_t line = G.alignment[from][target];
        if (line == 0) break;
        if (line == 1 && type[i] == tb::TbBishop) break;
        if (line == 2 && type[i] == tb::TbRook) break;
        if (!(G.between[from][target] & occ)) return true;
      }
    }
  }
  return false;
}

bool Placement::in_check(int c) const { return attacked(square[kingOf[c]], 1 - c); }

Placement placement_of_class(const tb::TbClass& cls) {
  Placement p{};
  int k = 0;
  for (int s = 0; s < 2; ++s) {
    p.kingOf[s] = k;
    p.type[k] = King;
    p.colour[k++] = uint8_t(s);
    for (int i = 0; i < cls.pieceCount[s]; ++i) {
      p.type[k] = cls.pieces[s][i];
      p.colour[k++] = uint8_t(s);
    }
  }
  p.men = k;
  p.ep = tb::NoEnPassant;
  return p;
}

int legal_moves(const Placement& p, MoveResult* out) {
  const int mover = p.side, other = 1 - mover;
  const uint64_t occ = p.occupied();
  uint64_t own = 0;
  for (int i = 0; i < p.men; ++i)
    if (p.colour[i] == mover && p.square[i] != Gone) own |= bit(p.square[i]);
  int n = 0;
  for (int i = 0; i < p.men; ++i) {
    if (p.colour[i] != mover || p.square[i] == Gone) continue;
    const int from = p.square[i];
    Placement next = p;
    next.side = other;
    next.ep = tb::NoEnPassant;
    if (p.type[i] != tb::TbPawn) {
      uint64_t targets = reach_of(p.type[i], from, occ) & ~own;
      while (targets) {
        const int to = __builtin_ctzll(targets);
        targets &= targets - 1;
        Placement q = next;
        const int victim = man_on(p, to);
        q.square[i] = to;
        if (victim >= 0) q.square[victim] = Gone;
        push_if_legal(out, n, q, mover, victim >= 0);
      }
      continue;
    }
    const int forward = mover == 0 ? 8 : -8;
    const int lastRank = mover == 0 ? 7 : 0;
    const int startRank = mover == 0 ? 1 : 6;
    auto pawn_to = [&](int to, int victim) {
      Placement q = next;
      q.square[i] = to;
      if (victim >= 0) q.square[victim] = Gone;
      if (rank_of(to) == lastRank) {
        for (uint8_t t = tb::TbKnight; t <= tb::TbQueen; ++t) {
          q.type[i] = t;
          push_if_legal(out, n, q, mover, true);
        }
      } else {
        push_if_legal(out, n, q, mover, victim >= 0);
      }
    };
    const int one = from + forward;
    if (!(occ & bit(one))) {
      pawn_to(one, -1);
      const int two = one + forward;
      if (rank_of(from) == startRank && !(occ & bit(two))) {
        Placement q = next;
        q.square[i] = two;
        if (pawn_beside(p, two, other)) q.ep = one;
        push_if_legal(out, n, q, mover, false);
      }
    }
    for (int df = -1; df <= 1; df += 2) {
      if (file_of(from) + df < 0 || file_of(from) + df > 7) continue;
      const int to = one + df;
      const int victim = man_on(p, to);
      if (victim >= 0 && p.colour[victim] == other) pawn_to(to, victim);
      if (to == p.ep && victim < 0) {
        const int captured = man_on(p, to - forward);
        if (captured >= 0) {
          Placement q = next;
          q.square[i] = to;
          q.square[captured] = Gone;
          push_if_legal(out, n, q, mover, true);
        }
      }
    }
  }
  return n;
}

namespace {

// Adds `q` and its en-passant twins: when the side not to move in `q` has a pawn that may just
// have made a double step and the side to move has a pawn beside it, the same placement with
// the en-passant right is another position with the same move.
void add_predecessor(const Placement& q, Placement* out, int& n) {
  const int toMove = q.side, waiting = 1 - q.side;
  if (q.in_check(waiting)) return;
  out[n++] = q;
  const uint64_t occ = q.occupied();
  for (int i = 0; i < q.men; ++i) {
    if (q.type[i] != tb::TbPawn || q.colour[i] != waiting) continue;
    const int sq = q.square[i];
    const int back = waiting == 0 ? -8 : 8;
    if (rank_of(sq) != (waiting == 0 ? 3 : 4)) continue;
    if (occ & (bit(sq + back) | bit(sq + 2 * back))) continue;
    if (!pawn_beside(q, sq, toMove)) continue;
    out[n] = q;
    out[n++].ep = sq + back;
  }
}

}  // namespace

int unmoves(const Placement& p, Placement* out) {
  const int mover = 1 - p.side;  // the side that made the last move
  const uint64_t occ = p.occupied();
  int n = 0;
  Placement base = p;
  base.side = mover;
  base.ep = tb::NoEnPassant;
  const int back = mover == 0 ? -8 : 8;
  if (p.ep != tb::NoEnPassant) {
    // Only the double step of the pawn beside the en-passant square led here.
    const int pawnSquare = p.ep - back;
    const int i = man_on(p, pawnSquare);
    if (i < 0) return 0;
    Placement q = base;
    q.square[i] = pawnSquare + 2 * back;
    add_predecessor(q, out, n);
    return n;
  }
  for (int i = 0; i < p.men; ++i) {
    if (p.colour[i] != mover) continue;
    const int to = p.square[i];
    if (p.type[i] != tb::TbPawn) {
      uint64_t origins = reach_of(p.type[i], to, occ) & ~occ;
      while (origins) {
        const int from = __builtin_ctzll(origins);
        origins &= origins - 1;
        Placement q = base;
        q.square[i] = from;
        add_predecessor(q, out, n);
      }
      continue;
    }
    const int from = to + back;
    if (rank_of(from) == 0 || rank_of(from) == 7 || (occ & bit(from))) continue;
    Placement q = base;
    q.square[i] = from;
    add_predecessor(q, out, n);
    const int start = from + back;
    if (rank_of(to) == (mover == 0 ? 3 : 4) && !(occ & bit(start)) && !pawn_beside(p, to, p.side)) {
      q.square[i] = start;
      add_predecessor(q, out, n);
    }
  }
  return n;
}

void probe_lists(const Placement& p, int lists[2][24], int counts[2][6]) {
  for (int s = 0; s < 2; ++s) {
    for (int k = 0; k < 24; ++k) lists[s][k] = 0;
    for (int t = 0; t < 6; ++t) counts[s][t] = 0;
  }
  for (int i = 0; i < p.men; ++i) {
    if (p.square[i] == Gone) continue;
    const int s = p.colour[i];
    if (p.type[i] == King) {
      lists[s][0] = p.square[i];
      continue;
    }
    const int t = p.type[i];
    if (counts[s][t] < 4) lists[s][4 * t + counts[s][t]] = p.square[i];
    ++counts[s][t];
  }
}

}  // namespace tbgen
