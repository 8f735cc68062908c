// Shared set-up of the evaluation suites: a Position with its evaluation tables, prepared for
// a root, and its colour-flipped mirror.
#pragma once

#include <cstdint>
#include <memory>

#include "board/position.h"

// A Position whose per-thread evaluation tables are allocated (freed with the Position).
struct EvalPosition {
  std::unique_ptr<Position> pos;
  EvalPosition();
  ~EvalPosition();
  Position& operator*() { return *pos; }
  Position* operator->() { return pos.get(); }
  PlyState& root() { return pos->plies[0]; }
};

// Default options, an evaluation cache, and the start-up tables.
void reset_eval_environment();

// Sets the position from a FEN and runs the root preparation and the root score for it.
void prepare_fen(EvalPosition& p, const char* fen);

// Sets `p` to the board and state of `src` at `ply` as a new root (prepared), or to its colour
// mirror: board upside down, colours swapped, side to move, castling and en passant mirrored.
void prepare_copy(EvalPosition& p, const Position& src, const PlyState& ply, bool mirrored);

// Full-window evaluation of the root with fresh learned bounds.
int32_t evaluate_root(EvalPosition& p);

// True when the material signatures can describe the men on the board: at most three bishops
// of each square colour and at most three knights, rooks and queens per side (promotions can
// exceed this, and the signature then miscounts).
bool signature_is_exact(const Position& pos);
