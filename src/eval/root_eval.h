// The prepared root: the game stage, the formations and the tables that the root preparation
// (eval/preparation) fills before every search, and that the evaluation and the search read
// during it. Written by the main thread while no search runs; read by every search thread.
#pragma once

#include <cstdint>

#include "board/position.h"

// Game-stage flags. Exactly one of opening, middlegame, endgame, white bare, black bare is set;
// PhasePawnsOnly can be added.
constexpr uint32_t PhaseOpening = 1;
constexpr uint32_t PhaseMiddlegame = 2;
constexpr uint32_t PhaseEndgame = 4;
constexpr uint32_t PhasePawnsOnly = 16;   // no man besides pawns and kings
constexpr uint32_t PhaseWhiteBare = 32;   // White has only the king, Black more than a pawn
constexpr uint32_t PhaseBlackBare = 64;
constexpr uint32_t EndgameLikeMask = PhaseEndgame | PhaseWhiteBare | PhaseBlackBare;

// Structure flags (formations the style terms react to).
constexpr uint32_t StructureQueenSideWhite = 1;  // Black's queen-side majority formation
constexpr uint32_t StructureQueenSideBlack = 2;
constexpr uint32_t StructureStonewall = 4;       // the engine faces a stonewall-like centre
constexpr uint32_t StructureHFileAttack = 8;
constexpr uint32_t StructureAFileAttack = 16;

struct RootEvaluation {
  uint32_t PhaseFlags;
  uint32_t StructureFlags;
  bool KingsSameWing;
  bool noPawnImbalance;   // false: the side ahead in pieces has no pawns against pawns
  bool minorEnding;       // one minor each (at least one bishop), few pawns
  // Root facts that switch single king-safety and queen terms (never set: see set_term_flags).
  bool kingEndgameFlag;   // king safety takes its endgame form
  bool openFileFlag;      // the castled wing fears only a fully open edge file
  bool queenFlag;         // no bonus for a queen on the enemy king's wing
  int engineColour;       // side to move at the root
  uint8_t endingIndicator[256];  // by PlyState::capturedTypes: 1 = those captures make an ending
  uint64_t outpostZone[2];       // central squares a side's knights aim for (bit s - 1)
  int32_t pawnLimitWhite, pawnLimitBlack;
  int32_t bishopPairBonus;
  // Passed-pawn values by the pawn's own rank 1..8 (index 0 unused).
  int32_t passedMid[9], passedEnd[9], connectedMid[9], connectedEnd[9];
  int32_t freePathMid[9], freePathEnd[9];
  int32_t knightNoSquarePenalty;
  int32_t rookSeventhKingOn7, rookSeventhKingOn8;
  int32_t rooksDoubledFirstRank, rooksDoubledSeventh, rooksDoubledFile, rooksDoubledFileHalfOpen;
  int32_t lazyMargin;
  // Corrections for when the game changes its character during the search, [colour][square].
  int32_t pawnSquareLate[2][SquareCount];
  int32_t kingFewPiecesTable[2][SquareCount];
  int32_t kingManyPiecesTable[2][SquareCount];
  int32_t kingEndingTable[2][SquareCount];
  // Fingerprints of the evaluation settings: the serial tells the transposition table whether a
  // stored score was made under the same evaluation; the stamp marks evaluation-cache entries.
  uint32_t evalSerial;
  uint32_t secondFingerprint;
  uint16_t evalStamp;
  // Fingerprint of everything a pawn-hash entry is computed from besides the pawns themselves
  // (phase, engine colour, "Prefer Open Positions", the passed-pawn and late pawn-square
  // tables): when it changes between searches the kept pawn entries are stale.
  uint32_t pawnTermsFingerprint;
};
extern RootEvaluation RootEval;

// True when the material (counts of both sides together, each side's non-pawn material) makes
// an ending.
bool is_endgame(int queens, int majors, int minors, int pawns, int32_t whitePieceMaterial,
                int32_t blackPieceMaterial);
