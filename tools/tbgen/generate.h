// Retrograde analysis of one class: every position's distance to mate, using the tables of
// the smaller classes that captures and promotions lead into.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tbgen {

// Values while generating, from the side to move's view, ordered so that larger is better:
// 0 a draw, WinBase - p a mate in p plies (p odd), -WinBase + p mated in p plies (p even).
constexpr int16_t WinBase = 2000;

// Tables in memory by class number: both sides' stored bytes (the second side is empty for
// symmetric classes read from files).
struct TableSet {
  std::vector<int8_t> side[2];
};

class Library {
 public:
  explicit Library(std::string directory) : directory_(std::move(directory)) {}
  // Files written from now on hold 16-bit entries (little-endian), which the probing module
  // recognises by their doubled length.
  void write_wide(bool wide) { wide_ = wide; }
  // Makes the class's table available: read from the output directory when its files are there,
  // otherwise generated (with the smaller classes it needs first) and written.
  bool ensure(int classNumber, bool verbose);
  // Value of a position with the probe's arguments (counters per side and type, square lists,
  // en-passant target or 0).
  int16_t value_of(const int lists[2][24], const int counts[2][6], int side, int ep = 0) const;
  const std::string& directory() const { return directory_; }
  // Checks a ready class: every legal position's value is the best over its moves (mated when
  // in check without moves, drawn in stalemate). Returns the number of positions that are not;
  // `checked` counts the positions looked at, `firstWrong` names the first one found.
  long verify(int classNumber, long& checked, uint64_t& firstWrong) const;

 private:
  bool load(int classNumber);
  bool generate(int classNumber, bool verbose);
  std::string directory_;
  TableSet tables_[441];
  bool ready_[441] = {};
  bool wide_ = false;
};

// Plies to a value's mate (the value's sign tells who mates).
inline int plies_of(int16_t v) { return v > 0 ? WinBase - v : WinBase + v; }

}  // namespace tbgen
