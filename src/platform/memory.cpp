#include "platform/memory.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>

namespace {
constexpr size_t HugePage = size_t(2) << 20;
}

void* allocate_table(size_t bytes) {
  if (bytes < HugePage) return std::calloc(1, bytes);
  void* p = nullptr;
  if (posix_memalign(&p, HugePage, bytes) != 0) return nullptr;
  madvise(p, bytes, MADV_HUGEPAGE);  // best effort: without it the table works in small pages
  std::memset(p, 0, bytes);
  return p;
}
