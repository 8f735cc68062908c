// The staged move pickers: table moves before anything is generated, captures before quiet
// moves, and quiet moves only when the captures did not cut. Each pick is a linear scan for
// the best remaining entry, which suits the many nodes that cut after one or two moves.
#pragma once

#include <cstdint>

#include "board/position.h"

// Picker stages of a full-width node.
enum PickStage : uint8_t {
  PickHashMove = 0,
  PickSecondMove = 1,
  PickGoodCaptures = 2,
  PickKillers = 3,
  PickBadCaptures = 4,
  PickQuiet = 5,
  PickDone = 6
};

// Order scores that the generator gives the killers of this ply and of two plies earlier.
constexpr int32_t KillerScore = 0x7FFFFE0B;
constexpr int32_t OlderKillerScore = 0x7FFFFE0A;
// Captures scoring above this are taken before the killers.
constexpr int32_t GoodCaptureThreshold = -101;
constexpr int32_t QuiescenceCaptureThreshold = -100;

// Next move of a full-width node, or 0 when every move has been handed out. The table moves
// (hashMove, hashMove2) come first when they are possible here and are never returned twice.
Move NextMove(Position& pos, PlyState& node);

// Next move of a quiescence node at remaining depth `depth` (0 or below), or 0.
Move QuiescencePick(Position& pos, PlyState& node, int32_t depth);

// Back to the first stage with empty lists; the table moves stay set.
void reset_picker(PlyState& node);

// A quiet move that caused a cutoff at this ply: a killer already held counts one more hit;
// a new one replaces the killer with fewer hits (the second on a tie) and starts at one.
void record_killer(Killers& killers, Move m);

#if TARROW_VERIFY
// The verify build lets an oracle look at each picker call before it hands out a move (depth
// is the quiescence node's remaining depth, 0 for a full-width node).
using PickerWatcher = void (*)(Position& pos, PlyState& node, int32_t depth, bool quiescence);
extern PickerWatcher PickerWatch;
#endif
