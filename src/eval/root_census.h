// What stands on the board at the root, counted once, and the stage of the game it makes. The
// root preparation's files read the root through it.
#pragma once

#include <cstdint>

#include "board/position.h"

// What stands on the board at the root, counted once.
struct Census {
  int pawns[2], knights[2], bishops[2], rooks[2], queens[2];
  int pawnsOnFile[2][10];
  int lastBishopDark[2];     // square colour of the last bishop found: 1 dark, 0 light, -1 none
  int undeveloped[2];
  int kingFile[2];
  int32_t material[2];
  int32_t pieceMaterial[2];  // material without the pawns
  int pieces(int c) const { return knights[c] + bishops[c] + rooks[c] + queens[c]; }
  int majors(int c) const { return rooks[c] + queens[c]; }
  int minors(int c) const { return knights[c] + bishops[c]; }
};

inline bool holds(const Position& pos, Square s, int code) { return pos.board[s] == code; }

Census take_census(const Position& pos, const PlyState& root);
// The game-stage flags (eval/root_eval.h) of the root.
uint32_t classify_stage(const Census& c);
// RootEval.endingIndicator: which capture sets since the root would turn the game into an
// ending (none when the root is one already).
void fill_ending_indicator(const Census& c, bool endgameLike);
