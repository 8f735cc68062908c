// Perft: counts the leaves of the legal move tree, the move generator's correctness test and
// speed benchmark.
#pragma once

#include <cstdint>

#include "board/position.h"

// Leaf count below the position at `ply` to `depth` plies; every leaf is made and taken back.
uint64_t perft(Position& pos, PlyState* ply, int depth);

// The same count, but the moves of the last ply are counted without being made where the
// attack tables already tell that they are legal (the fast perft).
uint64_t perft_bulk(Position& pos, PlyState* ply, int depth);

// Command line "perft DEPTH [FEN...] [bulk]": prints "move: count" per root move, the time and
// nodes per second, and last "nodes N". A last word "bulk" counts with perft_bulk. argv[0] is
// "perft". Returns the process exit code.
int perft_command(int argc, char** argv);
