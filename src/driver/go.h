// The "go" command: reads the search limits, sets the level, runs the search and sends the
// "bestmove" line.
#pragma once

#include "board/position.h"
#include "board/types.h"
#include "driver/tokens.h"

// `tokens` stands after the word "go".
void go_command(Tokenizer& tokens);

// The node budget of a limited-strength search: about 10 nodes at "UCI_Elo" 1000, doubling
// every 100 points, spread by a random draw.
uint32_t limit_strength_node_budget();

// The search that "go" runs (the root search by default). Tests of the interpreter put a
// stand-in here to exercise the command handling alone; nullptr restores the real search.
using SearchRunner = Move (*)(Position& pos);
void set_search_runner(SearchRunner runner);

// "bestmove e2e4" or "bestmove e2e4 ponder e7e5"; "bestmove 0000" when there is no move.
void send_bestmove(Move best, Move ponder);
