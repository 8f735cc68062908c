// King safety: each king against the enemy men bearing on the squares around it, the pawns
// that shield it and the open lines that lead to it, plus the king-placement corrections of the
// root preparation and a few structural king terms. Unweighted; the driver applies "King Safety".
#pragma once

#include <cstdint>

#include "board/position.h"
#include "eval/pawns.h"

// The king zone of a square as White sees it: the king's neighbours and the three squares two
// ranks ahead, 0-terminated. Black's zone is the mirror (see SideView).
const uint8_t* king_zone(Square s);
// The square in front of a white king on s (0 on the last rank); Black's is the mirror.
inline Square king_shelter_square(Square s) { return s <= 56 ? s + 8 : 0; }

// The value of `colour`'s king from that side's view. `endgameForm` selects the endgame form
// (endgame phase or a capture sequence that made the root an ending). May set ply.evalAlert.
int32_t KingSafety(const Position& pos, PlyState& ply, int colour, const PawnEntry& pawns,
                   bool endgameForm);

// White's king minus Black's, the king-placement tables, and the structural king terms, from
// White's view and before the "King Safety" weight. `bySide`, when given, receives each side's
// part from its own view.
int32_t KingSafetySum(const Position& pos, PlyState& ply, const PawnEntry& pawns, uint32_t phase,
                      bool endingIndicator, int32_t* bySide = nullptr);
