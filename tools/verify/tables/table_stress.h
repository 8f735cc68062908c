// The table round-trip stress of verify_tables: random stores and probes against a model.
#pragma once

#include <cstdint>

struct TableStressResult {
  uint64_t checked;        // probes and slot reads compared with the model
  uint64_t disagreements;
};

TableStressResult run_table_stress(uint64_t operations, uint64_t seed);
