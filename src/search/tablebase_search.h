// The search's use of the endgame tables: which men count, the root probe with its drawing
// moves, the probe inside the tree, and the probing-time checks that raise the depth margin.
#pragma once

#include <cstdint>

struct Position;
struct PlyState;
struct RootSearchState;

constexpr int32_t NoTablebaseValue = 30001;  // a probe without an answer

// Per search: the limit of men for probes (Search.tbMaxMen), the root probe and, for a drawn
// root with more material, the moves that keep the draw as the search-moves list.
void prepare_tablebase_search(Position& pos, PlyState& root, RootSearchState& rs);

// Once the search report is reset: the root probe's hit and the hidden score.
void report_tablebase_root();

// Node step: the exact value of the node when the tables know it, else 30001. `fifty` when the
// fifty-move count is reached at this node.
int32_t probe_tablebase_in_tree(Position& pos, const PlyState& node, bool fifty);

// After iteration d with root score `score`: false when iterating should stop (the known root
// value is confirmed); may reset `score` to 0 when the search disagrees with the root value.
bool tablebase_after_iteration(int d, int32_t& score);

// Every 2000 ms of the poll: deep iterations that spend too long in probes probe less deep.
void tablebase_poll_adjust(int64_t elapsed);
