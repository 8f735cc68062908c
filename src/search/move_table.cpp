#include "search/move_table.h"

#if TARROW_MP
#include "core/options.h"

std::atomic<uint8_t> MoveTable[MoveTableSize];
SpinLock MoveTableLock;

void ClearMoveTable(uint8_t mask) {
  if (Options.ThreadCount < 2) return;
  SpinGuard guard(MoveTableLock);
  for (std::atomic<uint8_t>& b : MoveTable)
    b.store(uint8_t(b.load(std::memory_order_relaxed) & mask), std::memory_order_relaxed);
}
#endif
