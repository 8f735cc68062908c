#include "driver/tokens.h"

#include <climits>

char* Tokenizer::take() {
  char* p = rest();
  if (!p) return nullptr;
  char* end = p;
  while (*end && *end != ' ') ++end;
  if (*end) *end++ = '\0';
  next = end;
  return p;
}

char* Tokenizer::rest() {
  if (!next) return nullptr;
  while (*next == ' ') ++next;
  if (!*next) {
    next = nullptr;
    return nullptr;
  }
  return next;
}

int32_t read_number(const char* text) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  int64_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > int64_t(INT32_MAX) + 1) value = int64_t(INT32_MAX) + 1;  // stays saturated
  }
  if (negative) return int32_t(-value);  // reaches INT32_MIN exactly
  return value > INT32_MAX ? INT32_MAX : int32_t(value);
}
