// Command sequences into the interpreter: the input is cut into lines (at most 4095 bytes, as
// the reader hands them out) and executed one after another. Every "go" runs a real but small
// search; its move must be legal in the game position (or absent only when there is no legal
// move) and its score a score. The game board must stay a sound chess position.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "board/consistency.h"
#include "board/game.h"
#include "board/types.h"
#include "driver/commands.h"
#include "fuzz_support.h"
#include "search/control.h"

namespace {

// Lines that would make the harness allocate gigabytes are left out: table sizes are tested
// elsewhere, and the fuzzer counts a huge allocation as a finding.
bool asks_for_memory(const std::string& line) {
  std::string lower;
  for (char c : line) lower += char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lower.find("hash") != std::string::npos && lower.find("value") != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  start_engine_for_fuzzing();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  reset_engine_for_input();
  size_t at = 0;
  while (at < size) {
    size_t end = at;
    while (end < size && data[end] != '\n' && end - at < 4095) ++end;
    std::string line(reinterpret_cast<const char*>(data + at), end - at);
    at = end < size && data[end] == '\n' ? end + 1 : end;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (asks_for_memory(line)) continue;
    line.push_back('\0');
    execute_command(line.data());
    require(Control.SearchState == Idle, "a search left running");
    require(board_is_sound(GameBoard.board), "an unsound game board");
    require(GameBoard.current <= GameBoard.capacity - 2, "a game record beyond its room");
  }
  Control.QuitRequested = false;
  return 0;
}
