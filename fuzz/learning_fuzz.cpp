// Learning-file contents: the input becomes "tarrow.pl2". The trim (with a threshold small
// enough for fuzzing inputs, taken from the first byte) must leave whole records; then a
// search of one of a few games merges the file into the table, and its move must still be
// legal and its score a score whatever the records said.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "driver/commands.h"
#include "fuzz_support.h"
#include "learn/learning.h"
#include "platform/record_file.h"

namespace {

const char* const Games[] = {
    "position startpos moves e2e4 e7e5 g1f3 b8c6",
    "position fen r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP1B1PPP/R2QKB1R w KQ - 0 8",
    "position fen 8/5pk1/6p1/8/3R4/6P1/5PKP/3r4 w - - 0 1",
    "position fen 4k3/8/8/8/8/8/4P3/4K3 w - - 0 1",
};

long file_size() {
  FILE* f = std::fopen(LearningFileName, "rb");
  if (!f) return -1;
  std::fseek(f, 0, SEEK_END);
  const long size = std::ftell(f);
  std::fclose(f);
  return size;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  start_engine_for_fuzzing();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* f = std::fopen(LearningFileName, "wb");
  require(f != nullptr, "the learning file written");
  if (size > 0) std::fwrite(data, 1, size, f);
  std::fclose(f);
  if (size > 0) {
    const long threshold = data[0] % 16;
    trim_record_file(LearningFileName, LearningRecordSize, threshold, threshold * 9 / 10);
    const long after = file_size();
    require(after % LearningRecordSize == 0, "whole records after the trim");
  }
  reset_engine_for_input();
  char game[128];
  std::snprintf(game, sizeof game, "%s", Games[size > 1 ? data[1] % 4 : 0]);
  execute_command(game);
  char go[] = "go depth 3";
  execute_command(go);  // merges the file, searches, appends a record
  require(file_size() % LearningRecordSize == 0, "whole records after the append");
  return 0;
}
