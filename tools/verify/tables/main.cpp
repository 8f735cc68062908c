// verify_tables: the transposition table against a plain model and at every store of the bench
// search, and the staged move pickers against a plain generator at every picker start of it.
//   verify_tables [--quick]
// Exits 1 when either found a disagreement.
#include <cstdio>
#include <cstring>

#include "driver/bench.h"
#include "search/picker_oracle.h"
#include "table_stress.h"

int main(int argc, char** argv) {
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;

  const uint64_t operations = quick ? 400000 : 8000000;
  std::printf("== table round trips: %llu random operations against the model\n",
              (unsigned long long)operations);
  std::fflush(stdout);
  const TableStressResult table = run_table_stress(operations, 20261210);
  std::printf("table: %llu probes and slots compared, %llu disagreements\n",
              (unsigned long long)table.checked, (unsigned long long)table.disagreements);

  // The bench search with every picker start checked. The hooks leave each node as it was, so
  // the node counts must be those of the normal program at the same depth.
  char depthText[8];
  std::snprintf(depthText, sizeof depthText, "%d", quick ? 6 : 10);
  std::printf("== pickers: bench at depth %s, every picker start checked\n", depthText);
  std::fflush(stdout);
  char benchName[] = "bench";
  char* benchArgs[] = {benchName, depthText};
  reset_picker_oracle(true, 1);
  install_store_watch();
  if (bench_command(2, benchArgs) != 0) {
    std::printf("bench could not start\n");
    return 1;
  }
  print_picker_oracle_report();
  std::printf("table stores watched: %llu (full-width %llu, quiescence %llu, root %llu), %llu disagreements\n",
              (unsigned long long)StoreWatch.checked, (unsigned long long)StoreWatch.byKind[0],
              (unsigned long long)StoreWatch.byKind[1], (unsigned long long)StoreWatch.byKind[2],
              (unsigned long long)StoreWatch.disagreements);

  const uint64_t checked =
      table.checked + StoreWatch.checked + PickerOracle.fullNodes + PickerOracle.quiescenceNodes;
  const uint64_t disagreements = table.disagreements + StoreWatch.disagreements + PickerOracle.disagreements;
  std::printf("verify tables: %llu checked, %llu disagreements\n", (unsigned long long)checked,
              (unsigned long long)disagreements);
  return disagreements ? 1 : 0;
}
