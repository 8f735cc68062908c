#include "eval/readings.h"

#if TARROW_ABLATION
#include "platform/switch_list.h"

uint32_t ChosenReadings = 0;

namespace {
constexpr const char* ReadingNames[] = {"kingendgame", "openfile", "queenflag", "rookpawns", "zonepieces", "wingfiles",
                                             "queenzone",  "spreadscale", "c3file"};
static_assert(sizeof ReadingNames / sizeof ReadingNames[0] == uint32_t(EvalReading::Count));
}  // namespace

bool read_evaluation_readings(const char*& bad) {
  return read_switch_list("TARROW_READINGS", ReadingNames, uint32_t(EvalReading::Count), ChosenReadings,
                          bad);
}
#endif
