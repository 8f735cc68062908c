// The root's pawn structure in the piece-square tables: pawn majorities, storms against the
// enemy king, the shelter of the own king, blocked chains and (with "Prefer Open Positions")
// central levers shift the pawn entries; the formations the style terms react to (stonewall,
// queen-side majority, edge-file attacks) are flagged in RootEval.StructureFlags and adjust
// the entries of the pieces they concern.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "eval/root_census.h"

// White's pawn entries minus Black's over the pawns on the board.
int32_t root_pawn_score(const Position& pos);
// Shifts of the pawn entries; may flag a queen-side majority formation.
void adjust_pawn_structure(const Position& pos, const Census& c, uint32_t phase);
// Formations the style terms react to, seen from the engine's side.
void set_structure_flags(const Position& pos, const Census& c, uint32_t phase, int engine);
void adjust_for_structure_flags(const Position& pos, const Census& c, int engine);
