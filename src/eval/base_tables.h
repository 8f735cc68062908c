// The constant piece-square tables the root preparation starts from. Each table is White's
// view, laid out as a chess diagram: index 0 is a8, 7 is h8, 56 is a1, 63 is h1.
#pragma once

#include <cstdint>

#include "board/types.h"

extern const int32_t PawnTableOpening[64];
extern const int32_t PawnTableEnding[64];
extern const int32_t KnightTable[64];
extern const int32_t BishopTable[64];
extern const int32_t RookTableMiddle[64];
extern const int32_t RookTableEnding[64];
extern const int32_t QueenTableMiddle[64];
extern const int32_t QueenTableEnding[64];
extern const int32_t KingTableMiddle[64];
extern const int32_t KingTableActive[64];
extern const int32_t KingTableEnding[64];
extern const int32_t KingTableBare[64];
extern const int32_t KingTableCornerDrive[64];
extern const int32_t KingTableAttack[64];

// Value of a diagram table on square s (a1 = 1) for White.
inline int32_t diagram_value(const int32_t* table, Square s) { return table[(s - 1) ^ 56]; }
// The same table read upside down: what Black gets on square s.
inline int32_t diagram_value_mirrored(const int32_t* table, Square s) { return table[s - 1]; }
