#include "board/zobrist.h"

#include "board/types.h"

KeyPair compute_key(const uint8_t* board) {
  KeyPair k{0, 0};
  for (Square s = 1; s <= 64; ++s) {
    const int p = board[s];
    if (p == Empty) continue;
    k.index ^= ZobristIndex[p][s];
    k.lock ^= ZobristLock[p][s];
  }
  return k;
}

KeyPair compute_pawn_key(const uint8_t* board) {
  KeyPair k{0, 1};
  for (Square s = 1; s <= 64; ++s) {
    const int p = board[s];
    if (p != WhitePawn && p != BlackPawn) continue;
    k.index ^= ZobristIndex[p][s];
    k.lock ^= ZobristLock[p][s];
  }
  return k;
}

uint32_t table_random(int32_t n) {
  const uint32_t magnitude = n < 0 ? uint32_t(0) - uint32_t(n) : uint32_t(n);
  const uint32_t m = magnitude % 1024;
  return ZobristIndex[m / 64][(m % 64) + 1];
}
