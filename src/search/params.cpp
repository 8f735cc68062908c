#include "search/params.h"

#include <algorithm>

#include "board/position.h"
#include "core/options.h"
#include "eval/preparation.h"

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
  Search.zugzwangRisk = false;
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

void load_search_settings(const PlyState& root) {
  const SearchSwitchValues& s = SearchSwitches;
  const bool endgame = (RootEval.PhaseFlags & EndgameLikeMask) != 0;
  Search.futilityDepth = Options.ForwardPruning;
  // "Style" Intelligent is the only style with all three flags set.
  Search.lateMoveReductions =
      Options.StyleFlags[0] && Options.StyleFlags[1] && Options.StyleFlags[2];
  Search.futilityOn = s.futilityOn != 0;
  Search.singularOn = s.singularOn != 0;
  Search.multiCutOn = s.multiCutOn != 0;
  Search.pawnEndingExtOn = s.pawnEndingExtOn != 0;
  Search.quietChecks = Options.CombinationFlags[0] != 0;
  Search.endgame = endgame;
  Search.hangingPlyLimit = s.hangingPlyLimit;
  Search.checkExtPlyLimit = s.checkExtPlyLimit;
  Search.bigReductionDepth = endgame ? 5 : 4;
  Search.repetitionShift = endgame ? 2 : 1;
  Search.nullAllowed = s.nullAllowed;
  Search.zugzwangRisk = s.zugzwangRisk != 0;
  Search.rootBalance = root.material[0] - root.material[1];
}

void set_iteration_depth(int32_t d) {
  Search.iterationDepth = d;
  Search.extensionLimit = extension_limit_for(d, Options.Selectivity);
  Search.singularPlyLimit = d;
  Search.nullPlyLimit = Search.zugzwangRisk ? d / 3 : 0;
}
