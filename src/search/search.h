// The full-width node procedure, the quiescence search and the extension rules. Scores are
// centipawns from the side to move's view; a side mated at ply p scores p - 30000.
#pragma once

#include <cstdint>

#include "board/position.h"

constexpr int32_t MateScore = 30000;
constexpr int32_t MateBound = 29000;  // any |score| above this is a mate score

// Search-owned bits of PlyState::flags.
constexpr uint32_t MateThreatFlag = 0x800;     // passing would get the side to move mated
constexpr uint32_t UpperBoundFlag = 0x1000;    // with 0x8000: the table holds an upper bound
constexpr uint32_t LowerBoundFlag = 0x2000;    // the table holds a lower bound: a cut node
constexpr uint32_t SingularFlag = 0x4000;      // the hash move is singular
constexpr uint32_t AllNodeFlag = 0x8000;

// Searches the position of `node` (its move made) to `depth` plies within (alpha, beta).
// `mateExtensions` counts the mate-threat extensions already given on the path.
int32_t SearchNode(Position& pos, PlyState& node, int32_t alpha, int32_t beta, int32_t depth,
                   int nullAllowed, int mateExtensions);

// Captures, promotions and some checks below the horizon; `depth` is 0 or below.
int32_t QuiescenceNode(Position& pos, PlyState& node, int32_t alpha, int32_t beta, int32_t depth);

// Plies by which the node is extended: 0, 1 or 3. `quick` is the node's quick score.
int32_t ExtensionFor(const Position& pos, const PlyState& node, int32_t depth, int32_t alpha,
                     int32_t quick);

// The main thread's periodic look at the clock, the node limit and the input, made at `node`;
// it also sends the periodic status lines. Returns true
// when the search must stop.
bool poll_search(Position& pos, const PlyState& node);
