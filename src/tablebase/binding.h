// The engine's use of the tablebase module: settings taken over at "isready", the probe of a
// search position, and the shutdown.
#pragma once

#include <cstdint>

struct Position;
struct PlyState;

// Largest number of men (kings included) the catalogued tables cover; 0 when none are in use.
extern int32_t TablebaseMen;

// Exact score of the position for the side to move (mate in r moves = 30000 - 2r), or 30001
// when no table answers.
int32_t tablebase_probe(const Position& pos, const PlyState& ply);

// Restarts the module with the stored "NalimovPath" and "NalimovCache" when they changed.
void tablebase_apply_settings();
void tablebase_shutdown();

// Command-line check of a table set: prints "win N", "loss N", "draw" or "none".
int tbprobe_command(int argc, char** argv);
