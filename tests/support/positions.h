// Test helpers for anything that needs a Position: tables built once, positions from FEN,
// random legal games.
#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "board/position.h"

// Builds the start-up tables once per process; cheap to call again.
void ensure_tables();

// A heap-allocated Position (they are too large for the stack), cleared as thread 0.
std::unique_ptr<Position> new_position();

// Sets `pos` from a FEN, failing the current test when the FEN is rejected.
void set_fen(Position& pos, const char* fen);

// Whether the move text (such as "e2e4" or "e7e8q") is a legal move in the FEN's position.
bool legal_in(const char* fen, const std::string& text);

// Every legal move of the position at `ply` (generated with GenAll, filtered by make_move).
std::vector<Move> legal_moves(Position& pos, PlyState& ply);

// Starting at ply 0, plays up to `plies` random legal moves; returns the ply record reached.
PlyState* play_random_moves(Position& pos, std::mt19937& rng, int plies);

// Takes back every move from `ply` down to the root.
void take_back_all(Position& pos, PlyState* ply);

// A varied set of test positions (openings, middlegames, endgames, promotions, checks).
extern const std::vector<const char*> TestFens;
