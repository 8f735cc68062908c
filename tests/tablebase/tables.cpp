#include "tables.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tablebase/catalogue.h"
#include "tablebase/interface.h"
#include "tablebase/probe.h"

namespace tbtest {

std::string scratch_directory() {
  char name[] = "/tmp/tarrow-tb-XXXXXX";
  return mkdtemp(name) ? name : "";
}

bool copy_file(const std::string& from, const std::string& to) {
  FILE* in = std::fopen(from.c_str(), "rb");
  if (!in) return false;
  FILE* out = std::fopen(to.c_str(), "wb");
  if (!out) {
    std::fclose(in);
    return false;
  }
  std::vector<char> buffer(1 << 16);
  size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0) std::fwrite(buffer.data(), 1, n, out);
  std::fclose(in);
  return std::fclose(out) == 0;
}

bool write_file(const std::string& name, unsigned long long bytes,
                int (*pattern)(unsigned long long)) {
  FILE* out = std::fopen(name.c_str(), "wb");
  if (!out) return false;
  for (unsigned long long i = 0; i < bytes; ++i) std::fputc(pattern(i), out);
  return std::fclose(out) == 0;
}

namespace {
void parse_men(const char* men, int* counters, int lists[2][24]) {
  int filled[2][6] = {};
  for (const char* p = men; *p;) {
    while (*p == ' ') ++p;
    if (!*p) break;
    const char letter = p[0];
    const int square = (p[2] - '1') * 8 + (p[1] - 'a');
    p += 3;
    const int colour = (letter >= 'a') ? 1 : 0;
    const char* types = "kpnbrq";
    const int type = int(std::strchr(types, letter | 0x20) - types);
    if (type == 0) {
      lists[colour][0] = square;
      continue;
    }
    ++counters[colour * 5 + type - 1];
    lists[colour][4 * type + filled[colour][type]++] = square;
  }
}
}  // namespace

bool probe(const char* men, int side, int ep, int& result) {
  int counters[10] = {};
  int lists[2][24] = {};
  parse_men(men, counters, lists);
  return TBProbeList(counters, lists[0], lists[1], side, ep, &result) == 1;
}

long long probe_index(const char* men, int side) {
  int counters[10] = {};
  int lists[2][24] = {};
  parse_men(men, counters, lists);
  int counts[2][6] = {};
  for (int s = 0; s < 2; ++s)
    for (int t = 1; t <= 5; ++t) counts[s][t] = counters[s * 5 + t - 1];
  const int c = tb::tb_class_of_material(counts);
  int tableSide;
  uint64_t index;
  if (c <= 0 || !tb::locate_entry(c, lists[0], lists[1], side, 0, tableSide, index) ||
      tableSide != side)
    return -1;
  return (long long)index;
}

}  // namespace tbtest
