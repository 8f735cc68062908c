// Position keys: 64 bits as two independent 32-bit halves. indexKey selects a table slot,
// lockKey verifies it (and is what repetition detection compares). The key covers piece
// placement only: side to move, castling rights and en passant are not part of it.
#pragma once

#include <cstdint>

// Constant random tables [piece code][square]; square 0 is 0 in every row. The first table
// feeds indexKey and pawnKey, the second lockKey and pawnLock.
extern const uint32_t ZobristIndex[16][65];
extern const uint32_t ZobristLock[16][65];

struct KeyPair {
  uint32_t index;
  uint32_t lock;
};

// indexKey and lockKey of a board of 65 piece codes.
KeyPair compute_key(const uint8_t* board);
// pawnKey and pawnLock: the same over the pawns only; pawnLock starts at 1, so an empty pawn
// structure never has lock 0.
KeyPair compute_pawn_key(const uint8_t* board);
// A fixed pseudo-random value taken from the first table: |n| mod 1024 picks the entry.
uint32_t table_random(int32_t n);
