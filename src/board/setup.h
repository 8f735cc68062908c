// Building a Position from a board, and the search's set-up of the root ply.
#pragma once

#include "board/game.h"
#include "board/position.h"

// Clears a Position (all fields, search fields included) and sets its thread index.
void init_position(Position& pos, int threadIndex);

// From the board alone: piece counts, colour lists, square slots, per-type lists and the slot
// piece codes. The board must hold exactly one king per colour.
void build_piece_lists(Position& pos);
// Clears both attack tables and adds the attacks of every man.
void build_attack_tables(Position& pos);

// Copies a 65-byte board into the Position and rebuilds lists and attack tables.
void load_board(Position& pos, const uint8_t* board);

// Sums over a colour list from slot 1 (the king is not counted).
int32_t sum_material(const Position& pos, int colour);
int32_t sum_phase(const Position& pos, int colour);
int32_t sum_signature(const Position& pos, int colour);

void clear_history(Position& pos);

// Sum of PieceSquareTable entries over a colour's men (king included).
int32_t piece_square_sum(const Position& pos, int colour);
// The piece-square score of the root from `side`'s view: own sum minus the opponent's, plus
// PieceSquareOffset signed for the side.
int32_t piece_square_score(const Position& pos, int side);

// Fills ply 0 (and presets side and ply of every record) for a search from `state`: keys,
// sums, flags with the in-check bit read from the attack tables, empty move lists. The
// repetition stack receives `historyKeys` (oldest first, the root's own key last); with none
// given it holds just the root key.
void setup_root_ply(Position& pos, const GameState& state, const uint32_t* historyKeys = nullptr,
                    int historyCount = 0);

// The search set-up from the global game: loads GameBoard into the Position and fills ply 0
// from the current game entry, with the game's keys since its last irreversible move (at most
// 100 back) as the repetition window.
void setup_root_from_game(Position& pos);

// Convenience for tools and tests: FEN text to a ready Position (lists, attacks, ply 0).
// False when the FEN is rejected.
bool set_position_from_fen(Position& pos, const char* fen);
