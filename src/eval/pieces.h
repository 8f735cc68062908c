// Piece terms of the cheap part: the per-man loop over both colour lists (dynamic passed-pawn
// values and the other pawn terms, knights, bishops, rooks, queens) and the bishop colour and
// bishop pair terms. All White's view.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "eval/pawns.h"

struct PieceTermSums {
  int32_t pawnSum;     // per-pawn terms and the pawn entry's rook bonuses (pawn-structure sum)
  int32_t pieceSum;    // knights, bishops, rooks and queens
  int unstoppable[2];  // passed pawns the enemy king can no longer catch, per colour
};

// `endgameForm`: an endgame phase flag is set or captures since the root made it an ending.
void PieceTerms(const Position& pos, const PlyState& ply, const PawnEntry& pawns, bool endgameForm,
                PieceTermSums& out);

// The terms of the one man on s from its owner's view (a rook's share of the queen sum
// included), as the loop above counts them; 0 for kings and empty squares.
int32_t PieceValue(const Position& pos, const PlyState& ply, const PawnEntry& pawns, bool endgameForm,
                   Square s);

struct BishopTermSums {
  int32_t colourSum;  // bishops against own pawns on their colour, against enemy passers
  int32_t pairSum;    // the pawn entry's bishop-pair bonuses (pawn-structure sum)
};
BishopTermSums BishopTerms(const Position& pos, const PlyState& ply, const PawnEntry& pawns);
