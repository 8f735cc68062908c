// tbgen: builds endgame tables by retrograde analysis.
//   tbgen --out DIR CLASS...   the named classes ("kqk", "kbnk", "kqkr") and what they need
//   tbgen --out DIR --men N    every class of N men (3 to 5)
//   --wide                     writes 16-bit entries (twice the size) instead of bytes; without
//                              it a side takes them only when a distance does not fit a byte
//                              (each written file's width is printed)
//   --verify                   afterwards checks each class: every value is the best over its
//                              moves (exit status 1 when one is not)
// Tables already in DIR with the right size are read instead of built again.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/stat.h>

#include "generate.h"
#include "tablebase/catalogue.h"

namespace {

constexpr const char* Usage =
    "usage: tbgen --out DIR [--men 3|4|5] [--wide] [--verify] [CLASS ...]\n"
    "  --out DIR    where the tables are written (and read when already there)\n"
    "  --men N      every class of N men (3 to 5)\n"
    "  CLASS        a class by name (kqk, kbnk, kqkr) and the classes it needs\n"
    "  --wide       16-bit entries for every table, not only where a distance needs them\n"
    "  --verify     check afterwards that every value is the best over its moves\n"
    "  --help       this text\n";

}  // namespace

int main(int argc, char** argv) {
  const char* out = nullptr;
  int men = 0;
  bool verify = false, wide = false;
  std::vector<int> wanted;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(Usage, stdout);
      return 0;
    } else if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
      out = argv[++i];
    } else if (std::strcmp(argv[i], "--verify") == 0) {
      verify = true;
    } else if (std::strcmp(argv[i], "--wide") == 0) {
      wide = true;
    } else if (std::strcmp(argv[i], "--men") == 0 && i + 1 < argc) {
      men = std::atoi(argv[++i]);
      if (men < 3 || men > 5) {
        std::fprintf(stderr, "--men takes 3, 4 or 5\n");
        return 2;
      }
    } else if (const int c = tb::tb_class_by_name(argv[i])) {
      wanted.push_back(c);
    } else {
      std::fprintf(stderr, "unknown class or option: %s\n", argv[i]);
      return 2;
    }
  }
  if (!out || (men == 0 && wanted.empty())) {
    std::fputs(Usage, stderr);
    return 2;
  }
  mkdir(out, 0777);
  for (int c = 1; c < tb::ClassCount; ++c)
    if (tb::tb_class(c).men == men) wanted.push_back(c);
  const auto started = std::chrono::steady_clock::now();
  std::unique_ptr<tbgen::Library> library(new tbgen::Library(out));
  library->write_wide(wide);
  for (int c : wanted)
    if (!library->ensure(c, true)) {
      std::fprintf(stderr, "could not build %s\n", tb::tb_class(c).name);
      return 1;
    }
  std::fprintf(stderr, "done in %.1f s\n",
               std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
  int status = 0;
  if (verify)
    for (int c : wanted) {
      long checked;
      uint64_t first = 0;
      const long wrong = library->verify(c, checked, first);
      std::fprintf(stderr, "%s: %ld positions checked, %ld inconsistent", tb::tb_class(c).name,
                   checked, wrong);
      if (wrong) std::fprintf(stderr, " (first: node %llu)", (unsigned long long)first);
      std::fprintf(stderr, "\n");
      if (wrong) status = 1;
    }
  return status;
}
