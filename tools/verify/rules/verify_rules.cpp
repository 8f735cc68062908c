// verify_rules: how often does each pruning, reduction and extension rule of the search get its
// verdict wrong? Searches the bench positions and the first lines of the wide opening set at two
// depths; at a sample of the places where a rule fires, the search's verify hooks search the
// node (or the skipped move) again with the rule switched off in the whole subtree and book
// whether the rule's bet held (src/search/rule_oracle.h). Prints one table row per rule and
// depth and ends with "verify rules: <N> checked, <D> disagreements", N the re-searched verdicts
// and D the internal consistency checks that failed (a re-search that changed the board, the key
// stack or a nesting counter, or a rule that fired with its switch off). Error rates are
// measurements, not failures.
//
// Usage: verify_rules [--quick] [--openings N] [--depths D1,D2] [--period K] [--cap NODES]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/options.h"
#include "core/output.h"
#include "driver/bench.h"
#include "driver/commands.h"
#include "driver/hash_tables.h"
#include "driver/startup.h"
#include "search/control.h"
#include "search/level.h"
#include "search/root.h"
#include "search/rule_oracle.h"
#include "search/threads.h"

namespace {

// Every k-th firing of each rule is searched again. The common rules fire at most nodes near
// the horizon and are cheap to re-search; the rare ones are re-searched every time.
uint32_t DefaultPeriod[CheckedRuleCount] = {
    /* depth cut */ 8,  /* futile node */ 8,  /* futile first */ 8, /* futile later */ 64,
    /* hanging */ 8,    /* null move */ 8,    /* multi-cut */ 2,    /* sweep */ 2,
    /* lmr */ 32,       /* singular move */ 1, /* singular deep */ 1, /* singular verdict */ 1,
    /* stand pat */ 8,  /* delta */ 64,       /* delta, lazy */ 64, /* check filter */ 8};

void discard_output(const char*, size_t) {}

std::string source_dir() {
  std::string here = __FILE__;
  const size_t slash = here.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : here.substr(0, slash);
}

// The first `count` lines of an opening file (a FEN, or moves from the start position; '#'
// starts a comment), as "position" commands.
std::vector<std::string> read_openings(const std::string& path, int count) {
  std::vector<std::string> out;
  FILE* f = std::fopen(path.c_str(), "r");
  if (!f) {
    std::fprintf(stderr, "verify_rules: cannot read %s\n", path.c_str());
    return out;
  }
  char line[1024];
  while (int(out.size()) < count && std::fgets(line, sizeof line, f)) {
    if (char* hash = std::strchr(line, '#')) *hash = '\0';
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    size_t start = text.find_first_not_of(' ');
    if (start == std::string::npos) continue;
    text = text.substr(start);
    // A FEN has slashes; a move line has none.
    if (text.find('/') != std::string::npos) out.push_back("position fen " + text);
    else out.push_back("position startpos moves " + text);
  }
  std::fclose(f);
  return out;
}

struct RunResult {
  int depth;
  uint64_t nodes;  // of the searches under test
  RuleTally tally[CheckedRuleCount];
};

RunResult run_depth(const std::vector<std::string>& positions, int depth, const uint32_t* period,
                    uint64_t cap) {
  RunResult result{};
  result.depth = depth;
  reset_rule_oracle(true, 1, cap);
  for (int k = 0; k < CheckedRuleCount; ++k) RuleOracle.period[k] = period[k];
  int index = 0;
  for (const std::string& command : positions) {
    ++index;
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    execute_command(line.data());
    clear_all_hash_tables();
    set_level(LevelDepth, depth);
    set_output_sink(discard_output);
    Control.SearchState = Thinking;
    ThinkDriver(main_position());
    Control.SearchState = Idle;
    set_output_sink(nullptr);
    result.nodes += main_position().nodes;
    uint64_t verdicts = 0, reNodes = 0;
    for (const RuleTally& t : RuleOracle.tally) verdicts += t.verdicts(), reNodes += t.nodes;
    std::printf("depth %d position %3d/%zu: nodes %llu, re-searched verdicts %llu (%llu nodes)\n", depth, index,
                positions.size(), static_cast<unsigned long long>(result.nodes),
                static_cast<unsigned long long>(verdicts), static_cast<unsigned long long>(reNodes));
    std::fflush(stdout);
  }
  std::memcpy(result.tally, RuleOracle.tally, sizeof result.tally);
  RuleOracle.enabled = false;
  return result;
}

void print_table(const std::vector<RunResult>& runs) {
  std::printf("\n%-28s %5s %10s %8s %8s %7s %7s %8s %8s %10s\n", "rule", "depth", "firings", "sampled", "verdicts",
              "wrong", "rate %", "aborted", "moved", "nodes");
  for (int k = 0; k < CheckedRuleCount; ++k) {
    for (const RunResult& run : runs) {
      const RuleTally& t = run.tally[k];
      std::printf("%-28s %5d %10llu %8llu %8llu %7llu %7.2f %8llu %8llu %10llu\n",
                  checked_rule_name(CheckedRule(k)), run.depth, static_cast<unsigned long long>(t.firings),
                  static_cast<unsigned long long>(t.sampled), static_cast<unsigned long long>(t.verdicts()),
                  static_cast<unsigned long long>(t.wrong), t.error_percent(),
                  static_cast<unsigned long long>(t.aborted), static_cast<unsigned long long>(t.moveChanged),
                  static_cast<unsigned long long>(t.nodes));
    }
  }
  std::printf("wrong: node rules, the verdict against the window (fail low / inside / fail high) differs "
              "without the rule; sweep, its move is not the best move of a search without it; skipped and "
              "dropped moves, the move searched in full raises alpha; singular (false), another move scores "
              "above best - 100 (same depth: full window; full depth: the test's window). moved: same verdict but another best move (node rules), or a "
              "dropped move that would have become the best one below alpha (late moves).\n");
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = false;
  int openingCount = -1;
  int depths[2] = {0, 0};
  uint32_t scale = 0;
  uint64_t cap = 0;
  std::string openingFile = source_dir() + "/../../referee/openings-wide.txt";
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0) quick = true;
    else if (std::strcmp(argv[i], "--openings") == 0 && i + 1 < argc) openingCount = std::atoi(argv[++i]);
    else if (std::strcmp(argv[i], "--opening-file") == 0 && i + 1 < argc) openingFile = argv[++i];
    else if (std::strcmp(argv[i], "--depths") == 0 && i + 1 < argc) std::sscanf(argv[++i], "%d,%d", &depths[0], &depths[1]);
    else if (std::strcmp(argv[i], "--period") == 0 && i + 1 < argc) scale = uint32_t(std::atoi(argv[++i]));
    else if (std::strcmp(argv[i], "--cap") == 0 && i + 1 < argc) cap = uint64_t(std::atoll(argv[++i]));
    else {
      std::fprintf(stderr, "usage: verify_rules [--quick] [--openings N] [--opening-file F] [--depths D1,D2] "
                           "[--period K] [--cap NODES]\n");
      return 2;
    }
  }
  if (openingCount < 0) openingCount = quick ? 4 : 40;
  if (depths[0] <= 0) depths[0] = quick ? 4 : 8;
  if (depths[1] <= 0) depths[1] = quick ? 6 : 10;
  if (cap == 0) cap = quick ? 20000 : 200000;

  uint32_t period[CheckedRuleCount];
  for (int k = 0; k < CheckedRuleCount; ++k) period[k] = scale ? scale : DefaultPeriod[k];

  if (!startup(false)) return 1;
  Control.InputPolling = false;  // a tool run reads no commands
  Options.PositionLearning = 0;  // nor the learning file

  std::vector<std::string> positions;
  const size_t benchCount = quick ? 6 : size_t(BenchPositionCount);
  for (size_t i = 0; i < benchCount; ++i) positions.push_back(std::string("position fen ") + BenchPositions[i]);
  for (const std::string& line : read_openings(openingFile, openingCount)) positions.push_back(line);
  std::printf("verify rules: %zu positions (%zu bench, %zu openings) at depths %d and %d, node cap %llu\n",
              positions.size(), benchCount, positions.size() - benchCount, depths[0], depths[1],
              static_cast<unsigned long long>(cap));

  std::vector<RunResult> runs;
  uint64_t faults = 0;
  std::string firstFault;
  for (int depth : depths) {
    runs.push_back(run_depth(positions, depth, period, cap));
    if (RuleOracle.faults && firstFault.empty()) firstFault = RuleOracle.firstFault;
    faults += RuleOracle.faults;
  }
  print_table(runs);

  uint64_t checked = 0, searched = 0, reNodes = 0;
  for (const RunResult& run : runs) {
    searched += run.nodes;
    for (const RuleTally& t : run.tally) checked += t.verdicts(), reNodes += t.nodes;
  }
  std::printf("nodes covered: %llu in the searches under test, %llu in the re-searches\n",
              static_cast<unsigned long long>(searched), static_cast<unsigned long long>(reNodes));
  if (faults) std::printf("first fault: %s\n", firstFault.c_str());
  shutdown();
  std::printf("verify rules: %llu checked, %llu disagreements\n", static_cast<unsigned long long>(checked),
              static_cast<unsigned long long>(faults));
  return faults ? 1 : 0;
}
