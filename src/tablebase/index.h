// Position indices of the tables. A table holds the positions of one class with one side to
// move, seen with the first-named side moving up the board. Squares of the non-king pieces run
// over all 64 squares; the back ranks, where no pawn can stand, encode the pawn that has just
// made a double step when an en-passant capture is possible: a first-side pawn on its first rank,
// a second-side pawn on the eighth. The king pair uses the board's symmetries: all eight for
// pawnless classes (462 king pairs), the left-right mirror for classes with pawns (32 x 64).
#pragma once

#include <cstdint>

#include "tablebase/class.h"

namespace tb {

// `squares`: first side's king, its pieces in class order, second side's king, its pieces, all in
// the table's orientation; `ep` the en-passant target square or NoEnPassant. NoIndex when the
// placement is not in the table (kings adjacent or on one square, a pawn on a back rank).
uint64_t tb_index(const TbClass& cls, int side, const int* squares, int ep);

// The inverse for a table generator: the placement an index stands for. False when the index
// is not the canonical index of a well-formed placement (overlapping men, adjacent kings, pawns
// on back ranks, an en-passant pawn that could not have just moved, or a symmetric twin).
// Whether the side not to move is in check is left to the caller.
bool tb_decode(const TbClass& cls, int side, uint64_t index, int* squares, int& ep);

// Table size in entries of one side of a class with these men.
uint64_t tb_table_size(int men, bool hasPawns);

// The index functions stored in the catalogue.
uint64_t index_first_to_move(const TbClass& cls, const int* strong, const int* weak, int ep,
                             bool inverted);
uint64_t index_second_to_move(const TbClass& cls, const int* strong, const int* weak, int ep,
                              bool inverted);

}  // namespace tb
