#include "platform/switch_list.h"

#include <cstdlib>
#include <cstring>

bool read_switch_list(const char* variable, const char* const* names, uint32_t count, uint32_t& bits,
                      const char*& bad) {
  bits = 0;
  const char* list = std::getenv(variable);
  if (!list) return true;
  static char copy[256];
  std::strncpy(copy, list, sizeof copy - 1);
  copy[sizeof copy - 1] = 0;
  for (char* name = std::strtok(copy, ","); name; name = std::strtok(nullptr, ",")) {
    bool known = false;
    for (uint32_t i = 0; i < count; ++i)
      if (std::strcmp(name, names[i]) == 0) bits |= 1u << i, known = true;
    if (!known) {
      bad = name;
      return false;
    }
  }
  return true;
}
