#include "tablebase/values.h"

namespace tb {

int32_t stored_from_byte(int8_t entry) {
  if (entry == 0) return 0;
  if (entry == 127) return NotAvailable;
  if (entry == -127) return -32640;
  if (entry == -128) return 32640;
  return entry > 0 ? entry + 32640 : entry - 32640;
}

int8_t byte_from_stored(int32_t value) {
  if (value == 0) return 0;
  if (value == 32640) return -128;
  if (value == -32640) return -127;
  return int8_t(value > 0 ? value - 32640 : value + 32640);
}

int32_t result_from_stored(int32_t value) {
  if (value == 0) return 0;
  if (value == -32767) return -32767;
  if (value == -32768) return 32767;
  return value > 0 ? 32767 - value : -value - 32767;
}

int32_t stored_from_result(int32_t result) {
  if (result == 0) return 0;
  return result > 0 ? 32767 - result : -result - 32767;
}

int32_t score_from_result(int32_t result) {
  if (result == 0) return 0;
  if (result > 0) return result > LongestScoredMate ? NoTablebaseScore : 30000 - 2 * result;
  const int32_t moves = -result - 1;
  return moves > LongestScoredMate ? NoTablebaseScore : -(30000 - 2 * moves);
}

}  // namespace tb
