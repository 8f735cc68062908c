// Program entry. Without arguments the engine starts up and speaks UCI on standard input and
// output. Command-line tools:
//   perft DEPTH [FEN] [bulk]  counts the legal move tree (move generator test and benchmark)
//   bench [DEPTH] [stats]  searches a fixed set of positions; prints "nodes N nps M" last
//   random COUNT        prints the first COUNT numbers of the random generator, one a line
//   tbprobe PATH FEN    the tablebase value of a position: "win N", "loss N", "draw" or "none"
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/perft.h"
#include "core/random.h"
#include "driver/bench.h"
#include "driver/main_loop.h"
#include "driver/startup.h"
#include "search/ablation.h"
#include "tablebase/binding.h"

namespace {

int random_command(int argc, char** argv) {
  const long count = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 10;
  seed_random(1);
  for (long i = 0; i < count; ++i) std::printf("%d\n", random_number());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* badRule = nullptr;
  if (!read_ablation_switches(badRule)) {
    std::fprintf(stderr, "TARROW_ABLATE: unknown rule %s\n", badRule);
    return 2;
  }
  if (argc > 1 && std::strcmp(argv[1], "perft") == 0) return perft_command(argc - 1, argv + 1);
  if (argc > 1 && std::strcmp(argv[1], "bench") == 0) return bench_command(argc - 1, argv + 1);
  if (argc > 1 && std::strcmp(argv[1], "random") == 0) return random_command(argc - 1, argv + 1);
  if (argc > 1 && std::strcmp(argv[1], "tbprobe") == 0) return tbprobe_command(argc - 1, argv + 1);
  if (!startup()) return 0;  // no memory for the game record: nothing to offer
  return main_loop();
}
