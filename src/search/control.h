// The words through which commands reach the search: written by the main thread (the command
// interpreter, also nested inside a running search), read by every search thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/types.h"

enum SearchStateValue : int { Idle = 0, Thinking = 1, Pondering = 2 };

constexpr int SearchMovesCapacity = 220;

struct SearchControl {
  std::atomic<int> SearchState;
  std::atomic<bool> StopRequested;
  std::atomic<bool> QuitRequested;
  bool StopReceived;             // "stop" or "quit" arrived during this "go"
  bool DebugMode;
  uint32_t NodeLimit;            // 0 = none
  int32_t MateMoves;             // "go mate N": stop once a mate in N moves or less is proven; 0 = none
  uint64_t PollIntervalLong;     // nodes between input polls after the first 5 s of a search
  uint64_t PollIntervalShort;    // nodes between input polls before that
  Move SearchMoves[SearchMovesCapacity + 1];  // root moves to search, ends with 0; empty = all
  bool InputPolling;             // the search looks at standard input (off for command-line tools)
};

// Whether input waits for a running search to read (never when input polling is off).
bool search_input_waiting();

// Sleeps `ms` milliseconds, waking early when input arrives for the search to read.
void search_pause(int ms);

extern SearchControl Control;

// Back to the state after start-up (poll intervals are kept: they come from the calibration).
void reset_search_control();
