#include "search/ablation.h"

#if TARROW_ABLATION
#include "platform/switch_list.h"

uint32_t AblatedRules = 0;

namespace {
constexpr const char* RuleNames[] = {
    "null",     "multicut", "sweep",     "deepening",  "lmr",   "futility",     "depthcut",
    "hanging",  "singular", "matethreat", "extensions", "qchecks", "delta",
    "standpat", "checkfilter"};
static_assert(sizeof RuleNames / sizeof RuleNames[0] == uint32_t(SearchRule::Count));
}  // namespace

bool read_ablation_switches(const char*& bad) {
  return read_switch_list("TARROW_ABLATE", RuleNames, uint32_t(SearchRule::Count), AblatedRules, bad);
}
#endif
