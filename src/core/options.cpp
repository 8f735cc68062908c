#include "core/options.h"

#include <cstring>

EngineOptions Options;

void reset_options() {
  const int32_t threads = Options.ThreadCount < 1 ? 1 : Options.ThreadCount;
  std::memset(&Options, 0, sizeof Options);
  Options.ThreadCount = threads;
  Options.HashTableKB = 3277;  // ceil(4 * 4096 / 5)
  Options.EvalCacheKB = 4096 - 3277;
  Options.NalimovCacheMB = 1;
  Options.PonderEnabled = 1;
  Options.MultiPVCount = 1;
  Options.EloSetting = 1400;
  Options.KeepHashMain = 1;
  Options.KeepHashSecond = 1;
  Options.PositionLearning = 1;
  Options.UseTablebases = 1;
  Options.TablebaseDepthBias = 0;
  Options.TablebaseHitPercent = 30;
  for (int32_t& w : Options.EvalWeights) w = 100;
  Options.TimeUsage = 100;
  Options.Selectivity = -1;
  Options.ForwardPruning = 2;
  for (int32_t& f : Options.StyleFlags) f = 1;
  for (int32_t& f : Options.CombinationFlags) f = 1;
}
