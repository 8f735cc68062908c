// The expensive part of the evaluation: control of the centre squares and the mobility of
// knights and bishops, White's view. Bishop mobility depends on the pawns only and is kept in
// the thread's bishop mobility cache.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "eval/pawns.h"

// `endgameForm` leaves out the centre control (endgame phase or ending indicator).
int32_t SquareControl(Position& pos, const PlyState& ply, const PawnEntry& pawns, bool endgameForm);

// The parts, for tests: centre value (before the "Center Control" weight), and one side's
// knight and bishop mobility from that side's view.
int32_t CentreControl(const Position& pos);
int32_t KnightMobility(const Position& pos, const PawnEntry& pawns, int colour);
int32_t BishopMobility(Position& pos, const PlyState& ply, const PawnEntry& pawns, int colour);

// The mobility value of a bishop with `safeSquares` squares on its diagonals that no enemy pawn
// can ever attack.
int32_t bishop_mobility_value(int safeSquares);
