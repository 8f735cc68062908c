// The evaluation cache shared by all search threads: two tables (one per side to move) of
// 8-byte entries. The first word is the check word XOR the second, so an entry torn by two
// threads writing at once reads as a miss instead of a wrong score.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/types.h"

struct EvalCacheEntry {
  uint32_t check;  // check word XOR data
  uint32_t data;   // low 16 bits: score (signed), high 16 bits: evaluation stamp
};

// Check-word flags in the two low bits of the lock key.
constexpr uint32_t EvalCachePartial = 1;  // only the cheap positional part is stored
constexpr uint32_t EvalCacheAlert = 2;    // the evaluated ply had its alert flag set

// The check word's key part. The position keys leave out the castling rights, but king safety
// reads them (a pair of rooks whose king can no longer castle), so the rights are mixed in: two
// positions that differ only in their rights never answer for each other. So is whether the
// captures since the root make an ending, which the way to a position decides, not its board.
constexpr uint32_t CastlingLockMix[16] = {
    0x00000000u, 0x9E3779B4u, 0x7F4A7C14u, 0xE1B0C6A8u, 0x2545F490u, 0xBB67AE84u, 0x3C6EF370u, 0xA54FF538u,
    0x510E5280u, 0x9B05688Cu, 0x1F83D9A8u, 0x5BE0CD18u, 0xCBBB9D5Cu, 0x629A2920u, 0x91590158u, 0x152FECD8u};
inline uint32_t eval_cache_lock(uint32_t lockKey, uint32_t plyFlags, bool endingByCaptures) {
  return lockKey ^ CastlingLockMix[(plyFlags & CastleMask) >> 6] ^ (endingByCaptures ? 0x6A09E664u : 0u);
}

// (Re)allocates for `kilobytes` of cache: (kilobytes x 1024) / 16 entries per side. False when
// memory is short (the cache is then empty and every probe misses).
bool resize_eval_cache(int32_t kilobytes);
void clear_eval_cache();
void free_eval_cache();
uint32_t eval_cache_entries();  // per side to move

// The two tables; read inline by the evaluation and the search's prefetch.
struct EvalCacheTables {
  EvalCacheEntry* table[2];
  uint32_t entries;
  uint64_t indexMagic;  // 2^64 / entries rounded up: indexKey mod entries by multiplication
};
extern EvalCacheTables EvalCache;

inline uint32_t eval_cache_index(uint32_t indexKey) {
  const uint64_t low = EvalCache.indexMagic * indexKey;
  return uint32_t((static_cast<unsigned __int128>(low) * EvalCache.entries) >> 64);
}

// The slot of a position, or nullptr without a cache.
inline EvalCacheEntry* eval_cache_slot(int side, uint32_t indexKey) {
  EvalCacheEntry* t = EvalCache.table[side];
  return t ? t + eval_cache_index(indexKey) : nullptr;
}
// Starts loading the slot of a position about to be searched. Always inlined: as a call it
// would be found free of side effects and removed.
[[gnu::always_inline]] inline void eval_cache_prefetch(int side, uint32_t indexKey) {
  if (EvalCacheEntry* t = EvalCache.table[side]) __builtin_prefetch(t + eval_cache_index(indexKey));
}

// Reads and writes of one entry; the two words are separate relaxed atomic accesses.
inline void eval_cache_read(const EvalCacheEntry* e, uint32_t& check, uint32_t& data) {
  EvalCacheEntry* m = const_cast<EvalCacheEntry*>(e);
  check = std::atomic_ref<uint32_t>(m->check).load(std::memory_order_relaxed);
  data = std::atomic_ref<uint32_t>(m->data).load(std::memory_order_relaxed);
}
void eval_cache_write(EvalCacheEntry* e, uint32_t checkWord, uint32_t data);
