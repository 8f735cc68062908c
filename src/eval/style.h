// Style terms: small corrections for formations that the root preparation recognised (its
// structure flags), added outside endgames. White's view.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "eval/pawns.h"

// Adds to the pawn-structure sum (h-file attack against the stonewall king, missing b- and
// c-pawns) and to the material sum (pawnless rim file). May set ply.evalAlert.
void StyleTerms(const Position& pos, PlyState& ply, const PawnEntry& pawns, uint32_t structureFlags,
                int engineColour, int32_t& pawnSum, int32_t& materialSum);
