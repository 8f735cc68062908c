#include "search/threads.h"

#include "board/game.h"
#include "board/setup.h"
#include "core/options.h"
#include "platform/system.h"

Position* ThreadPositions[MaxThreads];
#if TARROW_MP
SpinLock OutputLock;
#endif

namespace {
Position MainThreadPosition;
}

void start_thread_table() {
  init_position(MainThreadPosition, 0);
  ThreadPositions[0] = &MainThreadPosition;
  for (int i = 1; i < MaxThreads; ++i) ThreadPositions[i] = nullptr;
  Options.ThreadCount = 1;
}

void load_game_into_threads() {
  for (int i = 0; i < Options.ThreadCount; ++i)
    if (ThreadPositions[i]) load_board(*ThreadPositions[i], GameBoard.board);
}

int max_thread_count() {
  const int n = processor_count();
  return n < MaxThreads ? n : MaxThreads;
}
