#include "eval/root_pawn_structure.h"

#include <initializer_list>

#include "core/options.h"
#include "eval/root_eval.h"
#include "eval/root_piece_squares.h"
#include "eval/square_names.h"

namespace {

// Shifts that make pawns of a file want to advance (b > 0 for White: each rank up is worth b)
// or stay back.
void shift_white(int file, int b) {
  for (int r = 1; r <= 8; ++r) PieceSquareTable[WhitePawn][square_at(file, r)] += b * (r - 6);
}
void shift_black(int file, int b) {
  for (int r = 1; r <= 8; ++r) PieceSquareTable[BlackPawn][square_at(file, r)] += b * (3 - r);
}

int32_t sum_pawns(const int* p, int from, int to) {
  int32_t s = 0;
  for (int f = from; f <= to; ++f) s += p[f];
  return s;
}

}  // namespace

int32_t root_pawn_score(const Position& pos) {
  int32_t sum = 0;
  for (Square s = 1; s <= 64; ++s) {
    if (pos.board[s] == WhitePawn) sum += PieceSquareTable[WhitePawn][s];
    else if (pos.board[s] == BlackPawn) sum -= PieceSquareTable[BlackPawn][s];
  }
  return sum;
}

void adjust_pawn_structure(const Position& pos, const Census& c, uint32_t phase) {
  const int* wp = c.pawnsOnFile[White];
  const int* bp = c.pawnsOnFile[Black];
  auto at = [&](Square s, int code) { return holds(pos, s, code); };
  if (phase & (PhaseWhiteBare | PhaseBlackBare)) return;
  if (phase & PhaseEndgame) {
    // Majorities: inside each group of files separated by pawnless files, the side with more
    // pawns wants them advanced and the other side wants its own kept back.
    bool anyMajority = false;
    int f = 1;
    while (f <= 8) {
      if (wp[f] + bp[f] == 0) { ++f; continue; }
      int last = f;
      while (last + 1 <= 8 && wp[last + 1] + bp[last + 1] != 0) ++last;
      if (last - f + 1 <= 4) {
        const int d = sum_pawns(wp, f, last) - sum_pawns(bp, f, last);
        if (d != 0) {
          anyMajority = true;
          const int e = d > 0 ? d + 1 : d - 1;
          for (int g = f; g <= last; ++g) { shift_white(g, e); shift_black(g, -e); }
        }
      }
      f = last + 1;
    }
    if (!anyMajority) {
      for (int wing = 0; wing < 2; ++wing) {
        const int from = wing == 0 ? 1 : 5;
        const int d = sum_pawns(wp, from, from + 3) - sum_pawns(bp, from, from + 3);
        if (d == 0) continue;
        const int e = d > 0 ? d + 1 : d - 1;
        for (int g = from; g <= from + 3; ++g) { shift_white(g, e); shift_black(g, -e); }
      }
    }
    return;
  }

  const int kfw = c.kingFile[White];
  const int kfb = c.kingFile[Black];
  // Kings on opposite wings: storm the enemy king, keep the own shelter.
  if (kfw <= 3 && kfb >= 6) {
    shift_white(1, -2); shift_white(2, -3); shift_white(3, -2);
    shift_black(1, 3); shift_black(2, 2); shift_black(3, 2);
    shift_white(6, 1); shift_white(7, 2); shift_white(8, 3);
    shift_black(6, -2); shift_black(7, -3); shift_black(8, -2);
    return;
  }
  if (kfw >= 6 && kfb <= 3) {
    shift_black(1, -2); shift_black(2, -3); shift_black(3, -2);
    shift_white(1, 3); shift_white(2, 2); shift_white(3, 2);
    shift_black(6, 1); shift_black(7, 2); shift_black(8, 3);
    shift_white(6, -2); shift_white(7, -3); shift_white(8, -2);
    return;
  }
  // The pawns in front of the own king stay home.
  if (kfw <= 3) { shift_white(1, -2); shift_white(2, -3); shift_white(3, -2); }
  else if (kfw >= 6) { shift_white(6, -1); shift_white(7, -3); shift_white(8, -2); }
  if (kfb <= 3) { shift_black(1, -2); shift_black(2, -3); shift_black(3, -2); }
  else if (kfb >= 6) { shift_black(6, -1); shift_black(7, -3); shift_black(8, -2); }

  // Queen-side majority away from the kings.
  const int dq = sum_pawns(wp, 1, 4) - sum_pawns(bp, 1, 4);
  if (dq == -1 && at(D4, WhitePawn) && at(D5, BlackPawn) && at(C6, BlackPawn) && at(B7, BlackPawn) &&
      !at(B5, WhitePawn) && kfw >= 6 && bp[5] == 0 && wp[3] == 0) {
    RootEval.StructureFlags |= StructureQueenSideWhite;
  } else if (dq == 1 && at(D5, BlackPawn) && at(D4, WhitePawn) && at(C3, WhitePawn) &&
             at(B2, WhitePawn) && !at(B4, BlackPawn) && kfb >= 6 && bp[3] == 0 && wp[5] == 0) {
    RootEval.StructureFlags |= StructureQueenSideBlack;
  } else if ((dq > 0 && kfw >= 6) || (dq < 0 && kfb >= 6)) {
    for (int f = 1; f <= 4; ++f) { shift_white(f, dq); shift_black(f, -dq); }
  }
  const int dk = sum_pawns(wp, 5, 8) - sum_pawns(bp, 5, 8);
  if ((dk > 0 && kfw <= 3) || (dk < 0 && kfb <= 3)) {
    for (int f = 5; f <= 8; ++f) { shift_white(f, dk); shift_black(f, -dk); }
  }

  // Pawn chains: the squares from which the base of a blocked chain is attacked.
  Square blocked[10] = {0};
  for (int f = 1; f <= 8; ++f) {
    for (int r = 2; r <= 6; ++r) {
      const Square s = square_at(f, r);
      if (at(s, WhitePawn) && at(s + 8, BlackPawn)) { blocked[f] = s; break; }
    }
  }
  int32_t* wP = PieceSquareTable[WhitePawn];
  int32_t* bP = PieceSquareTable[BlackPawn];
  for (int f = 1; f <= 7; ++f) {
    const Square q0 = blocked[f], q1 = blocked[f + 1];
    if (!q0 || !q1) continue;
    if (rank_of(q0) == rank_of(q1) + 1) {
      if (f > 1) { wP[q0 - 1] += 17; bP[q0 - 1] += 17; bP[q0 + 8] += 10; }
      if (f <= 6) { bP[q0 + 2] += 17; wP[q0 + 2] += 17; wP[q1] += 10; }
    } else if (rank_of(q1) == rank_of(q0) + 1) {
      if (f <= 6) { wP[q1 + 1] += 17; bP[q1 + 1] += 17; bP[q1 + 8] += 10; }
      if (f > 1) { wP[q1 - 2] += 17; bP[q1 - 2] += 17; wP[q0] += 10; }
    }
  }

  if (!Options.PreferOpen) return;
  // Prefer open positions: pawn levers that open the centre.
  auto white_lever = [&](int x, bool left, bool right) {
    const Square s2 = square_at(x, 2);
    if (!at(s2, WhitePawn)) return;
    int leverFile = 0;
    if (left && x > 1 && at(square_at(x - 1, 4), BlackPawn)) leverFile = x - 1;
    else if (right && x < 8 && at(square_at(x + 1, 4), BlackPawn)) leverFile = x + 1;
    if (!leverFile) return;
    wP[s2] -= 10; wP[square_at(x, 4)] -= 5; bP[square_at(x, 3)] += 10;
    bP[square_at(leverFile, 3)] += 10;
  };
  auto black_lever = [&](int x, bool left, bool right) {
    const Square s7 = square_at(x, 7);
    if (!at(s7, BlackPawn)) return;
    int leverFile = 0;
    if (right && x < 8 && at(square_at(x + 1, 5), WhitePawn)) leverFile = x + 1;
    else if (left && x > 1 && at(square_at(x - 1, 5), WhitePawn)) leverFile = x - 1;
    if (!leverFile) return;
    bP[s7] -= 10; bP[square_at(x, 5)] -= 5; wP[square_at(x, 6)] += 10;
    wP[square_at(leverFile, 6)] += 10;
  };
  for (int x = 3; x <= 6; ++x) white_lever(x, true, true);
  if (kfw > 5) { white_lever(1, false, true); white_lever(2, false, true); }
  else if (kfw <= 3) { white_lever(7, true, false); white_lever(8, true, false); }
  for (int x = 3; x <= 6; ++x) black_lever(x, true, true);
  if (kfb > 5) { black_lever(1, false, true); black_lever(2, false, true); }
  else if (kfb <= 3) { black_lever(7, true, false); black_lever(8, true, false); }
}

