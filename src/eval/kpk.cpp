// King and pawn against king by rules: a chain of geometric tests on the three men that decide
// win or draw without a table. The board is normalised so that the pawn runs up the board on
// files a..d; coordinates may point off the board (a file 0 or a rank 9), where distances are
// still well defined and simply never match a king.
#include "eval/endgame.h"

#include <cstdlib>

namespace {

struct Point {
  int file, rank;
};

inline int distance(Point a, Point b) {
  const int df = std::abs(a.file - b.file), dr = std::abs(a.rank - b.rank);
  return df > dr ? df : dr;
}
inline bool same(Point a, Point b) { return a.file == b.file && a.rank == b.rank; }

}  // namespace

bool KpkStrongToMove(int pf, int pr, int sf, int sr, int wf, int wr) {
  const Point S{sf, sr}, D{wf, wr};
  const Point Q{pf, 8};
  const int pr2 = pr == 2 ? 3 : pr;  // a pawn on its start square moves as if from rank 3
  const int fd = std::abs(wf - pf), fs = std::abs(sf - pf);
  const bool rook = pf == 1;
  const Point stop{pf, pr2};
  const int dWP = distance(stop, D), dSP = distance(stop, S);

  // 1-4: rook pawns, where the defender only needs the corner or the c-file barrier.
  if (rook) {
    if (wf == 3) {
      if (pr == 7) return !same(S, Point{pf, 8}) || wr <= 6;
      if (pr == 6 && sf < 4 && sr == 6 && wr == 8) return true;
    } else if (wf == 1 && pr < wr) {
      return false;
    }
    if (pr == 7 && wf > 2) return true;
    if (wf <= 3 && wr - pr2 > 1) return false;
    if (sf == 1 && wf == 3 && sr - pr == 1 && wr - pr == 1) return false;
  }
  // 5: the defending king is outside the pawn's square.
  if (8 - pr2 < distance(Q, D)) return true;
  // 6: the defender is much closer to the pawn than the attacker.
  if (dWP - dSP < -1 && wr - pr != fd) return false;
  // 7: two corner cases.
  if (rook) {
    if (pr <= 3 && sf <= 2 && sr == 8 && wf == 4 && wr > 6) return true;
  } else if (pf == 2 && pr == 6 && wf == 1 && wr == 8 && ((sf < 4 && sr == 6) || (sf == 4 && sr == 8))) {
    return false;
  }
  // 8: pawn on the seventh.
  if (pr == 7) {
    const bool onQueen = same(D, Q);
    if (sr < 8 && dSP == 2 && onQueen) return true;
    if (sr == 6 && ((sf == pf && onQueen) || (dSP <= 2 && !onQueen))) return true;
    if ((sr == 7 || sr == 8) && dSP <= 2 && !onQueen) return true;
  }
  // 9: pawn on the sixth.
  if (pr == 6) {
    const Point right6{pf + 1, 6}, right8{pf + 1, 8};
    if (distance(right6, D) > 1 && distance(right6, S) < distance(right8, D)) return true;
    if (!rook) {
      if (distance(Point{pf - 1, 6}, S) < distance(Point{pf - 1, 8}, D)) return true;
      if (wr == 8 && fd == 1 && distance(Point{wf, wr - 2}, S) == 1) return true;
    } else if (sf == 1 && sr == 8 && wf == 2 && wr == 6) {
      return false;
    }
  }
  // 10: the attacking king beside the pawn with the opposition on the file.
  if (pr >= 5 && fs == 2 && sr == pr && wf == sf && wr - pr == 2) return true;
  // 11: the attacker's king takes a key square diagonally in front of the pawn.
  const Point right1{pf + 1, pr + 1}, left1{pf - 1, pr + 1};
  const int A1 = distance(right1, D), B1 = distance(right1, S);
  const int A0 = distance(left1, D), B0 = distance(left1, S);
  if (!rook && pr == 5) {
    if ((fs <= 1 && sr == 6) || (B1 == 1 && A1 > 1) || (sr > 3 && wf == sf && wr > 6 && fd == 3))
      return true;
    if (B0 == 1 && A0 > 1) return true;
  } else if (pr == 2 && wr == 3 && fd > 1 && distance(Point{wf, 5}, S) < 2) {
    return true;
  }
  // 12: the defender holds the opposition from the side.
  if (sr == pr + 2 && wr == pr && fd == 1 && fs > 1 && (sf - pf > 0) == (wf - pf > 0)) return false;
  // 13
  if (rook && sf == 1 && sr == wr && wf > 3) return true;
  // 14: the attacking king reaches the square beside its path first.
  {
    const int x = sf >= pf ? pf + 1 : pf - 1;
    const int v = (fs == 0 && wr < sr) ? sr - 1 : sr - fs + 1;
    const Point xv{x, v};
    const int w = distance(xv, S);
    if ((sr - pr) - fs > 0 && sr - wr >= -1 && dWP + pr2 - w - v >= -1 && w < distance(xv, D))
      return true;
  }
  // 15: rook pawn, the defender heads for the c-file barrier.
  if (rook && wf > 3) {
    int B = wf + wr - 3;
    if (B > 8) B = 8;
    if (wr + 1 < sr) B = wr;
    if (pr2 < B) {
      const int H = distance(Point{3, B}, S), E = distance(Point{3, B}, D);
      if (E - H < -1 || (H >= E && fd - fs <= 0)) return false;
    }
  }
  // 16: key squares three ranks ahead.
  {
    const Point right3{pf + 1, pr + 3};
    const int B3 = distance(right3, D);
    if ((B1 < A1 && B1 < B3 && pr - sr != pf - sf) || (same(D, right3) && B1 == 1)) return true;
    if (!rook) {
      const Point left3{pf - 1, pr + 3};
      const int E3 = distance(left3, D);
      if ((B0 < A0 && B0 < E3 && pr - sr != sf - pf) || (same(D, left3) && B0 == 1)) return true;
    }
  }
  // 17: key squares two ranks ahead.
  {
    const Point right2{pf + 1, pr + 2}, left2{pf - 1, pr + 2};
    if (distance(right2, S) < distance(right2, D)) return true;
    if (pf >= 2 && distance(left2, S) < distance(left2, D)) return true;
  }
  // 18
  if (wr == pr && ((fs <= 2 && sr == pr - 1 && fd != 2) ||
                   (distance(Point{wf - 1, wr + 2}, S) <= 1 && wf - pf > 1) ||
                   (distance(Point{wf + 1, wr + 2}, S) <= 1 && wf - pf < -1)))
    return true;
  // 19: the attacker supports the pawn from behind or outflanks the defender.
  if (!rook) {
    if ((wr == pr && fd > 1 && distance(Point{pf, pr - 1}, S) < 2) ||
        (wr - pr > 2 && distance(Point{wf, wr - 2}, S) == 1))
      return true;
    if ((sr - pr > 1 && sr < wr && fd >= fs) || (fs <= 2 && sr - pr > 2 && wf != pf && sr - wr < 2))
      return true;
    if (sr < pr || wr - pr <= 4 || fd <= 2) {
      if (fd - fs >= -1 && pr == 2 && wr == 8) return true;
    } else if (fd - fs >= -1 && (pr2 == 3 || (pr == 2 && wr == 8))) {
      return true;
    }
  }
  // 20-22: the defender level with the pawn two files away.
  if (wr == pr && wf - pf == -2 && distance(Point{pf + 2, pr - 1}, S) <= 1) return true;
  if (pf < 3 || wr != pr || wf != pf + 2) return false;
  return distance(Point{pf - 2, pr - 1}, S) <= 1;
}

