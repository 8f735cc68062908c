// Shared by the tablebase suites: the generated test tables and scratch directories.
#pragma once

#include <string>

namespace tbtest {

// Directory of the tables that the tablebase_tables fixture builds.
inline std::string generated_tables() { return TARROW_TEST_TABLES; }

// A new empty directory under /tmp.
std::string scratch_directory();
// Copies a file; false when it cannot.
bool copy_file(const std::string& from, const std::string& to);
// Writes `bytes` bytes, byte i being pattern(i).
bool write_file(const std::string& name, unsigned long long bytes, int (*pattern)(unsigned long long));

// Probes a position given as FEN-like men: "Ke1 Qd1 ke8" (upper case White) with a side to move.
// Returns true and the result when a table answers.
bool probe(const char* men, int side, int ep, int& result);

// Index of such a position in its table side (White the first-named side), or -1.
long long probe_index(const char* men, int side);

}  // namespace tbtest
