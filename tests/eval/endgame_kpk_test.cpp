// King and pawn against king: the rule set against an exact solution computed here by
// retrograde iteration over every position of a white pawn.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "eval/endgame.h"

namespace {

enum : uint8_t { Unknown = 0, Win = 1, Draw = 2, Illegal = 3 };

int dist(Square a, Square b) {
  return std::max(std::abs(file_of(a) - file_of(b)), std::abs(rank_of(a) - rank_of(b)));
}
bool pawn_attacks(Square pawn, Square s) {
  return rank_of(s) == rank_of(pawn) + 1 && std::abs(file_of(s) - file_of(pawn)) == 1;
}

// Exact values of king and white pawn against king: [side to move][white king][black king][pawn].
class KpkOracle {
 public:
  KpkOracle() : table(2 * 65 * 65 * 65, Unknown) {
    for (int stm = 0; stm < 2; ++stm)
      for (Square wk = 1; wk <= 64; ++wk)
        for (Square bk = 1; bk <= 64; ++bk)
          for (Square p = 9; p <= 56; ++p)
            if (!legal(stm, wk, bk, p)) at(stm, wk, bk, p) = Illegal;
    bool changed = true;
    while (changed) {
      changed = false;
      for (int stm = 0; stm < 2; ++stm)
        for (Square wk = 1; wk <= 64; ++wk)
          for (Square bk = 1; bk <= 64; ++bk)
            for (Square p = 9; p <= 56; ++p) {
              uint8_t& r = at(stm, wk, bk, p);
              if (r != Unknown) continue;
              const uint8_t v = stm == White ? white_move(wk, bk, p) : black_move(wk, bk, p);
              if (v != Unknown) {
                r = v;
                changed = true;
              }
            }
    }
  }
  // Win or draw (unresolved positions are draws).
  bool wins(int stm, Square wk, Square bk, Square p) const { return get(stm, wk, bk, p) == Win; }
  bool legal_position(int stm, Square wk, Square bk, Square p) const {
    return get(stm, wk, bk, p) != Illegal;
  }

 private:
  std::vector<uint8_t> table;
  uint8_t& at(int stm, Square wk, Square bk, Square p) { return table[((stm * 65 + wk) * 65 + bk) * 65 + p]; }
  uint8_t get(int stm, Square wk, Square bk, Square p) const {
    return table[((stm * 65 + wk) * 65 + bk) * 65 + p];
  }

  static bool legal(int stm, Square wk, Square bk, Square p) {
    if (wk == bk || wk == p || bk == p || dist(wk, bk) <= 1) return false;
    // White to move with the black king in check cannot arise.
    return !(stm == White && pawn_attacks(p, bk));
  }

  uint8_t white_move(Square wk, Square bk, Square p) {
    bool allDraw = true;
    for (int df = -1; df <= 1; ++df)
      for (int dr = -1; dr <= 1; ++dr) {
        if (!df && !dr) continue;
        const int f = file_of(wk) + df, r = rank_of(wk) + dr;
        if (f < 1 || f > 8 || r < 1 || r > 8) continue;
        const Square to = square_at(f, r);
        if (to == p || dist(to, bk) <= 1) continue;
        const uint8_t v = at(Black, to, bk, p);
        if (v == Win) return Win;
        if (v != Draw) allDraw = false;
      }
    const Square one = p + 8;
    if (one != wk && one != bk) {
      if (rank_of(one) == 8) {
        // The new queen survives unless the king takes it unprotected; a queen that stalemates
        // would be a rook instead, so promotion wins whenever the queen is safe.
        if (dist(bk, one) > 1 || dist(wk, one) <= 1) return Win;
      } else {
        const uint8_t v = at(Black, wk, bk, one);
        if (v == Win) return Win;
        if (v != Draw) allDraw = false;
      }
      const Square two = p + 16;
      if (rank_of(p) == 2 && two != wk && two != bk) {
        const uint8_t v = at(Black, wk, bk, two);
        if (v == Win) return Win;
        if (v != Draw) allDraw = false;
      }
    }
    return allDraw ? Draw : Unknown;
  }

  uint8_t black_move(Square wk, Square bk, Square p) {
    bool allWin = true, any = false;
    for (int df = -1; df <= 1; ++df)
      for (int dr = -1; dr <= 1; ++dr) {
        if (!df && !dr) continue;
        const int f = file_of(bk) + df, r = rank_of(bk) + dr;
        if (f < 1 || f > 8 || r < 1 || r > 8) continue;
        const Square to = square_at(f, r);
        if (dist(to, wk) <= 1 || pawn_attacks(p, to)) continue;
        any = true;
        if (to == p) return Draw;  // the pawn is taken
        const uint8_t v = at(White, wk, to, p);
        if (v == Draw) return Draw;
        if (v != Win) allWin = false;
      }
    if (!any) return pawn_attacks(p, bk) ? Win : Draw;  // mate or stalemate
    return allWin ? Win : Unknown;
  }
};

const KpkOracle& oracle() {
  static const KpkOracle instance;
  return instance;
}

// The rule set is a compact approximation; this measures it against the exact answer over every
// legal position with a white pawn, with either side to move.
TEST(KingPawnKing, RulesAgreeWithTheExactSolution) {
  const KpkOracle& exact = oracle();
  int positions = 0, wrong[2] = {0, 0}, falseWins = 0;
  for (int stm = 0; stm < 2; ++stm)
    for (Square wk = 1; wk <= 64; ++wk)
      for (Square bk = 1; bk <= 64; ++bk)
        for (Square p = 9; p <= 56; ++p) {
          if (!exact.legal_position(stm, wk, bk, p)) continue;
          ++positions;
          const bool win = KpkValue(wk, bk, p, White, stm == White) == KpkWinValue;
          if (win != exact.wins(stm, wk, bk, p)) {
            ++wrong[stm];
            if (win) ++falseWins;
          }
          // The same position with colours exchanged (board upside down) and with files
          // mirrored gives the same answer.
          const auto flip = [](Square s) { return ((s - 1) ^ 56) + 1; };
          const auto mirror = [](Square s) { return ((s - 1) ^ 7) + 1; };
          EXPECT_EQ(KpkValue(flip(wk), flip(bk), flip(p), Black, stm == White) == KpkWinValue, win);
          EXPECT_EQ(KpkValue(mirror(wk), mirror(bk), mirror(p), White, stm == White) == KpkWinValue, win);
        }
  const double error = double(wrong[0] + wrong[1]) / positions;
  std::printf("KPK rules: %d positions, %d wrong with White to move, %d with Black, %d false wins\n",
              positions, wrong[0], wrong[1], falseWins);
  EXPECT_LT(error, 0.001);
  EXPECT_EQ(falseWins, 0);
}

}  // namespace
