#include "driver/engine_fixture.h"

#include <cstring>

#include "board/game.h"
#include "core/options.h"
#include "core/output.h"
#include "driver/commands.h"
#include "driver/go.h"
#include "driver/startup.h"
#include "search/control.h"
#include "search/level.h"

namespace {

std::string Captured;

void capture(const char* text, size_t length) { Captured.append(text, length); }

// These tests are about the interpreter: "go" reads its parameters and answers at once.
Move no_search(Position&) { return NoMove; }

}  // namespace

void EngineTest::SetUp() {
  static bool started = false;
  if (!started) {
    ASSERT_TRUE(startup(false));
    started = true;
  }
  set_output_sink(capture);
  set_search_runner(no_search);
  reset_options();
  reset_search_control();
  Control.InputPolling = false;  // the commands come from the test, not from standard input
  set_level(LevelDepth, 3);
  run("position startpos");
  Captured.clear();
}

void EngineTest::TearDown() {
  set_output_sink(nullptr);
  set_search_runner(nullptr);
}

std::vector<std::string> EngineTest::run(const std::string& line) {
  std::vector<char> buffer(line.begin(), line.end());
  buffer.push_back('\0');
  execute_command(buffer.data());
  return take_output();
}

int EngineTest::run_result(const std::string& line) {
  std::vector<char> buffer(line.begin(), line.end());
  buffer.push_back('\0');
  const int result = execute_command(buffer.data());
  take_output();
  return result;
}

std::vector<std::string> EngineTest::take_output() {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t feed; (feed = Captured.find('\n', start)) != std::string::npos; start = feed + 1)
    lines.push_back(Captured.substr(start, feed - start));
  Captured.erase(0, start);
  return lines;
}