int32_t KpkValue(Square strongKing, Square weakKing, Square pawn, int pawnColour, bool strongToMove) {
  int sf = file_of(strongKing), sr = rank_of(strongKing);
  int wf = file_of(weakKing), wr = rank_of(weakKing);
  int pf = file_of(pawn), pr = rank_of(pawn);
  if (pawnColour == Black) {
    sr = 9 - sr;
    wr = 9 - wr;
    pr = 9 - pr;
  }
  if (pf > 4) {
    sf = 9 - sf;
    wf = 9 - wf;
    pf = 9 - pf;
  }
  if (strongToMove) return KpkStrongToMove(pf, pr, sf, sr, wf, wr) ? KpkWinValue : 0;

  // The defender moves: any reply that holds the draw decides.
  const Point S{sf, sr}, P{pf, pr};
  int counted = 0;
  for (int df = -1; df <= 1; ++df)
    for (int dr = -1; dr <= 1; ++dr) {
      if (!df && !dr) continue;
      const Point to{wf + df, wr + dr};
      if (to.file < 1 || to.file > 8 || to.rank < 1 || to.rank > 8) continue;
      if (distance(to, S) <= 1) continue;
      if (same(to, P)) return 0;  // the pawn falls
      if (to.rank == pr + 1 && std::abs(to.file - pf) == 1) continue;  // guarded by the pawn
      ++counted;
      if (!KpkStrongToMove(pf, pr, sf, sr, to.file, to.rank)) return 0;
    }
  return counted ? KpkWinValue : 0;  // no move at all: stalemate
}
