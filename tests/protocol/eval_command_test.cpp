// The "eval" command through the pipe: a table of terms with a total, the colour mirror's total
// from White's view negated, and a search afterwards unaffected.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/engine_process.h"

namespace {

using Lines = std::vector<std::string>;

Lines eval_lines(EngineProcess& engine, const std::string& position) {
  engine.send(position);
  engine.send("eval");
  engine.send("isready");
  Lines lines;
  EXPECT_TRUE(engine.read_until("readyok", lines, 8000));
  return lines;
}

// The totals of the last line: White's view and the side to move's.
bool totals(const Lines& lines, double& white, double& toMove) {
  for (const std::string& line : lines)
    if (std::sscanf(line.c_str(), "total %lf (White's view), %lf", &white, &toMove) == 2) return true;
  return false;
}

TEST(EvalCommand, PrintsTermsAndMirrorsTotals) {
  EngineProcess engine(TARROW_ENGINE);
  ASSERT_TRUE(engine.started());
  const Lines a = eval_lines(
      engine, "position fen r2q1rk1/pp1nbppp/2p1pn2/3p4/2PP1B2/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 9");
  const Lines b = eval_lines(
      engine, "position fen r2qkb1r/pp3ppp/2n1pn2/2pp1b2/3P4/2P1PN2/PP1NBPPP/R2Q1RK1 b kq - 0 9");
  int termLines = 0;
  for (const std::string& line : a) termLines += line.find(" | ") != std::string::npos;
  EXPECT_EQ(termLines, 19);  // the header and 18 terms
  double whiteA = 0, moverA = 0, whiteB = 0, moverB = 0;
  ASSERT_TRUE(totals(a, whiteA, moverA));
  ASSERT_TRUE(totals(b, whiteB, moverB));
  EXPECT_NE(whiteA, 0.0);
  EXPECT_DOUBLE_EQ(whiteA, -whiteB);
  EXPECT_DOUBLE_EQ(moverA, moverB);

  engine.send("go depth 3");
  std::string line;
  bool answered = false;
  while (!answered && engine.read_line(line, 8000)) answered = line.rfind("bestmove ", 0) == 0;
  EXPECT_TRUE(answered);
  EXPECT_NE(line, "bestmove 0000");
}

}  // namespace
