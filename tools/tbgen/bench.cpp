// tbbench DIR [CLASS]: probes per second through the exported interface, with a cold cache
// (a fresh 1 MB cache and random positions all over a four-man table, so that nearly every
// probe reads a block from the file) and a warm one (the same probes again with a cache that
// holds the whole table).
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "placement.h"
#include "tablebase/catalogue.h"
#include "tablebase/index.h"
#include "tablebase/interface.h"

namespace {

struct ProbeArguments {
  int counters[10];
  int lists[2][24];
  int side;
};

double probes_per_second(const std::vector<ProbeArguments>& probes, long& answered) {
  const auto start = std::chrono::steady_clock::now();
  answered = 0;
  for (const ProbeArguments& p : probes) {
    int result;
    answered += TBProbeList(p.counters, p.lists[0], p.lists[1], p.side, 0, &result);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return probes.size() / seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tbbench DIR [CLASS]\n");
    return 2;
  }
  const int c = tb::tb_class_by_name(argc > 2 ? argv[2] : "kqkr");
  if (c == 0) return 2;
  const tb::TbClass& cls = tb::tb_class(c);
  std::mt19937_64 random(1);
  std::vector<ProbeArguments> probes;
  while (probes.size() < 200000) {
    const int side = int(random() % 2);
    int squares[tb::MaxMen], ep;
    if (!tb::tb_decode(cls, side, random() % cls.size, squares, ep)) continue;
    tbgen::Placement p = tbgen::placement_of_class(cls);
    for (int i = 0; i < p.men; ++i) p.square[i] = squares[i];
    p.side = side;
    if (ep != tb::NoEnPassant || p.in_check(1 - side)) continue;
    ProbeArguments a{};
    int counts[2][6];
    tbgen::probe_lists(p, a.lists, counts);
    for (int s = 0; s < 2; ++s)
      for (int t = 1; t <= 5; ++t) a.counters[s * 5 + t - 1] = counts[s][t];
    a.side = side;
    probes.push_back(a);
  }
  long answered;
  if (TBInitExtern(argv[1], 1024) == 0) return 1;
  const double cold = probes_per_second(probes, answered);
  TBExit();
  std::printf("%s cold (1 MB cache): %.0f probes/s, %ld answered of %zu\n", cls.name, cold,
              answered, probes.size());
  TBInitExtern(argv[1], 64 * 1024);
  probes_per_second(probes, answered);
  const double warm = probes_per_second(probes, answered);
  TBExit();
  std::printf("%s warm (64 MB cache): %.0f probes/s, %ld answered of %zu\n", cls.name, warm,
              answered, probes.size());
  return 0;
}
