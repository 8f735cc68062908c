// The moves in progress: a small table shared by the search threads in which a thread marks
// the move it is searching at a node, so that another thread arriving at the same node can
// put that move off and search a different one first. Byte (move XOR lock key) mod 2048 holds
// one bit per thread. Reads and writes are plain and unlocked: a lost mark costs a little
// duplicated work, never a wrong result. Only the multi-threaded program has the table; the
// index arithmetic is shared so that it can be checked everywhere.
#pragma once

#include <cstdint>

#include "board/types.h"

constexpr uint32_t MoveTableSize = 2048;

inline uint32_t move_table_index(Move m, uint32_t lockKey) {
  return (m ^ lockKey) & (MoveTableSize - 1);
}

#if TARROW_MP
#include <atomic>

#include "board/position.h"
#include "platform/threads.h"

extern std::atomic<uint8_t> MoveTable[MoveTableSize];
// Taken only to clear the table in bulk; the single-byte marks go without it.
extern SpinLock MoveTableLock;

inline void mark_move_in_progress(const Position& pos, Move m, uint32_t lockKey) {
  std::atomic<uint8_t>& b = MoveTable[move_table_index(m, lockKey)];
  b.store(uint8_t(b.load(std::memory_order_relaxed) | pos.threadBit), std::memory_order_relaxed);
}
inline void clear_move_in_progress(const Position& pos, Move m, uint32_t lockKey) {
  std::atomic<uint8_t>& b = MoveTable[move_table_index(m, lockKey)];
  b.store(uint8_t(b.load(std::memory_order_relaxed) & pos.threadMask), std::memory_order_relaxed);
}
// Another thread has marked the move here (or a move that shares its byte).
inline bool move_busy_elsewhere(const Position& pos, Move m, uint32_t lockKey) {
  return (MoveTable[move_table_index(m, lockKey)].load(std::memory_order_relaxed) &
          pos.threadMask) != 0;
}

// ANDs every byte with `mask` under the table lock: 0 empties the table, a thread's mask
// removes that thread's marks. Does nothing while only one search thread runs.
void ClearMoveTable(uint8_t mask);
#endif
