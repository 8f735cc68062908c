// An engine brought up once per test program (without the one-second calibration) whose
// output is captured, reset to the start-up state before every test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Executes one command line and returns the lines the engine sent for it.
  std::vector<std::string> run(const std::string& line);
  int run_result(const std::string& line);  // the interpreter's result, output dropped
  // Everything sent since the last call, split into lines.
  std::vector<std::string> take_output();
};
