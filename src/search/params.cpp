#include "search/params.h"

#include <algorithm>

SearchParams Search;

void reset_search_params() {
  Search = SearchParams{};
  Search.futilityDepth = 2;
  Search.lateMoveReductions = true;
  Search.futilityOn = true;
  Search.singularOn = true;
  Search.multiCutOn = true;
  Search.pawnEndingExtOn = false;
  Search.quietChecks = true;
  Search.endgame = false;
  Search.hangingPlyLimit = 4;
  Search.checkExtPlyLimit = 99;
  Search.bigReductionDepth = 4;
  Search.repetitionShift = 1;
  Search.rootBalance = 0;
  Search.nullAllowed = 1;
  Search.tbMaxMen = 0;
  Search.tbDepthMargin = 0;
  // Wide open until the evaluation has seen positions of this search.
  for (int side = 0; side < 2; ++side) {
    Search.positionalMax[side] = 100;
    Search.positionalMin[side] = -100;
  }
  Search.iterationDepth = 1;
  Search.extensionLimit = extension_limit_for(1, -1);
  Search.singularPlyLimit = 1;
  Search.nullPlyLimit = 0;
  Search.nextPoll = 0;
  Search.startTime = 0;
  Search.stable = true;
  Search.lastHashStatus = 0;
}

int32_t extension_limit_for(int32_t iterationDepth, int32_t selectivity) {
  int32_t addend = selectivity;
  if (selectivity == -1) addend = iterationDepth;
  else if (selectivity == -2) addend = 2 * iterationDepth;
  else if (selectivity == -3) addend = iterationDepth * 3 / 2;
  return std::min(99, iterationDepth + std::max(0, addend));
}
