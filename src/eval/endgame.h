// Endgame knowledge: recognisers of specific endings (dead draws, exact values, scaled
// advantages), the king-and-pawn-against-king rule set, the king-proximity terms of endings and
// the locked-pawn fortress rule. Every value is White's view.
#pragma once

#include <cstdint>

#include "board/position.h"

struct PawnEntry;

// What a recogniser concluded about the position.
enum EndingVerdict : int {
  EndingOpen = 0,   // play on with the ordinary terms (scale and pawn correction may be set)
  EndingDraw = 1,   // a dead draw: the evaluation is exactly 0
  EndingExact = 2,  // `value` is the whole positional part; no other term applies
};

// The win value of a won king-and-pawn ending, from the pawn owner's view.
constexpr int32_t KpkWinValue = 500;

// Runs the recognisers of known endings (the position must be an ending). May combine a scaling
// percentage into `scale`; for EndingOpen, `value` receives a correction to the pawn-structure
// sum, for EndingExact the exact positional value.
EndingVerdict RecogniseEnding(const Position& pos, const PlyState& ply, const PawnEntry& pawns,
                              int32_t& scale, int32_t& value);

// Terms that follow the per-piece loop in endings: rook and two pawns against rook, the kings'
// distance to the pawn centre and to the average pawn file, and several unstoppable passers
// against a lone minor. `unstoppable` counts, per colour, the passed pawns that the enemy king
// can no longer catch (the per-piece loop counts them). Returns the pawn-structure correction;
// may combine into `scale`.
int32_t EndgameCorrections(const Position& pos, const PlyState& ply, const PawnEntry& pawns,
                           const int unstoppable[2], bool pawnEnding, int32_t& scale);

// Pawn endings where only rook pawns of one side remain and the defending king holds the corner.
bool PawnEndingIsDraw(const Position& pos, const PawnEntry& pawns);

// Locked pawn chains that neither king can cross: the evaluation is scaled almost to 0.
bool FortressHolds(const Position& pos, const PawnEntry& pawns, bool pawnEnding,
                   const int unstoppable[2]);
constexpr int32_t FortressScale = 2;

// King and pawn against king: KpkWinValue when the pawn's side wins, else 0.
int32_t KpkValue(Square strongKing, Square weakKing, Square pawn, int pawnColour,
                 bool strongToMove);
// The rule set with the strong side to move, on a board normalised so that the pawn moves up
// and stands on files 1..4 (a..d): files and ranks 1..8.
bool KpkStrongToMove(int pawnFile, int pawnRank, int strongFile, int strongRank, int weakFile,
                     int weakRank);
