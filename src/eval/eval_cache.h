// The evaluation cache shared by all search threads: two tables (one per side to move) of
// 8-byte entries. The first word is the check word XOR the second, so an entry torn by two
// threads writing at once reads as a miss instead of a wrong score.
#pragma once

#include <cstdint>

struct EvalCacheEntry {
  uint32_t check;  // check word XOR data
  uint32_t data;   // low 16 bits: score (signed), high 16 bits: evaluation stamp
};

// Check-word flags in the two low bits of the lock key.
constexpr uint32_t EvalCachePartial = 1;  // only the cheap positional part is stored
constexpr uint32_t EvalCacheAlert = 2;    // the evaluated ply had its alert flag set

// (Re)allocates for `kilobytes` of cache: (kilobytes x 1024) / 16 entries per side. False when
// memory is short (the cache is then empty and every probe misses).
bool resize_eval_cache(int32_t kilobytes);
void clear_eval_cache();
void free_eval_cache();
uint32_t eval_cache_entries();  // per side to move

// The slot of a position, or nullptr without a cache.
EvalCacheEntry* eval_cache_slot(int side, uint32_t indexKey);

// Reads and writes of one entry; the two words are separate relaxed atomic accesses.
void eval_cache_read(const EvalCacheEntry* e, uint32_t& check, uint32_t& data);
void eval_cache_write(EvalCacheEntry* e, uint32_t checkWord, uint32_t data);
