// Start-up tables: every step, ray and target list that move generation, the attack updates
// and the evaluation read, built once from the 0x88 direction steps so that nothing does
// coordinate arithmetic at run time.
#pragma once

#include <cstdint>

#include "board/types.h"

// Leaper kinds for LeaperTargets and slider kinds for the chain tables.
enum LeaperKind : int { LeaperKing = 0, LeaperKnight = 1, LeaperWhitePawn = 2, LeaperBlackPawn = 3 };
enum SliderKind : int { SliderQueen = 0, SliderRook = 1, SliderBishop = 2 };

// 0-terminated target lists per leaper kind and square.
extern const uint8_t* LeaperTargets[4][SquareCount];
// Slider chains: start at SliderNext[k][from][from]; on an empty square continue with
// SliderNext, on an occupied one with SliderSkip (first square of the next ray); stop at 0.
extern uint8_t SliderNext[3][SquareCount][SquareCount];
extern uint8_t SliderSkip[3][SquareCount][SquareCount];
// Beyond[x][a]: 0-terminated squares past x on the line from a through x, nearest first.
extern const uint8_t* Beyond[SquareCount][SquareCount];
// PawnPush[colour][s]: the square ahead of a pawn, 0 from the last rank.
extern uint8_t PawnPush[2][SquareCount];
// Direction[from][to]: square-number step along a queen line from `from` toward `to`, 0 if none.
extern int32_t Direction[SquareCount][SquareCount];
// AttackTypes[diff + 119], diff a 0x88 difference: bits of the piece types that can attack
// across it (king 1, white pawn 2, black pawn 4, knight 8, bishop 16, rook 32, queen 64).
extern int32_t AttackTypes[239];
extern const int32_t AttackTypeBit[16];
extern const uint8_t FileSquares[9][9];   // FileSquares[f]: the file's squares from rank 1, then 0
extern uint64_t SquareMask[SquareCount];
extern uint64_t FileMask[9];
extern uint64_t RankMask23, RankMask67;
// 0x88 coordinate of a square (index 0 gives 0).
extern const int32_t Coord88[SquareCount];

// The builders, in the order start-up runs them. Each writes the same result every time and
// never beyond its own storage (the speed calibration reruns the first, second and sixth).
void build_leaper_lists();
void build_slider_tables();
void build_beyond_lists();
void build_pawn_push();
void build_direction_table();
void build_attack_type_table();
void build_masks();
void build_startup_tables();  // all of the above, in order

// True when a piece of code p on square a attacks square b across the empty board (sliders
// still need the squares between to be empty).
inline bool attack_type_allows(int p, Square a, Square b) {
  return (AttackTypes[Coord88[b] - Coord88[a] + 119] & AttackTypeBit[p]) != 0;
}
