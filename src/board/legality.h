// Legality checks that the protocol layer needs for moves it receives as text.
#pragma once

#include "board/position.h"

// `pos` must be set up (setup_root_ply) for the position in which `m` is to be played.
// Returns the generated move equal to `m` (same from, to and promotion) when it is legal
// there, else 0. The Position is left unchanged.
Move find_legal_move(Position& pos, Move m);

// True when the side not to move is in check (a position that cannot arise in a game).
bool opponent_in_check(const Position& pos);
