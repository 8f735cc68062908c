#include "driver/fatal.h"

#include <unistd.h>

#include <cstdio>

namespace {

void (*Cleanup)() = nullptr;

}  // namespace

void set_failure_cleanup(void (*cleanup)()) { Cleanup = cleanup; }

void fail_out_of_memory() {
  if (Cleanup) Cleanup();
  std::fflush(nullptr);
  _exit(255);
}
