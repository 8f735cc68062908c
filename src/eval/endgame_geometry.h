// Small helpers shared by the endgame files: king distances, the men of one side and the pawn
// geometry seen from either side. Only the endgame code includes this header.
#pragma once

#include <cstdlib>

#include "board/position.h"
#include "eval/pawns.h"
#include "eval/square_names.h"

constexpr int KnightType = 3, BishopType = 5, RookType = 6, QueenType = 7;

// Chebyshev distance: the number of king moves between two squares.
inline int distance(Square a, Square b) {
  const int df = std::abs(file_of(a) - file_of(b)), dr = std::abs(rank_of(a) - rank_of(b));
  return df > dr ? df : dr;
}

// 1 for the a- and b-files, 3 for the g- and h-files, 0 in between.
inline int wing(Square s) {
  const int f = file_of(s);
  return f <= 2 ? 1 : f >= 7 ? 3 : 0;
}

// The pieces of one side: counts, bishop colours and the square of one of each kind.
struct SideMen {
  int knights = 0, bishops = 0, rooks = 0, queens = 0;
  bool lightBishop = false, darkBishop = false;
  Square knightSquare = NoSquare, bishopSquare = NoSquare, rookSquare = NoSquare,
         queenSquare = NoSquare;

  SideMen(const Position& pos, int colour) {
    const int base = colour << 3;
    knights = pos.pieceCount[base | KnightType];
    bishops = pos.pieceCount[base | BishopType];
    rooks = pos.pieceCount[base | RookType];
    queens = pos.pieceCount[base | QueenType];
    knightSquare = first(pos, base | KnightType);
    rookSquare = first(pos, base | RookType);
    queenSquare = first(pos, base | QueenType);
    const TypeList& list = pos.typeList[base | BishopType];
    for (int i = 0; i < list.count; ++i) {
      const uint8_t s = pos.slotSquare[list.slot[i]];
      if (s == CapturedMark) continue;
      bishopSquare = s;
      (is_dark_square(s) ? darkBishop : lightBishop) = true;
    }
  }

  static Square first(const Position& pos, int code) {
    const TypeList& list = pos.typeList[code];
    for (int i = 0; i < list.count; ++i) {
      const uint8_t s = pos.slotSquare[list.slot[i]];
      if (s != CapturedMark) return s;
    }
    return NoSquare;
  }
};

// The position as the rules of one stronger side (the attacker) see it. Ranks called relative
// count from the named side's first rank.
struct EndingSides {
  const Position& pos;
  const PlyState& ply;
  const PawnEntry& pawns;
  int attacker, defender;
  SideMen men[2];

  EndingSides(const Position& p, const PlyState& pl, const PawnEntry& pe, int strong)
      : pos(p), ply(pl), pawns(pe), attacker(strong), defender(strong ^ 1),
        men{SideMen(p, White), SideMen(p, Black)} {}

  Square king(int colour) const { return king_square(pos, colour); }
  bool to_move(int colour) const { return ply.side == colour; }
  static int relative_rank(Square s, int colour) {
    return colour == White ? rank_of(s) : 9 - rank_of(s);
  }
  int pawn_count(int colour) const {
    return colour == White ? pawns.whitePawnCount : pawns.blackPawnCount;
  }
  int pawns_on_file(int colour, int file) const {
    return colour == White ? pawns.whitePawnsOnFile[file] : pawns.blackPawnsOnFile[file];
  }
  bool has_pawn_on_file(int colour, int file) const { return pawns_on_file(colour, file) != 0; }
  // Relative rank of the colour's rearmost pawn on the file (9 when none, as seen by White).
  int rear_rank(int file, int colour) const {
    if (colour == White) return pawns.whiteRearRank[file];
    return pawns.blackPawnsOnFile[file] ? 9 - pawns.blackRearRank[file] : 9;
  }
  // A king stands in front of an enemy pawn when one of the enemy's pawns is on its file
  // behind it (from the pawn's side).
  bool king_in_front(Square kingSquare, int pawnColour) const {
    const int f = file_of(kingSquare);
    return has_pawn_on_file(pawnColour, f) &&
           rear_rank(f, pawnColour) < relative_rank(kingSquare, pawnColour);
  }
  // The square of the colour's only pawn (in general: the rearmost on the first file that holds
  // one).
  Square only_pawn(int colour) const {
    for (int f = 1; f <= 8; ++f)
      if (has_pawn_on_file(colour, f))
        return colour == White ? square_at(f, pawns.whiteRearRank[f])
                               : square_at(f, pawns.blackRearRank[f]);
    return NoSquare;
  }
  static Square queening_square(Square pawn, int colour) {
    return square_at(file_of(pawn), colour == White ? 8 : 1);
  }
};
