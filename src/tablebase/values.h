// Stored table entries and what they mean. A table entry is a signed value: 0 a draw, positive
// the side to move mates (32767 - v moves), negative it is mated (v + 32766 moves from now).
// 8-bit files store these values compressed into one signed byte.
#pragma once

#include <cstdint>

namespace tb {

constexpr int32_t NotAvailable = 32767;

// One stored byte of an 8-bit table as a stored value (127 reads as not available).
int32_t stored_from_byte(int8_t entry);
// The byte a table generator writes for a stored value in the 8-bit range.
int8_t byte_from_stored(int32_t value);

// The probe result for a stored value: 0 a draw, N > 0 the side to move mates in N moves,
// -(k + 1) it is mated in k moves; the two extreme stored values map to +-32767.
int32_t result_from_stored(int32_t value);
// The stored value for a mate in `moves` (moves > 0) or a loss in `-moves - 1` (moves < 0).
int32_t stored_from_result(int32_t result);

// Engine score (side to move's view) from a probe result: mate in r moves is 30000 - 2r,
// mated in k moves -(30000 - 2k). A result longer than any mate score can express (the two
// extreme stored values) is no usable value: NoTablebaseScore.
constexpr int32_t NoTablebaseScore = 30001;
constexpr int32_t LongestScoredMate = 499;  // moves; 998 plies keep the score above 29000
int32_t score_from_result(int32_t result);

}  // namespace tb
