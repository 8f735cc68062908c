// "engine bench [DEPTH] [stats]": a fixed set of positions searched to a fixed depth with one
// thread from cleared tables. The node total is a signature of the search and the evaluation;
// "stats" adds the search's counters and the time and nodes of every iteration.
#pragma once

int bench_command(int argc, char** argv);

// The bench's positions (FEN), also searched by the verify programs.
extern const char* const BenchPositions[];
extern const int BenchPositionCount;
