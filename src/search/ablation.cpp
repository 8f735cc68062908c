#include "search/ablation.h"

#if TARROW_ABLATION
#include <cstdlib>
#include <cstring>

uint32_t AblatedRules = 0;

namespace {
constexpr const char* RuleNames[] = {
    "null",     "multicut", "sweep",     "deepening",  "lmr",   "futility",     "depthcut",
    "hanging",  "singular", "matethreat", "extensions", "qchecks", "delta", "keptscores"};
static_assert(sizeof RuleNames / sizeof RuleNames[0] == uint32_t(SearchRule::Count));
}  // namespace

bool read_ablation_switches(const char*& bad) {
  AblatedRules = 0;
  const char* list = std::getenv("TARROW_ABLATE");
  if (!list) return true;
  static char copy[256];
  std::strncpy(copy, list, sizeof copy - 1);
  for (char* name = std::strtok(copy, ","); name; name = std::strtok(nullptr, ",")) {
    bool known = false;
    for (uint32_t i = 0; i < uint32_t(SearchRule::Count); ++i)
      if (std::strcmp(name, RuleNames[i]) == 0) AblatedRules |= 1u << i, known = true;
    if (!known) {
      bad = name;
      return false;
    }
  }
  return true;
}
#endif
