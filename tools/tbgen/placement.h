// A small board for endgame generation: up to six men in the order of their class, with the
// moves forward and the moves taken back ("unmoves") that retrograde analysis needs.
#pragma once

#include <cstdint>

#include "tablebase/catalogue.h"

namespace tbgen {

constexpr uint8_t King = 6;  // besides the probe's piece types 1 (pawn) .. 5 (queen)
constexpr int Gone = -1;     // square of a captured man

struct Placement {
  int men;
  int square[tb::MaxMen];
  uint8_t type[tb::MaxMen];
  uint8_t colour[tb::MaxMen];  // 0 the first-named side (White, moving up), 1 the other
  int kingOf[2];               // man index of each king
  int side;                    // to move
  int ep;                      // en-passant target, or tb::NoEnPassant

  uint64_t occupied() const;
  bool in_check(int colour) const;
  bool attacked(int target, int byColour) const;
};

// The men of a class in its index order, squares unset.
Placement placement_of_class(const tb::TbClass& cls);

// What a move leads to. Moves that capture or promote leave the class: `leaves` is set and
// the caller looks the result up in a smaller table.
struct MoveResult {
  Placement next;
  bool leaves;
};

// All legal moves of the side to move. Returns the count; `out` holds up to 256.
int legal_moves(const Placement& p, MoveResult* out);

// Positions in the class, with the other side to move, from which a legal non-capturing,
// non-promoting move leads to `p`. Returns the count; `out` holds up to 512.
int unmoves(const Placement& p, Placement* out);

// Square lists and counters in the probe's layout (a1 = 0; king in slot 0, type t in 4t..4t+3).
void probe_lists(const Placement& p, int lists[2][24], int counts[2][6]);

}  // namespace tbgen
