// The table round-trip stress of verify_tables: random stores and probes against a model.
#pragma once

#include <cstdint>

struct TableStressResult {
  uint64_t checked;        // probes and slot reads compared with the model
  uint64_t disagreements;
};

TableStressResult run_table_stress(uint64_t operations, uint64_t seed);

// Watches every store of the searches that follow and checks it against the replacement rules.
struct StoreWatchCounts {
  uint64_t checked, disagreements;
  uint64_t byKind[3];  // full-width, quiescence, root
  int reported;
};
extern StoreWatchCounts StoreWatch;
void install_store_watch();
