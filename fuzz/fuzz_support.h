// What the fuzzing harnesses share: a working directory of their own (the engine reads and
// writes "tarrow.pl2" there), a scratch Position, and the checks every harness makes on the
// engine's answers. A failed check traps, which the fuzzer reports as a finding.
#pragma once

#include "board/position.h"

// Changes into a fresh temporary directory (once per process).
void enter_scratch_directory();

// A Position of its own, initialised once.
Position& scratch_position();

// Legal moves of the game position on the board of the game record.
int legal_move_count_in_game();
bool legal_in_game(Move m);

// Start-up of the engine in the scratch directory, output discarded; every "go" then runs
// checked_search instead of the full search.
void start_engine_for_fuzzing();
// Default options, search control and the start position, before each input.
void reset_engine_for_input();
// A real search bounded to depth 3 and 4000 nodes, without clocks or waits for input. Its move
// must be legal in the game position (absent only when there is none) and its score a score.
Move checked_search(Position& pos);

// Traps when `condition` does not hold, naming what failed on the error output.
void require(bool condition, const char* what);
