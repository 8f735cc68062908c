#include "tablebase/index.h"

#include <cstdlib>

namespace tb {
namespace {

constexpr int PawnlessKingPairs = 462;
constexpr int PawnKingPairs = 32 * 64;

int file_of(int sq) { return sq & 7; }
int rank_of(int sq) { return sq >> 3; }
bool kings_touch(int a, int b) {
  return std::abs(file_of(a) - file_of(b)) <= 1 && std::abs(rank_of(a) - rank_of(b)) <= 1;
}

// The eight symmetries of the board: bit 0 mirrors files, bit 1 ranks, bit 2 swaps the two.
struct Symmetries {
  uint8_t square[8][64];
  Symmetries() {
    for (int t = 0; t < 8; ++t)
      for (int sq = 0; sq < 64; ++sq) {
        int f = file_of(sq), r = rank_of(sq);
        if (t & 1) f = 7 - f;
        if (t & 2) r = 7 - r;
        if (t & 4) { int x = f; f = r; r = x; }
        square[t][sq] = uint8_t(r * 8 + f);
      }
  }
};
const Symmetries TheSymmetries;
int transform(int t, int sq) { return TheSymmetries.square[t][sq]; }

// Pawnless king pairs: the first king in the triangle a1-d1-d4; when it stands on the diagonal
// the second king is on or below the diagonal. Adjacent kings are left out.
struct KingPairs {
  int16_t number[64][64];
  uint8_t first[PawnlessKingPairs], second[PawnlessKingPairs];
  KingPairs() {
    int n = 0;
    for (int a = 0; a < 64; ++a)
      for (int b = 0; b < 64; ++b) {
        number[a][b] = -1;
        const bool inTriangle = file_of(a) <= 3 && rank_of(a) <= file_of(a);
        if (!inTriangle || a == b || kings_touch(a, b)) continue;
        if (rank_of(a) == file_of(a) && rank_of(b) > file_of(b)) continue;
        first[n] = uint8_t(a);
        second[n] = uint8_t(b);
        number[a][b] = int16_t(n++);
      }
    if (n != PawnlessKingPairs) std::abort();
  }
};
const KingPairs ThePairs;
const KingPairs& king_pairs() { return ThePairs; }

uint64_t power64(int n) { return uint64_t(1) << (6 * n); }

int men_of(const TbClass& cls) { return 2 + cls.pieceCount[0] + cls.pieceCount[1]; }

// Positions in `squares` of each pawn's side: true for the first side's men.
void side_marks(const TbClass& cls, bool* firstSide, bool* pawn) {
  int k = 0;
  for (int s = 0; s < 2; ++s) {
    firstSide[k] = s == 0;
    pawn[k++] = false;
    for (int i = 0; i < cls.pieceCount[s]; ++i) {
      firstSide[k] = s == 0;
      pawn[k++] = cls.pieces[s][i] == TbPawn;
    }
  }
}

bool placement_has_pawn_on_back_rank(const bool* pawn, const int* sq, int men) {
  for (int i = 0; i < men; ++i)
    if (pawn[i] && (rank_of(sq[i]) == 0 || rank_of(sq[i]) == 7)) return true;
  return false;
}

// The double-stepped pawn moves to its own back rank in the index (see index.h).
void encode_en_passant(int side, int ep, const bool* firstSide, const bool* pawn, int* sq,
                       int men) {
  if (ep == NoEnPassant) return;
  if (side == 0 && rank_of(ep) == 5) {
    for (int i = 0; i < men; ++i)
      if (!firstSide[i] && pawn[i] && sq[i] == ep - 8) { sq[i] = ep + 16; return; }
  } else if (side == 1 && rank_of(ep) == 2) {
    for (int i = 0; i < men; ++i)
      if (firstSide[i] && pawn[i] && sq[i] == ep + 8) { sq[i] = ep - 16; return; }
  }
}

}  // namespace

uint64_t tb_table_size(int men, bool hasPawns) {
  return uint64_t(hasPawns ? PawnKingPairs : PawnlessKingPairs) * power64(men - 2);
}

uint64_t tb_index(const TbClass& cls, int side, const int* squares, int ep) {
  const int men = men_of(cls), secondKing = 1 + cls.pieceCount[0];
  bool firstSide[MaxMen], pawn[MaxMen];
  side_marks(cls, firstSide, pawn);
  int sq[MaxMen];
  for (int i = 0; i < men; ++i) {
    if (squares[i] < 0 || squares[i] > 63) return NoIndex;
    sq[i] = squares[i];
  }
  if (placement_has_pawn_on_back_rank(pawn, sq, men)) return NoIndex;
  encode_en_passant(side, ep, firstSide, pawn, sq, men);

  if (cls.hasPawns) {
    if (file_of(sq[0]) > 3)
      for (int i = 0; i < men; ++i) sq[i] ^= 7;
    if (sq[0] == sq[secondKing] || kings_touch(sq[0], sq[secondKing])) return NoIndex;
    uint64_t value = uint64_t(rank_of(sq[0]) * 4 + file_of(sq[0])) * 64 + sq[secondKing];
    for (int i = 1; i < men; ++i)
      if (i != secondKing) value = value * 64 + sq[i];
    return value;
  }
  // Pawnless: the symmetry that brings the kings into the canonical pair; when two do (both kings
  // on the long diagonal) the smaller index, so that every symmetric twin gets the same index.
  const KingPairs& pairs = king_pairs();
  uint64_t best = NoIndex;
  for (int t = 0; t < 8; ++t) {
    const int pair = pairs.number[transform(t, sq[0])][transform(t, sq[secondKing])];
    if (pair < 0) continue;
    uint64_t value = uint64_t(pair);
    for (int i = 1; i < men; ++i)
      if (i != secondKing) value = value * 64 + transform(t, sq[i]);
    if (value < best) best = value;
  }
  return best;
}

bool tb_decode(const TbClass& cls, int side, uint64_t index, int* squares, int& ep) {
  if (index >= cls.size) return false;
  const int men = men_of(cls), secondKing = 1 + cls.pieceCount[0];
  bool firstSide[MaxMen], pawn[MaxMen];
  side_marks(cls, firstSide, pawn);
  uint64_t rest = index;
  for (int i = men - 1; i >= 1; --i) {
    if (i == secondKing) continue;
    squares[i] = int(rest & 63);
    rest >>= 6;
  }
  if (cls.hasPawns) {
    const int first = int(rest / 64);
    squares[0] = (first / 4) * 8 + first % 4;
    squares[secondKing] = int(rest % 64);
  } else {
    squares[0] = king_pairs().first[rest];
    squares[secondKing] = king_pairs().second[rest];
  }
  ep = NoEnPassant;
  int epPawn = -1;
  for (int i = 0; i < men; ++i) {
    if (!pawn[i]) continue;
    const int r = rank_of(squares[i]);
    if (r != 0 && r != 7) continue;
    const bool encoded = firstSide[i] ? (r == 0 && side == 1) : (r == 7 && side == 0);
    if (!encoded || epPawn >= 0) return false;
    epPawn = i;
    squares[i] += firstSide[i] ? 24 : -24;
    ep = squares[i] + (firstSide[i] ? -8 : 8);
  }
  uint64_t occupied = 0;
  for (int i = 0; i < men; ++i) {
    const uint64_t bit = uint64_t(1) << squares[i];
    if (occupied & bit) return false;
    occupied |= bit;
  }
  if (kings_touch(squares[0], squares[secondKing])) return false;
  if (epPawn >= 0) {
    // The squares the pawn crossed are empty, and a pawn of the side to move stands beside it.
    const int step = firstSide[epPawn] ? -8 : 8;
    if (occupied & ((uint64_t(1) << (squares[epPawn] + step)) |
                    (uint64_t(1) << (squares[epPawn] + 2 * step))))
      return false;
    bool capturer = false;
    for (int i = 0; i < men; ++i)
      if (pawn[i] && firstSide[i] != firstSide[epPawn] &&
          rank_of(squares[i]) == rank_of(squares[epPawn]) &&
          std::abs(file_of(squares[i]) - file_of(squares[epPawn])) == 1)
        capturer = true;
    if (!capturer) return false;
  }
  return tb_index(cls, side, squares, ep) == index;
}

namespace {
uint64_t list_index(const TbClass& cls, int side, const int* strong, const int* weak, int ep,
                    bool inverted) {
  int sq[MaxMen];
  int k = 0;
  for (int s = 0; s < 2; ++s) {
    const int* list = s == 0 ? strong : weak;
    sq[k++] = list[0];
    int used[6] = {0, 0, 0, 0, 0, 0};
    for (int i = 0; i < cls.pieceCount[s]; ++i) {
      const int type = cls.pieces[s][i];
      if (used[type] >= 4) return NoIndex;
      sq[k++] = list[4 * type + used[type]++];
    }
  }
  if (inverted) {
    for (int i = 0; i < k; ++i) sq[i] ^= 56;
    if (ep != NoEnPassant) ep ^= 56;
  }
  return tb_index(cls, side, sq, ep);
}
}  // namespace

uint64_t index_first_to_move(const TbClass& cls, const int* strong, const int* weak, int ep,
                             bool inverted) {
  return list_index(cls, 0, strong, weak, ep, inverted);
}

uint64_t index_second_to_move(const TbClass& cls, const int* strong, const int* weak, int ep,
                              bool inverted) {
  return list_index(cls, 1, strong, weak, ep, inverted);
}

}  // namespace tb
