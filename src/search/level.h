// The search level: how the "go" command limits a search (fixed time per move, fixed depth,
// or a clock with or without moves to go) and the time targets that time management derives.
#pragma once

#include <cstdint>

enum LevelModeValue : int {
  LevelMoveTime = 0,    // fixed time per move ("movetime")
  LevelDepth = 1,       // fixed depth ("depth"; also "infinite", "nodes" and "mate" with 99)
  LevelMovesToGo = 2,   // clock with moves to go
  LevelSuddenDeath = 3  // clock without moves to go
};

constexpr int32_t LevelMaxDepth = 99;
// The level at start-up, and of a "go" that names no limit.
constexpr int32_t DefaultLevelDepth = 3;

struct SearchLevel {
  int32_t LevelMode;
  int32_t maxDepth;    // greatest iteration depth
  int32_t allotted;    // planned time for this move (ms)
  int32_t extra;       // extra time granted during the search, folded into allotted
  int32_t hardLimit;   // absolute limit (ms)
  int32_t softMargin;  // second share of the allotment, for the in-tree stop rule
  int32_t clockTime;   // own remaining time (sudden death)
  int32_t periodTime;  // own remaining time for the moves to go
  int32_t movesToGo;
  int32_t increment;   // own increment, 0 if none
  bool clockMode;      // true under the two clock modes
};

extern SearchLevel Level;

// Sets the mode. `value` is the move time (mode 0), the depth (mode 1, kept within 1..99) or
// the remaining clock time (modes 2 and 3); `movesToGo` is read in mode 2, `increment` in
// modes 2 and 3. The clock modes leave the allotment to the start of the search. Any other
// mode prints "illegal level!" and changes nothing.
void set_level(int mode, int32_t value, int32_t movesToGo = 0, int32_t increment = 0);

// Clears the clock values (start-up).
void reset_clock_control();
