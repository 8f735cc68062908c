// From a position's probe arguments to a table entry.
#pragma once

#include <cstdint>

namespace tb {

// The en-passant square kept for the probe: 127 unless the side to move has a pawn that could
// capture onto `ep` (0 means none).
int probe_en_passant(const int* whiteList, const int* blackList, int side, int ep);

// Table side and index of a position in class `signedClass` (negative: colours exchanged).
// False when the class has no such table side (a symmetric class seen from its second side
// cannot happen: the first side is used) or the position is outside the table.
bool locate_entry(int signedClass, const int* whiteList, const int* blackList, int side, int ep,
                  int& tableSide, uint64_t& index);

// The stored value of a position in the catalogued tables; false when no table answers.
bool probe_stored(const int* counters, const int* whiteList, const int* blackList, int side,
                  int ep, int32_t& stored);

}  // namespace tb
