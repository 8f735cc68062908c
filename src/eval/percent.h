// Scaling percentages of the evaluation: 0 means "no scaling yet".
#pragma once

#include <cstdint>

// Combines a further scaling percentage into the current one: the first one is taken as it
// is, later ones multiply (truncated, but never down to 0, which would mean "none").
inline int32_t CombinePercent(int32_t current, int32_t percent) {
  if (current == 0) return percent;
  const int32_t combined = current * percent / 100;
  return combined < 1 ? 1 : combined;
}
