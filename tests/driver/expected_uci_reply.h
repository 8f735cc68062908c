// The complete "uci" reply of both programs with every option at its initial value, written
// out line by line so that any change to the text shows up as a test failure.
#pragma once

#include <string>
#include <vector>

inline std::vector<std::string> expected_uci_reply(bool multiProcessor, int maxThreads = 1,
                                                   int threads = 1) {
  const std::string name = multiProcessor ? "Tarrow MP 9 UCI" : "Tarrow 9 UCI";
  std::vector<std::string> lines = {
      "id name " + name,
      "id author Halbrook",
      "option name Hash type spin min 4 max 4096 default 4",
      "option name NalimovPath type string default <empty>",
      "option name NalimovCache type spin min 1 max 256 default 1",
      "option name Ponder type check default true",
      "option name MultiPV type spin min 1 max 20 default 1",
      "option name UCI_EngineAbout type string default " + name +
          " by Halbrook, https://tarrow-chess.example.org",
      "option name UCI_AnalyseMode type check default false",
      "option name UCI_ShowCurrLine type check default false",
      "option name UCI_ShowRefutations type check default false",
      "option name UCI_LimitStrength type check default false",
      "option name UCI_Elo type spin min 1000 max 2400 default 1400",
      "option name Keep Hash Tables type check default true",
      "option name Position Learning type check default true",
      "option name Prefer Open Positions type check default false",
      "option name Use Tablebases type combo default Normal var Never var Late var Normal var Early",
      "option name Queen type spin min 25 max 400 default 100",
      "option name Queen (Endgame) type spin min 25 max 400 default 100",
      "option name Rook type spin min 25 max 400 default 100",
      "option name Rook (Endgame) type spin min 25 max 400 default 100",
      "option name Bishop type spin min 25 max 400 default 100",
      "option name Bishop (Endgame) type spin min 25 max 400 default 100",
      "option name Knight type spin min 25 max 400 default 100",
      "option name Knight (Endgame) type spin min 25 max 400 default 100",
      "option name Pawn type spin min 25 max 400 default 100",
      "option name Pawn (Endgame) type spin min 25 max 400 default 100",
      "option name Style type combo default Intelligent var Intelligent var Aggressive var Active "
      "var Normal var Solid",
      "option name Combinations type combo default All var All var Most var Some var None",
      "option name Forward Pruning type spin min 0 max 5 default 2",
      "option name Selectivity type spin min -3 max 99 default -1",
      "option name Draw Score type spin min -300 max 300 default 0",
      "option name Clear Hash type button",
      "option name Clear PosLearning type button",
      "option name King Safety type spin min 25 max 400 default 100",
      "option name Center Control type spin min 25 max 400 default 100",
      "option name Pawn Structure type spin min 25 max 400 default 100",
      "option name Pawn Structure (Endgame) type spin min 25 max 400 default 100",
      "option name Passed Pawns type spin min 25 max 400 default 100",
      "option name Passed Pawns (Endgame) type spin min 25 max 400 default 100",
      "option name Bishop Pair type spin min 25 max 400 default 100",
      "option name Bishop Pair (Endgame) type spin min 25 max 400 default 100",
      "option name Time Usage type spin min 25 max 400 default 100",
      "option name Knowledge or Speed type spin min -500 max 500 default 0",
  };
  if (multiProcessor)
    lines.push_back("option name Threads type spin min 1 max " + std::to_string(maxThreads) +
                    " default " + std::to_string(threads));
  lines.push_back("uciok");
  return lines;
}
