// Perft: counts the leaves of the legal move tree, the move generator's correctness test and
// speed benchmark.
#pragma once

#include <cstdint>

#include "board/position.h"

// Leaf count below the position at `ply` to `depth` plies.
uint64_t perft(Position& pos, PlyState* ply, int depth);

// Command line "perft DEPTH [FEN...]": prints "move: count" per root move, the time and nodes
// per second, and last "nodes N". argv[0] is "perft". Returns the process exit code.
int perft_command(int argc, char** argv);
