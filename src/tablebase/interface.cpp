#include "tablebase/interface.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "tablebase/module.h"
#include "tablebase/probe.h"
#include "tablebase/values.h"

namespace {

constexpr int PathCapacity = 512;
constexpr int32_t CacheFloor = 1048576;

struct ModuleState {
  int32_t references = 0;
  int32_t maxMen = 0;
  char path[PathCapacity] = "";
  SpinLock lock;
};
ModuleState Module;

// Cache bytes for a size in KB: the product in 32 bits, 1 MB when that is not above 1 MB
// (an overflowing product included).
int32_t cache_bytes(int32_t kilobytes) {
  const int64_t product = int64_t(kilobytes) * 1024;
  if (product > INT32_MAX || product <= CacheFloor) return CacheFloor;
  return int32_t(product);
}

// Catalogues and sets up the cache; the caller holds the module lock and the count is 0.
void start_module(const char* pathList, int32_t bytes) {
  std::snprintf(Module.path, sizeof Module.path, "%s", pathList ? pathList : "");
  Module.maxMen = tb::catalogue_paths(Module.path);
  size_t size = size_t(bytes);
  while (size > 0 && !tb::cache_setup(size)) size /= 2;
  if (size < size_t(CacheFloor)) Module.maxMen = 0;
}

// "Kestrel.ini", section [Tablebase]: the working directory first, then the user's
// configuration folder. Writes the key's text (at most 510 characters) or leaves it empty.
void read_setting(const char* key, char* out, size_t capacity) {
  out[0] = '\0';
  char candidates[2][600];
  std::snprintf(candidates[0], sizeof candidates[0], "Kestrel.ini");
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  if (config && *config) std::snprintf(candidates[1], sizeof candidates[1], "%s/Kestrel.ini", config);
  else if (home) std::snprintf(candidates[1], sizeof candidates[1], "%s/.config/Kestrel.ini", home);
  else candidates[1][0] = '\0';
  for (const char* name : candidates) {
    if (!name[0]) continue;
    FILE* f = std::fopen(name, "r");
    if (!f) continue;
    char line[1024];
    bool inSection = false;
    while (std::fgets(line, sizeof line, f)) {
      char* text = line;
      while (*text == ' ' || *text == '\t') ++text;
      text[std::strcspn(text, "\r\n")] = '\0';
      if (*text == '[') {
        inSection = strncasecmp(text, "[Tablebase]", 11) == 0;
        continue;
      }
      const size_t keyLength = std::strlen(key);
      if (!inSection || strncasecmp(text, key, keyLength) != 0) continue;
      char* rest = text + keyLength;
      while (*rest == ' ') ++rest;
      if (*rest != '=') continue;
      ++rest;
      std::snprintf(out, capacity < 511 ? capacity : 511, "%s", rest);
      std::fclose(f);
      return;
    }
    std::fclose(f);
  }
}

}  // namespace

extern "C" {

int TBInitExtern(const char* pathList, int cacheKB) {
  SpinGuard guard(Module.lock);
  if (Module.references == 0) start_module(pathList, cache_bytes(cacheKB));
  ++Module.references;
  return Module.maxMen;
}

int TBInit(void) {
  SpinGuard guard(Module.lock);
  if (Module.references == 0) {
    char path[PathCapacity], size[PathCapacity];
    read_setting("Path", path, sizeof path);
    read_setting("CacheSizeKB", size, sizeof size);
    start_module(path, cache_bytes(int32_t(std::strtol(size, nullptr, 10))));
  }
  return ++Module.references;
}

int TBExit(void) {
  SpinGuard guard(Module.lock);
  if (Module.references <= 0) return 0;
  if (--Module.references > 0) return Module.references;
  tb::forget_catalogue();
  tb::cache_release();
  Module.maxMen = 0;
  Module.path[0] = '\0';
  return 1;
}

int TBProbeList(const int* counters, const int* whiteList, const int* blackList, int side, int ep,
                int* result) {
  int32_t stored;
  if (!tb::probe_stored(counters, whiteList, blackList, side, ep, stored)) return 0;
  *result = stored == tb::NotAvailable ? 0 : tb::result_from_stored(stored);
  return 1;
}

int TBMaxPiece(void) { return Module.references > 0 ? Module.maxMen : 0; }

int TBHasEndgames(unsigned char* buffer, int n) {
  if (n <= 0) return 0;
  for (int c = 0; c < n && c < tb::ClassCount; ++c) {
    const bool symmetric = tb::tb_class(c).flags & tb::SymmetricClass;
    const bool present = c > 0 && tb::side_catalogued(c, 0) && (symmetric || tb::side_catalogued(c, 1));
    buffer[c] = present ? 1 : 0;
  }
  return n;
}

int TBNewGame(void) {
  tb::close_all_files();
  return 0;
}

// No compressed tables are decoded, so no decoding memory is ever allocated.
int TBGetDecompressTableSize(void) { return 0; }

}  // extern "C"
