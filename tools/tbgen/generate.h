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

// Largest probe result (moves to mate, or moves to be mated plus one) that the stored-byte
// encoding holds; a side with a longer distance is written with 16-bit entries.
constexpr int ByteResultLimit = 127;

// Entry width in bits for a table side whose largest result magnitude is `longest`: 8 while it
// fits `byteLimit`, otherwise (or when `forceWide`) 16. The probing module recognises 16-bit
// entries only in unsplit files (by their doubled length), so a split class that would need
// them gets 0: it cannot be written.
int entry_width(int longest, bool forceWide, bool split, int byteLimit = ByteResultLimit);

// Tables in memory by class number, one side each either as stored bytes or as 16-bit stored
// values (the other vector of that side is empty; the second side is empty for symmetric
// classes read from files).
struct TableSet {
  std::vector<int8_t> bytes[2];
  std::vector<int16_t> words[2];
  int32_t stored(int side, uint64_t index) const;
};

class Library {
 public:
  explicit Library(std::string directory) : directory_(std::move(directory)) {}
  // Files written from now on hold 16-bit entries (little-endian), which the probing module
  // recognises by their doubled length. Without it each side is written with 16-bit entries
  // only when one of its distances does not fit a byte.
  void write_wide(bool wide) { wide_ = wide; }
  // Lowers the largest result written as a byte, so that tests can make a small class take the
  // 16-bit form; the files stay valid tables either way.
  void set_byte_limit(int limit) { byteLimit_ = limit; }
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
  int byteLimit_ = ByteResultLimit;
};

// Plies to a value's mate (the value's sign tells who mates).
inline int plies_of(int16_t v) { return v > 0 ? WinBase - v : WinBase + v; }

}  // namespace tbgen
