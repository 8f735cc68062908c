#include "search/level.h"

#include <climits>

#include "core/output.h"

SearchLevel Level;

void set_level(int mode, int32_t value, int32_t movesToGo, int32_t increment) {
  switch (mode) {
    case LevelMoveTime:
      Level.allotted = Level.hardLimit = value;
      Level.maxDepth = LevelMaxDepth;
      Level.clockMode = false;
      break;
    case LevelDepth:
      Level.allotted = Level.hardLimit = INT32_MAX;
      // The ply stack holds 100 records: deeper iterations cannot be searched, and an
      // iteration depth below 1 would give no move at all.
      Level.maxDepth = value < 1 ? 1 : value > LevelMaxDepth ? LevelMaxDepth : value;
      Level.clockMode = false;
      break;
    case LevelMovesToGo:
      Level.allotted = Level.hardLimit = 0;
      Level.maxDepth = LevelMaxDepth;
      Level.clockMode = true;
      Level.periodTime = value;
      Level.movesToGo = movesToGo;
      Level.increment = increment;
      break;
    case LevelSuddenDeath:
      Level.allotted = Level.hardLimit = 0;
      Level.maxDepth = LevelMaxDepth;
      Level.clockMode = true;
      Level.clockTime = value;
      Level.increment = increment;
      break;
    default:
      send_info_string("illegal level!");
      return;
  }
  Level.LevelMode = mode;
  Level.softMargin = 0;
  Level.extra = 0;
}

void reset_clock_control() {
  Level.clockTime = Level.periodTime = Level.movesToGo = Level.increment = 0;
  Level.allotted = Level.extra = Level.hardLimit = Level.softMargin = 0;
  Level.clockMode = false;
}
