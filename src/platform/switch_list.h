// Reads a comma-separated list of switch names from an environment variable into a bit set
// (bit i for names[i]); the experiment builds use it for their rule and reading switches.
#pragma once

#include <cstdint>

// Returns false and names the first unknown switch in `bad`; an unset variable is an empty list.
bool read_switch_list(const char* variable, const char* const* names, uint32_t count, uint32_t& bits,
                      const char*& bad);
