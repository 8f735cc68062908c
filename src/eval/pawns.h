// Pawn structure: everything that depends on the pawns alone, computed once per pawn
// configuration and kept in the per-thread pawn hash. Scores are White's view; ranks count from
// White's side and files 1..8 are a..h (indices 0 and 9 are borders).
#pragma once

#include <cstdint>

#include "board/position.h"

// PawnEntry::flags
constexpr uint16_t PawnLockQueenSideWhite = 1;  // White's a- and b-pawns are locked
constexpr uint16_t PawnLockQueenSideBlack = 2;
constexpr uint16_t PawnLockKingSideWhite = 4;   // White's h- and g-pawns are locked
constexpr uint16_t PawnLockKingSideBlack = 8;
constexpr uint16_t PawnWhiteAdvancedPasser = 16;  // a white passed pawn on rank 6 or 7
constexpr uint16_t PawnWhiteLowWeak = 32;         // a weak white pawn below rank 4
constexpr uint16_t PawnCentreOpen = 64;
constexpr uint16_t PawnCentreClosed = 128;
constexpr uint16_t PawnWall = 256;                // neither king can cross the pawn chain
constexpr uint16_t PawnBlackAdvancedPasser = 512; // a black passed pawn on rank 3 or 2
constexpr uint16_t PawnBlackHighWeak = 1024;      // a weak black pawn above rank 5

struct PawnEntry {
  uint32_t key;                 // pawnLock
  uint8_t pawnsOnFile[10];
  uint8_t whitePawnsOnFile[10];
  uint8_t blackPawnsOnFile[10];
  uint8_t whiteRearRank[10];    // rank of the rearmost white pawn; 9 when none
  uint8_t blackRearRank[10];    // rank of the rearmost (highest) black pawn; 0 when none
  uint8_t pawnsOnColour[4];     // white on light, white on dark, black on light, black on dark
  uint8_t blockedOnColour[4];   // the same, counting pawns with an enemy pawn right in front
  int8_t passedOnColour[4];     // minus the passed pawns, same order
  uint8_t whitePawnCount, blackPawnCount;
  uint64_t whitePassed, blackPassed;    // bit s - 1 for square s
  uint64_t whiteWeak, blackWeak;
  uint64_t whiteSpan, blackSpan;        // squares the side's pawns attack now or later
  uint64_t whiteOutposts, blackOutposts;
  uint64_t whiteReach, blackReach;      // where the kings can walk in a locked structure
  int16_t score;
  int16_t endingScore;          // extra in pawn endings
  int16_t lateScore;            // extra once captures since the root made it an ending
  uint16_t flags;
  int8_t whiteRookBonus, blackRookBonus;
  int8_t whiteBishopPairBonus, blackBishopPairBonus;
  uint8_t averageFile;
  uint8_t openFiles;
  uint8_t whiteIsolated, blackIsolated;
  int8_t minorAdjust;
  uint8_t spreadScale;
  uint8_t pawnCentre;
  uint8_t pawnCentreHigh;       // the same centre with its rank average rounded up, not down
};
static_assert(sizeof(PawnEntry) == 176);

constexpr int PawnHashSize = 16384;

// The entry for the pawns of `ply`, computed on a miss.
const PawnEntry& PawnLookup(Position& pos, const PlyState& ply);
void ComputePawnEntry(const Position& pos, const PlyState& ply, PawnEntry& entry);

// Squares a pawn of `colour` on s attacks now or after advancing (built once, see pawns.cpp).
uint64_t front_attack_span(int colour, Square s);
