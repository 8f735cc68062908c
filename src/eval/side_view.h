// One side's view of the board for the terms that are written once for White and applied to
// Black by symmetry: squares, ranks and pawn facts are turned so that the side always plays up
// the board, while board contents and attack tables are still read at the real squares.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "eval/pawns.h"
#include "eval/square_names.h"

template <int Us>
struct SideView {
  static constexpr int Them = Us ^ 1;

  // The square seen from this side (an involution: it also turns a seen square back into the
  // real one).
  static constexpr Square rel(Square s) { return Us == White ? s : flip_square(s); }
  static constexpr int rank(Square s) { return rank_of(rel(s)); }
  static constexpr int own(int type) { return with_colour(type, Us); }
  static constexpr int enemy(int type) { return with_colour(type, Them); }
  // A real square set turned into this side's view (and back).
  static constexpr uint64_t bits(uint64_t b) { return Us == White ? b : __builtin_bswap64(b); }

  static bool owns(int piece) { return piece != Empty && colour_of(piece) == Us; }
  static bool enemy_owns(int piece) { return piece != Empty && colour_of(piece) == Them; }

  // Pawn-entry facts of each side; ranks as this side counts them.
  static int own_pawns(const PawnEntry& e, int file) {
    return Us == White ? e.whitePawnsOnFile[file] : e.blackPawnsOnFile[file];
  }
  static int enemy_pawns(const PawnEntry& e, int file) {
    return Us == White ? e.blackPawnsOnFile[file] : e.whitePawnsOnFile[file];
  }
  // Rank of the own rearmost pawn of a file, 9 without one.
  static int own_rear_rank(const PawnEntry& e, int file) {
    return Us == White ? e.whiteRearRank[file] : 9 - e.blackRearRank[file];
  }
  // Rank of the enemy's rearmost (least advanced) pawn of a file, 0 without one.
  static int enemy_rear_rank(const PawnEntry& e, int file) {
    return Us == White ? e.blackRearRank[file] : 9 - e.whiteRearRank[file];
  }
  static uint64_t own_span(const PawnEntry& e) { return Us == White ? e.whiteSpan : e.blackSpan; }
  static uint64_t enemy_span(const PawnEntry& e) { return Us == White ? e.blackSpan : e.whiteSpan; }
  static uint64_t own_passed(const PawnEntry& e) { return Us == White ? e.whitePassed : e.blackPassed; }
  static uint64_t own_weak(const PawnEntry& e) { return Us == White ? e.whiteWeak : e.blackWeak; }
  static uint64_t own_outposts(const PawnEntry& e) {
    return Us == White ? e.whiteOutposts : e.blackOutposts;
  }
};

// Chebyshev distance of two squares.
inline int square_distance(Square a, Square b) {
  const int df = file_of(a) > file_of(b) ? file_of(a) - file_of(b) : file_of(b) - file_of(a);
  const int dr = rank_of(a) > rank_of(b) ? rank_of(a) - rank_of(b) : rank_of(b) - rank_of(a);
  return df > dr ? df : dr;
}
inline int file_distance(Square a, Square b) {
  return file_of(a) > file_of(b) ? file_of(a) - file_of(b) : file_of(b) - file_of(a);
}
inline int rank_distance(Square a, Square b) {
  return rank_of(a) > rank_of(b) ? rank_of(a) - rank_of(b) : rank_of(b) - rank_of(a);
}

// Wing of a file for the piece terms: 0 queen side (a-c), 1 centre (d-e), 2 king side (f-h).
inline int wing_of(Square s) {
  const int f = file_of(s);
  return f <= 3 ? 0 : f <= 5 ? 1 : 2;
}

// Calls fn(square) for every man of piece code `code` on the board.
template <typename Fn>
inline void for_each_piece(const Position& pos, int code, Fn&& fn) {
  const TypeList& list = pos.typeList[code];
  for (int i = 0; i < list.count; ++i) {
    const uint8_t s = pos.slotSquare[list.slot[i]];
    if (s != CapturedMark && pos.board[s] == code) fn(Square(s));
  }
}

// The first man of piece code `code` in its type list, 0 when there is none.
inline Square first_man(const Position& pos, int code) {
  Square first = 0;
  for_each_piece(pos, code, [&](Square s) {
    if (!first) first = s;
  });
  return first;
}
