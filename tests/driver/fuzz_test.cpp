// Thousands of random and mutated command lines: the interpreter must survive all of them with
// every option inside its range and a game that still makes sense.
#include <cstring>
#include <random>

#include "board/consistency.h"
#include "board/game.h"
#include "core/options.h"
#include "driver/engine_fixture.h"
#include "driver/expected_uci_reply.h"
#include "search/control.h"
#include "search/threads.h"

namespace {

using FuzzTest = EngineTest;

const char* const Words[] = {
    "uci", "isready", "setoption", "go", "stop", "ponderhit", "ucinewgame", "debug", "position",
    "name", "value", "NAME", "Value", "startpos", "fen", "moves", "on", "off", "ponder",
    "infinite", "wtime", "btime", "winc", "binc", "movestogo", "depth", "movetime", "nodes",
    "mate", "searchmoves", "Hash", "MultiPV", "UCI_Elo", "UCI_LimitStrength", "NalimovPath",
    "NalimovCache", "Style", "Combinations", "Use Tablebases", "Selectivity", "Draw Score",
    "Pawn", "(Endgame)", "Clear", "Threads", "true", "false", "TRUE", "Solid", "Early", "0", "1",
    "-1", "3", "25", "400", "4096", "2147483647", "2147483648", "-2147483649",
    "99999999999999999999", "e2e4", "e7e5", "e1g1", "e7e8q", "a7a8n", "h2h1", "z9z9", "e2e4e",
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR", "8/8/8/8/8/8/8/8", "w", "b", "KQkq", "-",
    "e3", "9/9", "k7/8/8/8/8/8/8/7K", "K7/8/8/8/8/8/8/7k", "PPPPPPPP/8/8/8/8/8/8/pppppppp",
    "\t", "", "/////////", "99", "88888888",
};

const char* const Seeds[] = {
    "position startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6",
    "position fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1 moves e1g1 e8c8",
    "position fen 4k3/8/8/8/4Pp2/8/8/4K3 b - e3 0 1 moves f4e3",
    "setoption name Hash value 64",
    "setoption name NalimovPath value /a/b   /c",
    "setoption name UCI_LimitStrength value true",
    "setoption name Style value Aggressive",
    "go wtime 300000 btime 300000 winc 2000 binc 2000 movestogo 40",
    "go searchmoves e2e4 d2d4 depth 3",
    "go nodes 100000",
    "debug on",
    "isready",
};

std::string random_line(std::mt19937& rng) {
  std::string line;
  switch (rng() % 4) {
    case 0: {  // random words
      const int count = 1 + int(rng() % 40);
      for (int i = 0; i < count; ++i) {
        if (i) line += std::string(1 + rng() % 3, ' ');
        line += Words[rng() % (sizeof Words / sizeof Words[0])];
      }
      break;
    }
    case 1: {  // a valid command with bytes changed, cut or repeated
      line = Seeds[rng() % (sizeof Seeds / sizeof Seeds[0])];
      const int edits = 1 + int(rng() % 6);
      for (int i = 0; i < edits && !line.empty(); ++i) {
        const size_t at = rng() % line.size();
        switch (rng() % 4) {
          case 0: line[at] = char(rng() % 256); break;
          case 1: line.erase(at); break;
          case 2: line.insert(at, line.substr(0, at)); break;
          case 3: line.insert(at, 1, char(" /-0123456789kqrbnpKQRBNP"[rng() % 25])); break;
        }
      }
      break;
    }
    case 2: {  // binary bytes
      const int length = int(rng() % 300);
      for (int i = 0; i < length; ++i) line += char(1 + rng() % 255);
      break;
    }
    default: {  // a command word followed by a very long tail
      line = Words[rng() % 9];
      const int count = 100 + int(rng() % 800);
      for (int i = 0; i < count; ++i) {
        line += ' ';
        line += Words[rng() % (sizeof Words / sizeof Words[0])];
      }
      break;
    }
  }
  if (line.size() > 4095) line.resize(4095);  // the reader hands out at most this much
  return line;
}

TEST_F(FuzzTest, RandomCommandLinesLeaveASoundEngine) {
  std::mt19937 rng(20261207);
  int games = 0;
  for (int i = 0; i < 4000; ++i) {
    const std::string line = random_line(rng);
    run(line);
    ASSERT_EQ(Control.SearchState, Idle) << line;
    ASSERT_TRUE(board_is_sound(GameBoard.board)) << line;
    ASSERT_EQ(std::memcmp(main_position().board + 1, GameBoard.board + 1, 64), 0) << line;
    ASSERT_LE(GameBoard.current, GameBoard.capacity - 2) << line;
    if (GameBoard.current > 0) ++games;
  }
  EXPECT_GT(games, 100);  // the mutated commands did play moves now and then

  EXPECT_GE(Options.HashTableKB, 3277);
  EXPECT_LE(Options.HashTableKB + Options.EvalCacheKB, 4194304);
  EXPECT_LT(std::strlen(Options.NalimovPathValue), size_t(NalimovPathCapacity));
  EXPECT_TRUE(Options.NalimovCacheMB >= 1 && Options.NalimovCacheMB <= 256);
  EXPECT_TRUE(Options.MultiPVCount >= 1 && Options.MultiPVCount <= 20);
  EXPECT_TRUE(Options.EloSetting >= 1000 && Options.EloSetting <= 2400);
  EXPECT_TRUE(Options.Selectivity >= -3 && Options.Selectivity <= 99);
  EXPECT_TRUE(Options.DrawScore >= -300 && Options.DrawScore <= 300);
  EXPECT_TRUE(Options.ForwardPruning >= 0 && Options.ForwardPruning <= 5);
  EXPECT_TRUE(Options.TimeUsage >= 25 && Options.TimeUsage <= 400);
  EXPECT_TRUE(Options.KnowledgeOrSpeed >= -500 && Options.KnowledgeOrSpeed <= 500);
  for (int w = 0; w < WeightEvalPercent; ++w)
    EXPECT_TRUE(Options.EvalWeights[w] >= 25 && Options.EvalWeights[w] <= 400) << w;
  EXPECT_EQ(Options.EvalWeights[WeightEvalPercent], 100);
  for (int32_t* flag : {&Options.PonderEnabled, &Options.AnalyseMode, &Options.ShowCurrLine,
                        &Options.LimitStrength, &Options.KeepHashMain, &Options.PositionLearning,
                        &Options.PreferOpen, &Options.Test1})
    EXPECT_TRUE(*flag == 0 || *flag == 1);
  EXPECT_EQ(Options.ThreadCount, 1);
  EXPECT_LE(Control.PollIntervalShort, Control.PollIntervalLong);

  // Still answering, and the option table intact once the values are back at their start.
  EXPECT_EQ(run("isready"), std::vector<std::string>{"readyok"});
  reset_options();
  EXPECT_EQ(run("uci"), expected_uci_reply(false));
  run("position startpos moves e2e4");
  EXPECT_EQ(GameBoard.current, 1);
}

}  // namespace
