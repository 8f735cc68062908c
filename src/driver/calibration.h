// How often a running search polls the input, measured once at start-up.
#pragma once

#include <cstdint>

// One second of a fixed workload at the highest thread priority available. Sets
// PollIntervalLong to 25 nodes per pass of the workload and PollIntervalShort to a quarter of
// that. Returns the number of passes.
int64_t SpeedCalibration();
