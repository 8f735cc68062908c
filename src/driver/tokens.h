// Splitting a command line into tokens and reading numbers from them.
#pragma once

#include <cstdint>

// Splits a line in place at space characters (only 0x20; runs of spaces count as one, tabs
// belong to the token). Each call returns the next token or nullptr at the end.
struct Tokenizer {
  char* next;
  explicit Tokenizer(char* line) : next(line) {}
  char* take();
  // The rest of the line after the last token taken, spaces skipped; nullptr at the end.
  char* rest();
};

// The leading-digits rule: optional white space and sign, then decimal digits up to the first
// other character; no digits gives 0. Values beyond the 32-bit range saturate at its limits.
int32_t read_number(const char* text);
