#include "driver/option_table.h"

#include <strings.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/options.h"
#include "driver/hash_tables.h"
#include "driver/fatal.h"
#include "driver/thread_count.h"
#include "learn/learning.h"
#include "core/output.h"
#include "driver/tokens.h"
#include "search/threads.h"

namespace {

#if TARROW_MP
constexpr const char* ProgramName = "Tarrow MP 9 UCI";
#else
constexpr const char* ProgramName = "Tarrow 9 UCI";
#endif
constexpr const char* MakerAddress = "https://tarrow-chess.example.org";

constexpr int32_t WeightMin = 25, WeightMax = 400;
constexpr int32_t HashMinKB = 4096, HashMaxKB = 4194304;

struct WeightOption {
  const char* name;
  int index;
};

// In the order the "setoption" names are matched.
constexpr WeightOption WeightOptions[] = {
    {"Queen", WeightQueen},
    {"Rook", WeightRook},
    {"Bishop", WeightBishop},
    {"Knight", WeightKnight},
    {"Pawn", WeightPawn},
    {"Queen (Endgame)", WeightQueenEnd},
    {"Rook (Endgame)", WeightRookEnd},
    {"Bishop (Endgame)", WeightBishopEnd},
    {"Knight (Endgame)", WeightKnightEnd},
    {"Pawn (Endgame)", WeightPawnEnd},
    {"King Safety", WeightKingSafety},
    {"Passed Pawns", WeightPassedPawns},
    {"Passed Pawns (Endgame)", WeightPassedPawnsEnd},
    {"Pawn Structure", WeightPawnStructure},
    {"Pawn Structure (Endgame)", WeightPawnStructureEnd},
    {"Center Control", WeightCenterControl},
    {"Bishop Pair", WeightBishopPair},
    {"Bishop Pair (Endgame)", WeightBishopPairEnd},
};

OptionList List;

struct ListWriter {
  int count = 0;
  void add(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

void ListWriter::add(const char* format, ...) {
  if (count >= OptionListCapacity - 1) return;
  va_list args;
  va_start(args, format);
  std::vsnprintf(List.lines[count++], OptionLineCapacity, format, args);
  va_end(args);
}

void add_weight(ListWriter& out, const char* name, int index) {
  out.add("option name %s type spin min %d max %d default %d", name, WeightMin, WeightMax,
          Options.EvalWeights[index]);
}

bool same_name(const char* a, const char* b) { return strcasecmp(a, b) == 0; }

// "true" / "false" in any letter case; anything else leaves the variable alone.
void set_boolean(int32_t& variable, const char* value) {
  if (same_name(value, "true")) variable = 1;
  else if (same_name(value, "false")) variable = 0;
}

void set_in_range(int32_t& variable, const char* value, int32_t low, int32_t high) {
  const int32_t n = read_number(value);
  if (n >= low && n <= high) variable = n;
}

void apply_hash_option(const char* value) {
  // Megabytes to kilobytes in 64 bits: a huge value must not wrap into a small one.
  int64_t kb = int64_t(read_number(value)) * 1024;
  if (kb <= 1024) return;
  if (kb < HashMinKB) kb = HashMinKB;
  if (kb > HashMaxKB) kb = HashMaxKB;
  apply_hash_split(int32_t(kb));
}

void set_nalimov_path(const char* value) {
  // A GUI clears a string option by sending no value or the "<empty>" the listing shows.
  if (same_name(value, "<empty>")) value = "";
  std::snprintf(Options.NalimovPathValue, sizeof Options.NalimovPathValue, "%s", value);
  Options.TablebasesDirty = true;
}

void press_button(const char* name) {
  if (same_name(name, "Clear Hash")) {
    clear_all_hash_tables();
  } else if (same_name(name, "Clear PosLearning")) {
    clear_learning_file();
  }
}

}  // namespace

void apply_hash_split(int32_t totalKB) {
  int32_t main = int32_t((int64_t(totalKB) * 4 + 4) / 5);  // ceil(4k / 5)
  if (main < 4) main = 4;
  int32_t second = totalKB - main;
  if (second < 1) second = 1;
  Options.HashTableKB = main;
  Options.EvalCacheKB = second;
  if (!resize_hash_tables(main, second)) {
    send_info_string("Not enough memory for Hash");
    fail_out_of_memory();
  }
}

const OptionList& build_option_list() {
  ListWriter out;
  out.add("option name Keep Hash Tables type check default true");
  out.add("option name Position Learning type check default true");
  out.add("option name Prefer Open Positions type check default false");
  out.add("option name Use Tablebases type combo default Normal var Never var Late var Normal "
          "var Early");
  add_weight(out, "Queen", WeightQueen);
  add_weight(out, "Queen (Endgame)", WeightQueenEnd);
  add_weight(out, "Rook", WeightRook);
  add_weight(out, "Rook (Endgame)", WeightRookEnd);
  add_weight(out, "Bishop", WeightBishop);
  add_weight(out, "Bishop (Endgame)", WeightBishopEnd);
  add_weight(out, "Knight", WeightKnight);
  add_weight(out, "Knight (Endgame)", WeightKnightEnd);
  add_weight(out, "Pawn", WeightPawn);
  add_weight(out, "Pawn (Endgame)", WeightPawnEnd);
  out.add("option name Style type combo default Intelligent var Intelligent var Aggressive "
          "var Active var Normal var Solid");
  out.add("option name Combinations type combo default All var All var Most var Some var None");
  out.add("option name Forward Pruning type spin min 0 max 5 default %d", Options.ForwardPruning);
  out.add("option name Selectivity type spin min -3 max 99 default %d", Options.Selectivity);
  out.add("option name Draw Score type spin min -300 max 300 default %d", Options.DrawScore);
  out.add("option name Clear Hash type button");
  out.add("option name Clear PosLearning type button");
  add_weight(out, "King Safety", WeightKingSafety);
  add_weight(out, "Center Control", WeightCenterControl);
  add_weight(out, "Pawn Structure", WeightPawnStructure);
  add_weight(out, "Pawn Structure (Endgame)", WeightPawnStructureEnd);
  add_weight(out, "Passed Pawns", WeightPassedPawns);
  add_weight(out, "Passed Pawns (Endgame)", WeightPassedPawnsEnd);
  add_weight(out, "Bishop Pair", WeightBishopPair);
  add_weight(out, "Bishop Pair (Endgame)", WeightBishopPairEnd);
  out.add("option name Time Usage type spin min %d max %d default %d", 25, 400,
          Options.TimeUsage);
  out.add("option name Knowledge or Speed type spin min %d max %d default %d", -500, 500,
          Options.KnowledgeOrSpeed);
#if TARROW_MP
  // The listing offers exactly what "setoption" accepts: up to eight threads whatever the
  // processor count (start-up runs one per processor), and the count running as the default.
  out.add("option name Threads type spin min 1 max %d default %d", MaxThreads,
          Options.ThreadCount);
#endif
  List.lines[out.count][0] = '\0';
  return List;
}

void send_uci_reply() {
  // The fixed head goes out in one write.
  send_line(
      "id name %s\n"
      "id author Halbrook\n"
      "option name Hash type spin min 4 max 4096 default 4\n"
      "option name NalimovPath type string default <empty>\n"
      "option name NalimovCache type spin min 1 max 256 default 1\n"
      "option name Ponder type check default true\n"
      "option name MultiPV type spin min 1 max 20 default 1\n"
      "option name UCI_EngineAbout type string default %s by Halbrook, %s\n"
      "option name UCI_AnalyseMode type check default false\n"
      "option name UCI_ShowCurrLine type check default false\n"
      "option name UCI_ShowRefutations type check default false\n"
      "option name UCI_LimitStrength type check default false\n"
      "option name UCI_Elo type spin min %d max %d default %d\n",
      ProgramName, ProgramName, MakerAddress, 1000, 2400, 1400);
  const OptionList& list = build_option_list();
  for (int i = 0; list.lines[i][0]; ++i) send_line("%s\n", list.lines[i]);
  send_line("uciok\n");
}

void apply_option(const char* name, const char* value) {
  if (!*value) {
    // No value: a button, or a text option being cleared.
    if (same_name(name, "NalimovPath")) set_nalimov_path("");
    else press_button(name);
    return;
  }
  if (same_name(name, "Hash")) {
    apply_hash_option(value);
  } else if (same_name(name, "NalimovPath")) {
    set_nalimov_path(value);
  } else if (same_name(name, "NalimovCache")) {
    const int32_t n = read_number(value);
    if (n >= 1 && n <= 256) {
      Options.NalimovCacheMB = n;
      Options.TablebasesDirty = true;
    }
  } else if (same_name(name, "Ponder")) {
    set_boolean(Options.PonderEnabled, value);
  } else if (same_name(name, "UCI_ShowCurrLine")) {
    set_boolean(Options.ShowCurrLine, value);
  } else if (same_name(name, "UCI_ShowRefutations")) {
    set_boolean(Options.ShowRefutations, value);
  } else if (same_name(name, "UCI_EngineAbout")) {
    // informational only
  } else if (same_name(name, "UCI_AnalyseMode")) {
    set_boolean(Options.AnalyseMode, value);
  } else if (same_name(name, "UCI_LimitStrength")) {
    set_boolean(Options.LimitStrength, value);
  } else if (same_name(name, "UCI_Elo")) {
    const int32_t n = read_number(value);
    Options.EloSetting = n < 1000 ? 1000 : n > 2400 ? 2400 : n;
  } else if (same_name(name, "MultiPV")) {
    set_in_range(Options.MultiPVCount, value, 1, 20);
  } else if (same_name(name, "Use Tablebases")) {
    struct Choice { const char* name; int32_t use, bias, percent; };
    static constexpr Choice choices[] = {
        {"Never", 0, 0, 30}, {"Late", 1, 5, 20}, {"Normal", 1, 0, 30}, {"Early", 1, -5, 40}};
    for (const Choice& c : choices) {
      if (std::strcmp(value, c.name) != 0) continue;
      Options.UseTablebases = c.use;
      Options.TablebaseDepthBias = c.bias;
      Options.TablebaseHitPercent = c.percent;
    }
  } else if (same_name(name, "Keep Hash Tables")) {
    set_boolean(Options.KeepHashMain, value);
    set_boolean(Options.KeepHashSecond, value);
  } else if (same_name(name, "Position Learning")) {
    set_boolean(Options.PositionLearning, value);
  } else if (same_name(name, "Prefer Open Positions")) {
    set_boolean(Options.PreferOpen, value);
  } else if (same_name(name, "test1")) {
    set_boolean(Options.Test1, value);
  } else if (same_name(name, "test2")) {
    set_boolean(Options.Test2, value);
  } else if (same_name(name, "test3")) {
    set_boolean(Options.Test3, value);
  } else if (same_name(name, "Time Usage")) {
    set_in_range(Options.TimeUsage, value, 25, 400);
  } else if (same_name(name, "Knowledge or Speed")) {
    set_in_range(Options.KnowledgeOrSpeed, value, -500, 500);
  } else if (same_name(name, "Draw Score")) {
    set_in_range(Options.DrawScore, value, -300, 300);
  } else if (same_name(name, "Selectivity")) {
    set_in_range(Options.Selectivity, value, -3, 99);
  } else if (same_name(name, "Forward Pruning")) {
    set_in_range(Options.ForwardPruning, value, 0, 5);
  } else if (same_name(name, "Style")) {
    struct Choice { const char* name; int32_t flags[3]; };
    static constexpr Choice choices[] = {{"Intelligent", {1, 1, 1}}, {"Aggressive", {0, 1, 1}},
                                         {"Active", {0, 0, 1}},      {"Normal", {0, 1, 0}},
                                         {"Solid", {0, 0, 0}}};
    for (const Choice& c : choices)
      if (std::strcmp(value, c.name) == 0)
        for (int i = 0; i < 3; ++i) Options.StyleFlags[i] = c.flags[i];
  } else if (same_name(name, "Combinations")) {
    struct Choice { const char* name; int32_t flags[2]; };
    static constexpr Choice choices[] = {
        {"All", {1, 1}}, {"Most", {0, 1}}, {"Some", {1, 0}}, {"None", {0, 0}}};
    for (const Choice& c : choices)
      if (std::strcmp(value, c.name) == 0)
        for (int i = 0; i < 2; ++i) Options.CombinationFlags[i] = c.flags[i];
#if TARROW_MP
  } else if (same_name(name, "Threads")) {
    const int32_t count = read_number(value);
    if (count >= 1 && count <= MaxThreads) set_thread_count(count);
#endif
  } else {
    for (const WeightOption& w : WeightOptions) {
      if (!same_name(name, w.name)) continue;
      set_in_range(Options.EvalWeights[w.index], value, WeightMin, WeightMax);
      return;
    }
  }
}