void set_structure_flags(const Position& pos, const Census& c, uint32_t phase, int engine) {
  if (phase & EndgameLikeMask) return;
  auto at = [&](Square s, int code) { return holds(pos, s, code); };
  auto minor_on = [&](Square s, int colour) {
    return at(s, with_colour(3, colour)) || at(s, with_colour(5, colour));
  };
  const bool bit4Material = c.minors(0) + c.minors(1) >= 5 &&
                            sum_pawns(c.pawnsOnFile[White], 1, 3) + sum_pawns(c.pawnsOnFile[Black], 1, 3) >= 4;
  uint32_t& flags = RootEval.StructureFlags;
  if (engine == Black) {
    if (bit4Material && at(D4, WhitePawn) && at(F4, WhitePawn) && !at(E5, WhitePawn) &&
        at(D5, BlackPawn) && at(E6, BlackPawn) && at(F7, BlackPawn) && c.kingFile[Black] >= 5)
      flags |= StructureStonewall;
    if (c.rooks[White] >= 1 && c.queens[White] >= 1) {
      if (at(H6, BlackPawn) && at(H4, WhitePawn) && minor_on(G5, White) && c.kingFile[Black] >= 7)
        flags |= StructureHFileAttack;
      else if (at(A6, BlackPawn) && at(A4, WhitePawn) && minor_on(B5, White) && c.kingFile[Black] <= 2)
        flags |= StructureAFileAttack;
    }
  } else {
    if (bit4Material && at(D4, WhitePawn) && at(E3, WhitePawn) && at(F2, WhitePawn) &&
        at(D5, BlackPawn) && at(F5, BlackPawn) && !at(E4, BlackPawn) && c.kingFile[White] >= 5)
      flags |= StructureStonewall;
    if (c.rooks[Black] >= 1 && c.queens[Black] >= 1) {
      if (at(H3, WhitePawn) && at(H5, BlackPawn) && minor_on(G4, Black) && c.kingFile[White] >= 7)
        flags |= StructureHFileAttack;
      else if (at(A3, WhitePawn) && at(A5, BlackPawn) && minor_on(B4, Black) && c.kingFile[White] <= 2)
        flags |= StructureAFileAttack;
    }
  }
}

