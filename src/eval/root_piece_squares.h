// The piece-square tables of the root: the base tables of the game stage, single entries
// adjusted for the formation on the board, the option weights folded in, and the correction
// tables for when the game changes character during the search (king and pawn entries of
// another stage).
#pragma once

#include <cstdint>

#include "board/position.h"
#include "eval/root_census.h"

inline int32_t* white_entries(int type) { return PieceSquareTable[type]; }
inline int32_t* black_entries(int type) { return PieceSquareTable[type | BlackBit]; }

// Base tables by game stage. Returns, per colour, whether the king took KingTableActive.
void fill_base_tables(const Census& c, uint32_t phase, bool activeKing[2]);
// Adjustments of single entries for the formation on the board.
void adjust_for_formation(const Position& pos, const PlyState& root, const Census& c,
                          uint32_t phase, const bool activeKing[2]);
// The material weights of the options, added to every entry of the piece.
void apply_piece_weights(bool endgameLike);
// RootEval's king and late pawn tables: the differences the evaluation adds when the game
// changes character during the search.
void fill_switch_tables(bool endgameLike, const bool activeKing[2]);
