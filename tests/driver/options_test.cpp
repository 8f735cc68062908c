// The option table through "setoption" and the "uci" reply.
#include <cstdio>
#include <cstring>

#include "core/options.h"
#include "driver/engine_fixture.h"
#include "driver/expected_uci_reply.h"
#include "driver/option_table.h"
#include "search/control.h"

namespace {

using OptionsTest = EngineTest;

TEST_F(OptionsTest, UciReplyListsEveryOptionWithItsInitialValue) {
  EXPECT_EQ(run("uci"), expected_uci_reply(false));
}

TEST_F(OptionsTest, HashSizeIsClampedAndSplitFourFifthsToTheTable) {
  struct Case {
    const char* value;
    int32_t table, cache;
  } cases[] = {
      {"64", 52429, 13107},        // 65536 KB: ceil(4/5) to the table
      {"2", 3277, 819},            // below the minimum: 4 MB
      {"3", 3277, 819},
      {"5000", 3355444, 838860},   // above the maximum: 4096 MB
      {"99999999999", 3355444, 838860},  // saturates instead of wrapping
      {"7", 5735, 1433},           // 7168 KB, 4/5 = 5734.4 rounds up
  };
  for (const Case& c : cases) {
    Options.HashTableKB = Options.EvalCacheKB = -1;
    run(std::string("setoption name Hash value ") + c.value);
    EXPECT_EQ(Options.HashTableKB, c.table) << "Hash " << c.value;
    EXPECT_EQ(Options.EvalCacheKB, c.cache) << "Hash " << c.value;
  }
  // 1 MB or less, negative values and text without digits leave the sizes alone.
  for (const char* ignored : {"1", "0", "-64", "lots", "-99999999999"}) {
    run("setoption name Hash value 64");
    run(std::string("setoption name Hash value ") + ignored);
    EXPECT_EQ(Options.HashTableKB, 52429) << "Hash " << ignored;
    EXPECT_EQ(Options.EvalCacheKB, 13107) << "Hash " << ignored;
  }
}

TEST_F(OptionsTest, SpinValuesOutOfRangeAreIgnoredExceptEloWhichIsClamped) {
  run("setoption name UCI_Elo value 500");
  EXPECT_EQ(Options.EloSetting, 1000);
  run("setoption name UCI_Elo value 3000");
  EXPECT_EQ(Options.EloSetting, 2400);
  run("setoption name UCI_Elo value 1777abc");
  EXPECT_EQ(Options.EloSetting, 1777);

  run("setoption name MultiPV value 3");
  run("setoption name MultiPV value 25");
  EXPECT_EQ(Options.MultiPVCount, 3);
  run("setoption name MultiPV value 0");
  EXPECT_EQ(Options.MultiPVCount, 3);

  run("setoption name Selectivity value -3");
  EXPECT_EQ(Options.Selectivity, -3);
  run("setoption name Selectivity value -4");
  EXPECT_EQ(Options.Selectivity, -3);
  run("setoption name Draw Score value -300");
  EXPECT_EQ(Options.DrawScore, -300);
  run("setoption name Draw Score value 301");
  EXPECT_EQ(Options.DrawScore, -300);
  run("setoption name Knowledge or Speed value 500");
  EXPECT_EQ(Options.KnowledgeOrSpeed, 500);
  run("setoption name Forward Pruning value 6");
  EXPECT_EQ(Options.ForwardPruning, 2);
  run("setoption name Time Usage value 24");
  EXPECT_EQ(Options.TimeUsage, 100);
  run("setoption name Time Usage value 400");
  EXPECT_EQ(Options.TimeUsage, 400);
  run("setoption name NalimovCache value 257");
  EXPECT_EQ(Options.NalimovCacheMB, 1);
  EXPECT_FALSE(Options.TablebasesDirty);
  run("setoption name NalimovCache value 256");
  EXPECT_EQ(Options.NalimovCacheMB, 256);
  EXPECT_TRUE(Options.TablebasesDirty);
}

TEST_F(OptionsTest, EveryWeightOptionSetsItsOwnEntry) {
  const std::pair<const char*, int> weights[] = {
      {"Pawn", WeightPawn},
      {"Knight", WeightKnight},
      {"Bishop", WeightBishop},
      {"Rook", WeightRook},
      {"Queen", WeightQueen},
      {"Pawn (Endgame)", WeightPawnEnd},
      {"Knight (Endgame)", WeightKnightEnd},
      {"Bishop (Endgame)", WeightBishopEnd},
      {"Rook (Endgame)", WeightRookEnd},
      {"Queen (Endgame)", WeightQueenEnd},
      {"King Safety", WeightKingSafety},
      {"Pawn Structure", WeightPawnStructure},
      {"Pawn Structure (Endgame)", WeightPawnStructureEnd},
      {"Passed Pawns", WeightPassedPawns},
      {"Passed Pawns (Endgame)", WeightPassedPawnsEnd},
      {"Center Control", WeightCenterControl},
      {"Bishop Pair", WeightBishopPair},
      {"Bishop Pair (Endgame)", WeightBishopPairEnd},
  };
  int value = 30;
  for (const auto& [name, index] : weights) {
    run(std::string("setoption name ") + name + " value " + std::to_string(value));
    run(std::string("setoption name ") + name + " value 401");
    run(std::string("setoption name ") + name + " value 24");
    for (int i = 0; i < EvalWeightCount; ++i) {
      const int expected = i == index ? value : 100;
      EXPECT_EQ(Options.EvalWeights[i], expected) << name << ", entry " << i;
    }
    Options.EvalWeights[index] = 100;
    value += 10;
  }
}

TEST_F(OptionsTest, BooleansIgnoreCaseAndChoicesDoNot) {
  run("setoption name Ponder value false");
  EXPECT_EQ(Options.PonderEnabled, 0);
  run("setoption name Ponder value TRUE");
  EXPECT_EQ(Options.PonderEnabled, 1);
  run("setoption name Ponder value yes");
  EXPECT_EQ(Options.PonderEnabled, 1);

  run("setoption name Keep Hash Tables value False");
  EXPECT_EQ(Options.KeepHashMain, 0);
  EXPECT_EQ(Options.KeepHashSecond, 0);

  run("setoption name Style value solid");
  EXPECT_EQ(Options.StyleFlags[0] + Options.StyleFlags[1] + Options.StyleFlags[2], 3);
  run("setoption name Style value Normal");
  EXPECT_EQ(Options.StyleFlags[0], 0);
  EXPECT_EQ(Options.StyleFlags[1], 1);
  EXPECT_EQ(Options.StyleFlags[2], 0);

  run("setoption name Combinations value Some");
  EXPECT_EQ(Options.CombinationFlags[0], 1);
  EXPECT_EQ(Options.CombinationFlags[1], 0);
  run("setoption name Combinations value none");
  EXPECT_EQ(Options.CombinationFlags[0], 1);

  run("setoption name Use Tablebases value Early");
  EXPECT_EQ(Options.UseTablebases, 1);
  EXPECT_EQ(Options.TablebaseDepthBias, -5);
  EXPECT_EQ(Options.TablebaseHitPercent, 40);
  run("setoption name Use Tablebases value Never");
  EXPECT_EQ(Options.UseTablebases, 0);
  EXPECT_EQ(Options.TablebaseDepthBias, 0);
  EXPECT_EQ(Options.TablebaseHitPercent, 30);

  // Option names and the words "name" and "value" ignore letter case.
  run("setoption NAME hash VALUE 64");
  EXPECT_EQ(Options.HashTableKB, 52429);
  run("setoption name uci_showcurrline value true");
  EXPECT_EQ(Options.ShowCurrLine, 1);
  run("setoption name TEST2 value true");
  EXPECT_EQ(Options.Test2, 1);
}

TEST_F(OptionsTest, ChangedValuesShowInTheNextUciReply) {
  run("setoption name Pawn value 150");
  run("setoption name Selectivity value 7");
  run("setoption name Knowledge or Speed value -20");
  run("setoption name MultiPV value 4");  // a fixed line: keeps announcing the initial value
  std::vector<std::string> expected = expected_uci_reply(false);
  for (std::string& line : expected) {
    if (line == "option name Pawn type spin min 25 max 400 default 100")
      line = "option name Pawn type spin min 25 max 400 default 150";
    if (line == "option name Selectivity type spin min -3 max 99 default -1")
      line = "option name Selectivity type spin min -3 max 99 default 7";
    if (line == "option name Knowledge or Speed type spin min -500 max 500 default 0")
      line = "option name Knowledge or Speed type spin min -500 max 500 default -20";
  }
  EXPECT_EQ(run("uci"), expected);
}

TEST_F(OptionsTest, TextValuesKeepSingleSpacesAndUnknownNamesChangeNothing) {
  run("setoption name NalimovPath value /tb/one    /tb/two");
  EXPECT_STREQ(Options.NalimovPathValue, "/tb/one /tb/two");
  EXPECT_TRUE(Options.TablebasesDirty);
  // The path is catalogued at "isready", which says what it found.
  EXPECT_EQ(run("isready"),
            (std::vector<std::string>{"info string 0 tablebase files found", "readyok"}));
  EXPECT_FALSE(Options.TablebasesDirty);

  // A path longer than the storage is cut, never written beyond it.
  run("setoption name NalimovPath value " + std::string(790, 'p'));
  EXPECT_EQ(std::strlen(Options.NalimovPathValue), size_t(NalimovPathCapacity - 1));

  EngineOptions before;
  std::memcpy(&before, &Options, sizeof before);
  for (const char* line : {"setoption name Threads value 4",  // unknown to the one-thread program
                           "setoption name Hash",             // no value: a button that is none
                           "setoption value 64",              // no name
                           "setoption",
                           "setoption name UCI_EngineAbout value anything",
                           "setoption name Clear Hash value 1",
                           "setoption name Pawn Structure (Endgame) extra value 50"}) {
    run(line);
    EXPECT_EQ(std::memcmp(&before, &Options, sizeof before), 0) << line;
  }
}

TEST_F(OptionsTest, LongNamesAndValuesAreCutWithoutHarm) {
  // A name of a thousand characters cannot match anything; the value is cut at 799.
  run("setoption name " + std::string(1000, 'x') + " value 5");
  run("setoption name NalimovPath value " + std::string(2000, 'v'));
  EXPECT_EQ(std::strlen(Options.NalimovPathValue), size_t(NalimovPathCapacity - 1));
  // Words appended to a full name are dropped, so "Pawn" followed by padding never matches.
  run("setoption name Pawn " + std::string(300, 'y') + " value 50");
  EXPECT_EQ(Options.EvalWeights[WeightPawn], 100);
}

TEST_F(OptionsTest, ClearPosLearningDeletesTheLearningFile) {
  std::FILE* f = std::fopen("tarrow.pl2", "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("x", f);
  std::fclose(f);
  run("setoption name Clear PosLearning value now");  // a button with a value does nothing
  f = std::fopen("tarrow.pl2", "rb");
  EXPECT_NE(f, nullptr);
  if (f) std::fclose(f);
  run("setoption name clear poslearning");
  EXPECT_EQ(std::fopen("tarrow.pl2", "rb"), nullptr);
  run("setoption name Clear PosLearning");  // no file: nothing happens
}

TEST_F(OptionsTest, SetoptionWaitsUntilNoSearchRuns) {
  Control.SearchState = Thinking;
  run("setoption name Pawn value 200");
  EXPECT_EQ(Options.EvalWeights[WeightPawn], 100);
  Control.SearchState = Idle;
  run("setoption name Pawn value 200");
  EXPECT_EQ(Options.EvalWeights[WeightPawn], 200);
}

}  // namespace