void adjust_for_structure_flags(const Position& pos, const Census& c, int engine) {
  const uint32_t flags = RootEval.StructureFlags;
  auto at = [&](Square s, int code) { return holds(pos, s, code); };
  int32_t* wP = white_entries(2);
  int32_t* bP = black_entries(2);
  int32_t* wB = white_entries(5);
  int32_t* bB = black_entries(5);
  int32_t* wR = white_entries(6);
  int32_t* bR = black_entries(6);
  int32_t* wQ = white_entries(7);
  int32_t* bQ = black_entries(7);
  if (flags & StructureStonewall) {
    if (engine == Black) {
      bP[C4] -= 50;
      if (c.kingFile[Black] <= 5)
        for (Square s : {F8, G8, H8, F7, G7, H7, F6, G6, H6}) black_entries(1)[s] -= 65;
      for (Square s = 1; s <= 64; ++s)
        if (!is_dark_square(s)) { wB[s] += 8; bB[s] -= 6; }
      wB[D3] += 6;
    } else {
      wP[C5] -= 50;
      if (c.kingFile[White] <= 5)
        for (Square s : {F1, G1, H1, F2, G2, H2, F3, G3, H3}) white_entries(1)[s] -= 65;
      for (Square s = 1; s <= 64; ++s)
        if (is_dark_square(s)) { bB[s] += 8; wB[s] -= 6; }
      bB[D6] += 6;
    }
  }
  if (flags & StructureQueenSideWhite) {
    if (at(B2, WhitePawn) || at(B3, WhitePawn)) {
      wQ[B3] -= 25; wP[A4] -= 12; wP[B2] -= 13; wP[B3] -= 13;
    } else if (at(B4, WhitePawn)) {
      wP[B4] -= 11;
    }
    wR[C1] -= 5;
    wQ[A4] -= 9; bQ[B6] -= 9; bQ[A5] -= 9;
    wR[B1] += 9;
    bP[C6] += 14; bP[B7] += 14;
  } else if (flags & StructureQueenSideBlack) {
    if (at(B7, BlackPawn) || at(B6, BlackPawn)) {
      bQ[B6] -= 25; bP[A5] -= 12; bP[B7] -= 13; bP[B6] -= 13;
    } else if (at(B5, BlackPawn)) {
      bP[B5] -= 11;
    }
    bR[C8] -= 5;
    bQ[A5] -= 9; wQ[B3] -= 9; wQ[A4] -= 9;
    bR[B8] += 9;
    wP[C3] += 14; wP[B2] += 14;
  }
}
