// Incremental attack-table updates. A man attacks the squares it could capture on: pawns the
// two forward diagonals, sliders along each ray up to and including the first occupied square.
// Every update walks precomputed lists; nothing is recomputed from the board.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "board/position.h"
#include "board/tables.h"

// Leaper kind by piece code (king, knight, white pawn, black pawn); -1 for sliders and gaps.
constexpr int LeaperKindOf[16] = {-1, LeaperKing, LeaperWhitePawn, LeaperKnight, -1, -1, -1, -1,
                                  -1, LeaperKing, LeaperBlackPawn, LeaperKnight, -1, -1, -1, -1};

inline void attack_append(AttackEntry& e, uint8_t s, int slider) {
  e.squares[e.count++] = s;
  e.sliders += slider;
}

// The square is always listed. Its first occurrence is the one taken out (stale bytes past
// `count` never come before it), so the vector search and the loop agree.
inline int attack_slot_of(const AttackEntry& e, uint8_t s) {
#if defined(__SSE2__)
  const __m128i listed = _mm_loadu_si128(reinterpret_cast<const __m128i*>(e.squares));
  const int hits = _mm_movemask_epi8(_mm_cmpeq_epi8(listed, _mm_set1_epi8(char(s))));
  return __builtin_ctz(unsigned(hits));
#else
  int i = 0;
  while (e.squares[i] != s) ++i;
  return i;
#endif
}

inline void attack_erase(AttackEntry& e, uint8_t s, int slider) {
  e.squares[attack_slot_of(e, s)] = e.squares[--e.count];
  e.sliders -= slider;
}

// Slider kind (queen 0, rook 1, bishop 2) of a slider's piece code.
inline int slider_kind(int piece) { return 7 - piece_type(piece); }

// Calls update(flat index of the attacked square's entry, slider) for every square that
// `piece` standing on `s` attacks, walking the precomputed lists over the board's occupancy.
// Flat index: colour * SquareCount + square, into &pos.attacks[0][0].
template <class Update>
inline void for_each_attacked(Position& pos, int piece, Square s, Update update) {
  const int base = colour_of(piece) * SquareCount;
  if (is_slider(piece)) {
    const int kind = slider_kind(piece);
    const uint8_t* next = SliderNext[kind][s];
    const uint8_t* skip = SliderSkip[kind][s];
    for (Square t = next[s]; t; t = pos.board[t] ? skip[t] : next[t]) update(base + t, 1);
  } else {
    for (const uint8_t* t = LeaperTargets[LeaperKindOf[piece]][s]; *t; ++t) update(base + *t, 0);
  }
}

// The updates below make their changes through an editor: edit.append(pos, index, square,
// slider) and edit.erase(...), so that a caller can note each change and take it back later
// (make_move's undo log). PlainEdit changes the entries and keeps nothing.
struct PlainEdit {
  void append(Position& pos, int index, uint8_t s, int slider) {
    attack_append((&pos.attacks[0][0])[index], s, slider);
  }
  void erase(Position& pos, int index, uint8_t s, int slider) {
    attack_erase((&pos.attacks[0][0])[index], s, slider);
  }
};

// Adds the attacks of `piece` standing on `s`.
template <class Edit>
inline void add_attacks(Position& pos, int piece, Square s, Edit& edit) {
  for_each_attacked(pos, piece, s,
                    [&pos, s, &edit](int index, int slider) { edit.append(pos, index, uint8_t(s), slider); });
}
inline void add_attacks(Position& pos, int piece, Square s) {
  PlainEdit plain;
  add_attacks(pos, piece, s, plain);
}

// Removes them again; the board must show the same occupancy along the piece's rays.
template <class Edit>
inline void remove_attacks(Position& pos, int piece, Square s, Edit& edit) {
  for_each_attacked(pos, piece, s,
                    [&pos, s, &edit](int index, int slider) { edit.erase(pos, index, uint8_t(s), slider); });
}

// Calls update(flat entry index, slider square) for the squares beyond x that each slider
// attacking x sees once x is empty, up to and including the next occupied square.
template <class Update>
inline void for_each_line_through(Position& pos, Square x, Update update) {
  for (int c = 0; c < 2; ++c) {
    const AttackEntry& e = pos.attacks[c][x];
    if (!e.sliders) continue;
    const int base = c * SquareCount;
    for (int i = 0; i < e.count; ++i) {
      const Square a = e.squares[i];
      if (!is_slider(pos.board[a])) continue;
      for (const uint8_t* p = Beyond[x][a]; *p; ++p) {
        update(base + *p, a);
        if (pos.board[*p]) break;
      }
    }
  }
}

// Square x is (about to be) vacated: sliders that attack x now see past it, up to and
// including the next occupied square.
template <class Edit>
inline void open_lines(Position& pos, Square x, Edit& edit) {
  for_each_line_through(pos, x, [&pos, &edit](int index, Square a) { edit.append(pos, index, uint8_t(a), 1); });
}

// Square x has just been occupied: sliders that attack x no longer see past it.
template <class Edit>
inline void close_lines(Position& pos, Square x, Edit& edit) {
  for_each_line_through(pos, x, [&pos, &edit](int index, Square a) { edit.erase(pos, index, uint8_t(a), 1); });
}
