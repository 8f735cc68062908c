// One endgame class: the men of each side and how its tables are laid out and indexed.
#pragma once

#include <cstdint>

namespace tb {

constexpr int ClassCount = 441;
constexpr int MaxClassPieces = 4;   // non-king pieces of a whole class (six men)
constexpr int MaxMen = MaxClassPieces + 2;

enum ClassFlag : uint8_t {
  SymmetricClass = 1,  // the same material on both sides: only the first side's table exists
  WideEntries = 2,     // 16-bit entries instead of 8-bit
  SplitFiles = 4,      // the table is stored in parts of 2 GB
};

// Piece types as the probe counts them: 1 pawn, 2 knight, 3 bishop, 4 rook, 5 queen.
enum TbPiece : uint8_t { TbPawn = 1, TbKnight, TbBishop, TbRook, TbQueen };

struct TbClass;

// Index of a position inside one table side of a class. `strong` and `weak` are the square lists
// of the first- and second-named side (slot 0 the king, slots 4t..4t+3 the pieces of type t),
// `ep` the en-passant target or 127, `inverted` when the first-named side is Black, so that
// every square is mirrored top to bottom. Returns NoIndex for positions outside the table.
using IndexFunction = uint64_t (*)(const TbClass& cls, const int* strong, const int* weak, int ep,
                                   bool inverted);
constexpr uint64_t NoIndex = ~uint64_t(0);
constexpr int NoEnPassant = 127;

struct TbClass {
  uint8_t flags;
  char name[12];
  // Pieces besides the king of each side, strongest first (the order of the name), and counts.
  uint8_t pieces[2][MaxClassPieces];
  uint8_t pieceCount[2];
  uint8_t men;           // kings included
  bool hasPawns;
  uint64_t size;         // entries of each table side
  IndexFunction index[2];  // first-named side to move, second-named side to move
};

}  // namespace tb
