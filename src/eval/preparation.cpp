#include "eval/preparation.h"

#include <cstddef>
#include <cstring>
#include <initializer_list>

#include "board/game.h"
#include "board/setup.h"
#include "board/zobrist.h"
#include "core/options.h"
#include "eval/base_tables.h"
#include "eval/square_names.h"

RootEvaluation RootEval;
SearchSwitchValues SearchSwitches;

namespace {

// What stands on the board at the root, counted once.
struct Census {
  int pawns[2], knights[2], bishops[2], rooks[2], queens[2];
  int pawnsOnFile[2][10];
  int lastBishopDark[2];     // square colour of the last bishop found: 1 dark, 0 light, -1 none
  int undeveloped[2];
  int kingFile[2];
  int32_t material[2];
  int32_t pieceMaterial[2];  // material without the pawns
  int pieces(int c) const { return knights[c] + bishops[c] + rooks[c] + queens[c]; }
  int majors(int c) const { return rooks[c] + queens[c]; }
  int minors(int c) const { return knights[c] + bishops[c]; }
};

inline int32_t* white_entries(int type) { return PieceSquareTable[type]; }
inline int32_t* black_entries(int type) { return PieceSquareTable[type | BlackBit]; }

inline bool holds(const Position& pos, Square s, int code) { return pos.board[s] == code; }

Census take_census(const Position& pos, const PlyState& root) {
  Census c;
  std::memset(&c, 0, sizeof c);
  for (int colour = 0; colour < 2; ++colour) {
    c.lastBishopDark[colour] = -1;
    const uint8_t* list = colour_list(pos, colour);
    for (int slot = 1; list[slot] != 0; ++slot) {
      const Square s = list[slot];
      if (s == CapturedMark) continue;
      switch (piece_type(pos.board[s])) {
        case 2: {
          ++c.pawns[colour];
          ++c.pawnsOnFile[colour][file_of(s)];
          break;
        }
        case 3: ++c.knights[colour]; break;
        case 5:
          ++c.bishops[colour];
          c.lastBishopDark[colour] = is_dark_square(s) ? 1 : 0;
          break;
        case 6: ++c.rooks[colour]; break;
        case 7: ++c.queens[colour]; break;
        default: break;
      }
    }
    c.kingFile[colour] = file_of(king_square(pos, colour));
    c.material[colour] = root.material[colour];
    c.pieceMaterial[colour] = root.material[colour] - 100 * c.pawns[colour];
  }
  c.undeveloped[White] = holds(pos, B1, WhiteKnight) + holds(pos, G1, WhiteKnight) +
                         holds(pos, C1, WhiteBishop) + holds(pos, F1, WhiteBishop) +
                         holds(pos, E1, WhiteKing);
  c.undeveloped[Black] = holds(pos, B8, BlackKnight) + holds(pos, G8, BlackKnight) +
                         holds(pos, C8, BlackBishop) + holds(pos, F8, BlackBishop) +
                         holds(pos, E8, BlackKing);
  return c;
}

bool census_is_endgame(const Census& c) {
  const int queens = c.queens[0] + c.queens[1];
  return is_endgame(queens, queens + c.rooks[0] + c.rooks[1], c.minors(0) + c.minors(1),
                    c.pawns[0] + c.pawns[1], c.pieceMaterial[0], c.pieceMaterial[1]);
}

uint32_t classify(const Census& c) {
  uint32_t phase;
  if (c.material[White] == 0 && c.material[Black] > 100) {
    phase = PhaseWhiteBare;
  } else if (c.material[Black] == 0 && c.material[White] > 100) {
    phase = PhaseBlackBare;
  } else if (census_is_endgame(c)) {
    phase = PhaseEndgame;
  } else if (c.undeveloped[White] != 0 && c.undeveloped[Black] != 0 &&
             c.undeveloped[White] + c.undeveloped[Black] >= 3 && c.queens[0] + c.queens[1] >= 2) {
    // Thirty moves into the game the opening is over, whatever the board looks like.
    phase = game_key_count() - 1 >= 30 ? PhaseMiddlegame : PhaseOpening;
  } else {
    phase = PhaseMiddlegame;
  }
  if (c.pieceMaterial[White] + c.pieceMaterial[Black] == 0) phase |= PhasePawnsOnly;
  return phase;
}

// Which capture sets since the root would turn the game into an ending.
void fill_ending_indicator(const Census& c, bool endgameLike) {
  if (endgameLike) {
    std::memset(RootEval.endingIndicator, 0, sizeof RootEval.endingIndicator);
    return;
  }
  for (int k = 0; k < 256; ++k) {
    int queens[2] = {c.queens[0], c.queens[1]};
    int rooks[2] = {c.rooks[0], c.rooks[1]};
    int minors[2] = {c.minors(0), c.minors(1)};
    int bishops[2] = {c.bishops[0], c.bishops[1]};
    int knights[2] = {c.knights[0], c.knights[1]};
    int32_t piece[2] = {c.pieceMaterial[0], c.pieceMaterial[1]};
    // Bits, high to low: white queen, black queen, white rook, black rook, white bishop,
    // black bishop, white knight, black knight.
    for (int bit = 7; bit >= 0; --bit) {
      if (!(k & (1 << bit))) continue;
      const int colour = (bit & 1) ? White : Black;
      switch (bit >> 1) {
        case 3: if (queens[colour]) { --queens[colour]; piece[colour] -= 1055; } break;
        case 2: if (rooks[colour]) { --rooks[colour]; piece[colour] -= 541; } break;
        case 1: if (bishops[colour]) { --bishops[colour]; --minors[colour]; piece[colour] -= 325; } break;
        case 0: if (knights[colour]) { --knights[colour]; --minors[colour]; piece[colour] -= 325; } break;
      }
    }
    const int q = queens[0] + queens[1];
    RootEval.endingIndicator[k] =
        is_endgame(q, q + rooks[0] + rooks[1], minors[0] + minors[1], c.pawns[0] + c.pawns[1],
                   piece[0], piece[1]) ? 1 : 0;
  }
}

void fill_entries(int code, const int32_t* table, bool mirrored) {
  int32_t* e = PieceSquareTable[code];
  e[0] = 0;
  for (Square s = 1; s <= 64; ++s)
    e[s] = mirrored ? diagram_value_mirrored(table, s) : diagram_value(table, s);
}

// Base tables by game stage. Returns, per colour, whether the king took KingTableActive.
void fill_base_tables(const Census& c, uint32_t phase, bool activeKing[2]) {
  std::memset(PieceSquareTable, 0, sizeof(int32_t) * 16 * SquareCount);
  const bool endgameLike = (phase & EndgameLikeMask) != 0;
  activeKing[0] = activeKing[1] = false;

  const int32_t* pawns = (phase & (PhaseOpening | PhaseMiddlegame)) ? PawnTableOpening : PawnTableEnding;
  fill_entries(WhitePawn, pawns, false);
  fill_entries(BlackPawn, pawns, true);

  if (phase & PhaseOpening) {
    fill_entries(WhiteKing, KingTableMiddle, false);
    fill_entries(BlackKing, KingTableMiddle, true);
  } else if (phase & PhaseMiddlegame) {
    for (int colour = 0; colour < 2; ++colour) {
      const int them = colour ^ 1;
      const bool attacked = c.queens[them] > 0 || c.rooks[them] + c.minors(them) >= 6;
      activeKing[colour] = !attacked;
      fill_entries(with_colour(1, colour), attacked ? KingTableMiddle : KingTableActive,
                   colour == Black);
    }
  } else if (phase & PhaseEndgame) {
    fill_entries(WhiteKing, KingTableEnding, false);
    fill_entries(BlackKing, KingTableEnding, true);
  } else if (phase & PhaseWhiteBare) {
    // Against bishop and knight the bare king is driven to a corner of the bishop's colour.
    const bool bishopKnight = c.majors(Black) == 0 && c.knights[Black] == 1 && c.bishops[Black] == 1;
    if (bishopKnight)
      fill_entries(WhiteKing, KingTableCornerDrive, c.lastBishopDark[Black] == 0);
    else
      fill_entries(WhiteKing, KingTableBare, false);
    fill_entries(BlackKing, KingTableEnding, true);
  } else {  // Black bare
    const bool bishopKnight = c.majors(White) == 0 && c.knights[White] == 1 && c.bishops[White] == 1;
    if (bishopKnight)
      fill_entries(BlackKing, KingTableCornerDrive, c.lastBishopDark[White] == 0);
    else
      fill_entries(BlackKing, KingTableBare, true);
    fill_entries(WhiteKing, KingTableEnding, false);
  }

  fill_entries(WhiteKnight, KnightTable, false);
  fill_entries(BlackKnight, KnightTable, true);
  fill_entries(WhiteBishop, BishopTable, false);
  fill_entries(BlackBishop, BishopTable, true);
  fill_entries(WhiteQueen, endgameLike ? QueenTableEnding : QueenTableMiddle, false);
  fill_entries(BlackQueen, endgameLike ? QueenTableEnding : QueenTableMiddle, true);
  if (endgameLike) {
    fill_entries(WhiteRook, RookTableEnding, false);
    fill_entries(BlackRook, RookTableEnding, true);
    // Rooks matter less on the seventh when few pawns are left to attack there.
    for (int colour = 0; colour < 2; ++colour) {
      if (c.pawns[colour ^ 1] >= 4) continue;
      int32_t* e = PieceSquareTable[with_colour(6, colour)];
      for (Square s = 1; s <= 64; ++s) e[s] /= 2;
    }
  } else {
    fill_entries(WhiteRook, RookTableMiddle, false);
    fill_entries(BlackRook, RookTableMiddle, true);
  }
}

// Adjustments of single entries for the formation on the board.
void adjust_for_formation(const Position& pos, const PlyState& root, const Census& c,
                          uint32_t phase, const bool activeKing[2]) {
  const bool endgameLike = (phase & EndgameLikeMask) != 0;
  int32_t* wK = white_entries(1);
  int32_t* bK = black_entries(1);
  int32_t* wP = white_entries(2);
  int32_t* bP = black_entries(2);
  int32_t* wN = white_entries(3);
  int32_t* bN = black_entries(3);
  int32_t* wB = white_entries(5);
  int32_t* bB = black_entries(5);
  int32_t* wR = white_entries(6);
  int32_t* bR = black_entries(6);
  int32_t* wQ = white_entries(7);
  int32_t* bQ = black_entries(7);
  auto at = [&](Square s, int code) { return holds(pos, s, code); };
  const Square wKing = king_square(pos, White);
  const Square bKing = king_square(pos, Black);

  if (phase & PhaseOpening) {
    // Castling rights still open make the castled squares attractive; undeveloped pieces
    // should come out before the queen does.
    if (root.flags & CastleWhiteShort) wK[G1] += 8;
    if (root.flags & CastleWhiteLong) wK[C1] += 6;
    if (root.flags & CastleBlackShort) bK[G8] += 8;
    if (root.flags & CastleBlackLong) bK[C8] += 6;
    if (c.undeveloped[White]) wQ[D1] += 15;
    if (c.undeveloped[Black]) bQ[D8] += 15;
    wB[C1] -= 15; wB[F1] -= 15; bB[C8] -= 15; bB[F8] -= 15;
    wN[B1] -= 18; wN[G1] -= 18; bN[B8] -= 18; bN[G8] -= 18;
    if (c.undeveloped[White]) { wN[B5] -= 10; wN[G5] -= 10; }
    if (c.undeveloped[Black]) { bN[B4] -= 10; bN[G4] -= 10; }
  } else if (phase & PhaseMiddlegame) {
    // A castled king behind intact pawns should stay put.
    if (!activeKing[White]) {
      if (wKing == G1 && at(F2, WhitePawn) && (at(G2, WhitePawn) || at(G3, WhitePawn))) {
        wK[G1] += 6; wK[H1] -= 6; wK[H2] -= 6;
      }
      if (wKing == B1 && at(C2, WhitePawn) && (at(B2, WhitePawn) || at(B3, WhitePawn))) {
        wK[B1] += 6; wK[A1] -= 6; wK[A2] -= 6;
      }
    }
    if (!activeKing[Black]) {
      if (bKing == G8 && at(F7, BlackPawn) && (at(G7, BlackPawn) || at(G6, BlackPawn))) {
        bK[G8] += 6; bK[H8] -= 6; bK[H7] -= 6;
      }
      if (bKing == B8 && at(C7, BlackPawn) && (at(B7, BlackPawn) || at(B6, BlackPawn))) {
        bK[B8] += 6; bK[A8] -= 6; bK[A7] -= 6;
      }
    }
    // A bishop still at home after the king has left is late.
    if (wKing != E1) {
      if (at(C1, WhiteBishop)) wB[C1] -= 15;
      if (at(F1, WhiteBishop)) wB[F1] -= 15;
    }
    if (bKing != E8) {
      if (at(C8, BlackBishop)) bB[C8] -= 15;
      if (at(F8, BlackBishop)) bB[F8] -= 15;
    }
  }

  // With d4 against d5, a pawn advanced to c5 (c4) against c6/c7 (c3/c2) gives up the fight
  // for the centre.
  if (!endgameLike && at(D4, WhitePawn) && at(D5, BlackPawn)) {
    if (at(C4, WhitePawn) && (at(C7, BlackPawn) || at(C6, BlackPawn))) wP[C5] -= 25;
    if (at(C5, BlackPawn) && (at(C2, WhitePawn) || at(C3, WhitePawn))) bP[C4] -= 25;
  }

  // The queen on b6 (b3) is exposed to a pawn attack from c5 (c4) with b7 (b2) still defended.
  if (at(B7, BlackPawn) && at(C5, BlackPawn)) bQ[B6] -= 10;
  if (at(B2, WhitePawn) && at(C4, WhitePawn)) wQ[B3] -= 10;
  for (Square s = 1; s <= 64; ++s) { wB[s] += 4; bB[s] += 4; }

  // Fianchetto: with the g-pawn moved and the king on the king side, the long diagonal counts.
  if (!endgameLike) {
    if (!at(G2, WhitePawn) && c.kingFile[White] >= 5) {
      const bool homeBishop = at(F1, WhiteBishop);
      for (Square s = 1; s <= 64; ++s)
        if (!is_dark_square(s)) wB[s] += homeBishop ? 4 : 8;
      wB[G2] += homeBishop ? 20 : 4;
    }
    if (!at(G7, BlackPawn) && c.kingFile[Black] >= 5) {
      const bool homeBishop = at(F8, BlackBishop);
      for (Square s = 1; s <= 64; ++s)
        if (is_dark_square(s)) bB[s] += homeBishop ? 4 : 8;
      bB[G7] += homeBishop ? 20 : 4;
    }
  }

  // A fianchettoed bishop biting on a pawn chain.
  if (at(C3, WhitePawn) && at(C4, BlackPawn)) wB[B2] -= 12;
  if (at(F3, WhitePawn) && at(F4, BlackPawn)) wB[G2] -= 10;
  if (at(C6, BlackPawn) && at(C5, WhitePawn)) bB[B7] -= 12;
  if (at(F6, BlackPawn) && at(F5, WhitePawn)) bB[G7] -= 10;

  // A rook on the sixth (third) rank gains nothing when the pawns there are defended.
  if (at(B6, BlackPawn)) {
    if (at(A7, BlackPawn)) wR[A6] = 0;
    if (at(A5, BlackPawn)) wR[A6] = -10;
  }
  if (at(G6, BlackPawn)) {
    if (at(H7, BlackPawn)) wR[H6] = 0;
    if (at(H5, BlackPawn)) wR[H6] = -10;
  }
  for (int f = 2; f <= 7; ++f) {
    const Square x6 = square_at(f, 6);
    if (at(x6 + 8, BlackPawn) && at(x6 - 1, BlackPawn) && at(x6 + 1, BlackPawn)) wR[x6] = 0;
  }
  if (at(B3, WhitePawn)) {
    if (at(A2, WhitePawn)) bR[A3] = 0;
    if (at(A4, WhitePawn)) bR[A3] = -10;
  }
  if (at(G3, WhitePawn)) {
    if (at(H2, WhitePawn)) bR[H3] = 0;
    if (at(H4, WhitePawn)) bR[H3] = -10;
  }
  for (int f = 2; f <= 7; ++f) {
    const Square x3 = square_at(f, 3);
    if (at(x3 - 8, WhitePawn) && at(x3 - 1, WhitePawn) && at(x3 + 1, WhitePawn)) bR[x3] = 0;
  }

  // Rooks hemmed in beside the castled king.
  if (!endgameLike) {
    if (wKing == G1 || wKing == F1) { wR[H1] -= 20; wR[G1] -= 20; wR[H2] -= 8; }
    if (wKing == B1 || wKing == C1) { wR[A1] -= 20; wR[B1] -= 20; wR[A2] -= 8; }
    if (bKing == G8 || bKing == F8) { bR[H8] -= 20; bR[G8] -= 20; bR[H7] -= 8; }
    if (bKing == B8 || bKing == C8) { bR[A8] -= 20; bR[B8] -= 20; bR[A7] -= 8; }
  }
}

// Shifts that make pawns of a file want to advance (b > 0 for White: each rank up is worth b)
// or stay back.
void shift_white(int file, int b) {
  for (int r = 1; r <= 8; ++r) PieceSquareTable[WhitePawn][square_at(file, r)] += b * (r - 6);
}
void shift_black(int file, int b) {
  for (int r = 1; r <= 8; ++r) PieceSquareTable[BlackPawn][square_at(file, r)] += b * (3 - r);
}

int32_t root_pawn_score(const Position& pos) {
  int32_t sum = 0;
  for (Square s = 1; s <= 64; ++s) {
    if (pos.board[s] == WhitePawn) sum += PieceSquareTable[WhitePawn][s];
    else if (pos.board[s] == BlackPawn) sum -= PieceSquareTable[BlackPawn][s];
  }
  return sum;
}

int32_t sum_pawns(const int* p, int from, int to) {
  int32_t s = 0;
  for (int f = from; f <= to; ++f) s += p[f];
  return s;
}

// Pawn majorities, storms against the enemy king and chains: shifts of the pawn entries.
void adjust_pawn_structure(const Position& pos, const Census& c, uint32_t phase) {
  const int* wp = c.pawnsOnFile[White];
  const int* bp = c.pawnsOnFile[Black];
  auto at = [&](Square s, int code) { return holds(pos, s, code); };
  if (phase & (PhaseWhiteBare | PhaseBlackBare)) return;
  if (phase & PhaseEndgame) {
    // Majorities: inside each group of files separated by pawnless files, the side with more
    // pawns wants them advanced and the other side wants its own kept back.
    bool anyMajority = false;
    int f = 1;
    while (f <= 8) {
      if (wp[f] + bp[f] == 0) { ++f; continue; }
      int last = f;
      while (last + 1 <= 8 && wp[last + 1] + bp[last + 1] != 0) ++last;
      if (last - f + 1 <= 4) {
        const int d = sum_pawns(wp, f, last) - sum_pawns(bp, f, last);
        if (d != 0) {
          anyMajority = true;
          const int e = d > 0 ? d + 1 : d - 1;
          for (int g = f; g <= last; ++g) { shift_white(g, e); shift_black(g, -e); }
        }
      }
      f = last + 1;
    }
    if (!anyMajority) {
      for (int wing = 0; wing < 2; ++wing) {
        const int from = wing == 0 ? 1 : 5;
        const int d = sum_pawns(wp, from, from + 3) - sum_pawns(bp, from, from + 3);
        if (d == 0) continue;
        const int e = d > 0 ? d + 1 : d - 1;
        for (int g = from; g <= from + 3; ++g) { shift_white(g, e); shift_black(g, -e); }
      }
    }
    return;
  }

  const int kfw = c.kingFile[White];
  const int kfb = c.kingFile[Black];
  // Kings on opposite wings: storm the enemy king, keep the own shelter.
  if (kfw <= 3 && kfb >= 6) {
    shift_white(1, -2); shift_white(2, -3); shift_white(3, -2);
    shift_black(1, 3); shift_black(2, 2); shift_black(3, 2);
    shift_white(6, 1); shift_white(7, 2); shift_white(8, 3);
    shift_black(6, -2); shift_black(7, -3); shift_black(8, -2);
    return;
  }
  if (kfw >= 6 && kfb <= 3) {
    shift_black(1, -2); shift_black(2, -3); shift_black(3, -2);
    shift_white(1, 3); shift_white(2, 2); shift_white(3, 2);
    shift_black(6, 1); shift_black(7, 2); shift_black(8, 3);
    shift_white(6, -2); shift_white(7, -3); shift_white(8, -2);
    return;
  }
  // The pawns in front of the own king stay home.
  if (kfw <= 3) { shift_white(1, -2); shift_white(2, -3); shift_white(3, -2); }
  else if (kfw >= 6) { shift_white(6, -1); shift_white(7, -3); shift_white(8, -2); }
  if (kfb <= 3) { shift_black(1, -2); shift_black(2, -3); shift_black(3, -2); }
  else if (kfb >= 6) { shift_black(6, -1); shift_black(7, -3); shift_black(8, -2); }

  // Queen-side majority away from the kings.
  const int dq = sum_pawns(wp, 1, 4) - sum_pawns(bp, 1, 4);
  if (dq == -1 && at(D4, WhitePawn) && at(D5, BlackPawn) && at(C6, BlackPawn) && at(B7, BlackPawn) &&
      !at(B5, WhitePawn) && kfw >= 6 && bp[5] == 0 && wp[3] == 0) {
    RootEval.StructureFlags |= StructureQueenSideWhite;
  } else if (dq == 1 && at(D5, BlackPawn) && at(D4, WhitePawn) && at(C3, WhitePawn) &&
             at(B2, WhitePawn) && !at(B4, BlackPawn) && kfb >= 6 && bp[3] == 0 && wp[5] == 0) {
    RootEval.StructureFlags |= StructureQueenSideBlack;
  } else if ((dq > 0 && kfw >= 6) || (dq < 0 && kfb >= 6)) {
    for (int f = 1; f <= 4; ++f) { shift_white(f, dq); shift_black(f, -dq); }
  }
  const int dk = sum_pawns(wp, 5, 8) - sum_pawns(bp, 5, 8);
  if ((dk > 0 && kfw <= 3) || (dk < 0 && kfb <= 3)) {
    for (int f = 5; f <= 8; ++f) { shift_white(f, dk); shift_black(f, -dk); }
  }

  // Pawn chains: the squares from which the base of a blocked chain is attacked.
  Square blocked[10] = {0};
  for (int f = 1; f <= 8; ++f) {
    for (int r = 2; r <= 6; ++r) {
      const Square s = square_at(f, r);
      if (at(s, WhitePawn) && at(s + 8, BlackPawn)) { blocked[f] = s; break; }
    }
  }
  int32_t* wP = PieceSquareTable[WhitePawn];
  int32_t* bP = PieceSquareTable[BlackPawn];
  for (int f = 1; f <= 7; ++f) {
    const Square q0 = blocked[f], q1 = blocked[f + 1];
    if (!q0 || !q1) continue;
    if (rank_of(q0) == rank_of(q1) + 1) {
      if (f > 1) { wP[q0 - 1] += 17; bP[q0 - 1] += 17; bP[q0 + 8] += 10; }
      if (f <= 6) { bP[q0 + 2] += 17; wP[q0 + 2] += 17; wP[q1] += 10; }
    } else if (rank_of(q1) == rank_of(q0) + 1) {
      if (f <= 6) { wP[q1 + 1] += 17; bP[q1 + 1] += 17; bP[q1 + 8] += 10; }
      if (f > 1) { wP[q1 - 2] += 17; bP[q1 - 2] += 17; wP[q0] += 10; }
    }
  }

  if (!Options.PreferOpen) return;
  // Prefer open positions: pawn levers that open the centre.
  auto white_lever = [&](int x, bool left, bool right) {
    const Square s2 = square_at(x, 2);
    if (!at(s2, WhitePawn)) return;
    int leverFile = 0;
    if (left && x > 1 && at(square_at(x - 1, 4), BlackPawn)) leverFile = x - 1;
    else if (right && x < 8 && at(square_at(x + 1, 4), BlackPawn)) leverFile = x + 1;
    if (!leverFile) return;
    wP[s2] -= 10; wP[square_at(x, 4)] -= 5; bP[square_at(x, 3)] += 10;
    bP[square_at(leverFile, 3)] += 10;
  };
  auto black_lever = [&](int x, bool left, bool right) {
    const Square s7 = square_at(x, 7);
    if (!at(s7, BlackPawn)) return;
    int leverFile = 0;
    if (right && x < 8 && at(square_at(x + 1, 5), WhitePawn)) leverFile = x + 1;
    else if (left && x > 1 && at(square_at(x - 1, 5), WhitePawn)) leverFile = x - 1;
    if (!leverFile) return;
    bP[s7] -= 10; bP[square_at(x, 5)] -= 5; wP[square_at(x, 6)] += 10;
    wP[square_at(leverFile, 6)] += 10;
  };
  for (int x = 3; x <= 6; ++x) white_lever(x, true, true);
  if (kfw > 5) { white_lever(1, false, true); white_lever(2, false, true); }
  else if (kfw <= 3) { white_lever(7, true, false); white_lever(8, true, false); }
  for (int x = 3; x <= 6; ++x) black_lever(x, true, true);
  if (kfb > 5) { black_lever(1, false, true); black_lever(2, false, true); }
  else if (kfb <= 3) { black_lever(7, true, false); black_lever(8, true, false); }
}

// Formations the style terms react to, seen from the engine's side.
void set_structure_flags(const Position& pos, const Census& c, uint32_t phase, int engine) {
  if (phase & EndgameLikeMask) return;
  auto at = [&](Square s, int code) { return holds(pos, s, code); };
  auto minor_on = [&](Square s, int colour) {
    return at(s, with_colour(3, colour)) || at(s, with_colour(5, colour));
  };
  const bool bit4Material = c.minors(0) + c.minors(1) >= 5 &&
                            sum_pawns(c.pawnsOnFile[White], 1, 3) + sum_pawns(c.pawnsOnFile[Black], 1, 3) >= 4;
  uint32_t& flags = RootEval.StructureFlags;
  if (engine == Black) {
    if (bit4Material && at(D4, WhitePawn) && at(F4, WhitePawn) && !at(E5, WhitePawn) &&
        at(D5, BlackPawn) && at(E6, BlackPawn) && at(F7, BlackPawn) && c.kingFile[Black] >= 5)
      flags |= StructureStonewall;
    if (c.rooks[White] >= 1 && c.queens[White] >= 1) {
      if (at(H6, BlackPawn) && at(H4, WhitePawn) && minor_on(G5, White) && c.kingFile[Black] >= 7)
        flags |= StructureHFileAttack;
      else if (at(A6, BlackPawn) && at(A4, WhitePawn) && minor_on(B5, White) && c.kingFile[Black] <= 2)
        flags |= StructureAFileAttack;
    }
  } else {
    if (bit4Material && at(D4, WhitePawn) && at(E3, WhitePawn) && at(F2, WhitePawn) &&
        at(D5, BlackPawn) && at(F5, BlackPawn) && !at(E4, BlackPawn) && c.kingFile[White] >= 5)
      flags |= StructureStonewall;
    if (c.rooks[Black] >= 1 && c.queens[Black] >= 1) {
      if (at(H3, WhitePawn) && at(H5, BlackPawn) && minor_on(G4, Black) && c.kingFile[White] >= 7)
        flags |= StructureHFileAttack;
      else if (at(A3, WhitePawn) && at(A5, BlackPawn) && minor_on(B4, Black) && c.kingFile[White] <= 2)
        flags |= StructureAFileAttack;
    }
  }
}

void adjust_for_structure_flags(const Position& pos, const Census& c, int engine) {
  const uint32_t flags = RootEval.StructureFlags;
  auto at = [&](Square s, int code) { return holds(pos, s, code); };
  int32_t* wP = white_entries(2);
  int32_t* bP = black_entries(2);
  int32_t* wB = white_entries(5);
  int32_t* bB = black_entries(5);
  int32_t* wR = white_entries(6);
  int32_t* bR = black_entries(6);
  int32_t* wQ = white_entries(7);
  int32_t* bQ = black_entries(7);
  if (flags & StructureStonewall) {
    if (engine == Black) {
      bP[C4] -= 50;
      if (c.kingFile[Black] <= 5)
        for (Square s : {F8, G8, H8, F7, G7, H7, F6, G6, H6}) black_entries(1)[s] -= 65;
      for (Square s = 1; s <= 64; ++s)
        if (!is_dark_square(s)) { wB[s] += 8; bB[s] -= 6; }
      wB[D3] += 6;
    } else {
      wP[C5] -= 50;
      if (c.kingFile[White] <= 5)
        for (Square s : {F1, G1, H1, F2, G2, H2, F3, G3, H3}) white_entries(1)[s] -= 65;
      for (Square s = 1; s <= 64; ++s)
        if (is_dark_square(s)) { bB[s] += 8; wB[s] -= 6; }
      bB[D6] += 6;
    }
  }
  if (flags & StructureQueenSideWhite) {
    if (at(B2, WhitePawn) || at(B3, WhitePawn)) {
      wQ[B3] -= 25; wP[A4] -= 12; wP[B2] -= 13; wP[B3] -= 13;
    } else if (at(B4, WhitePawn)) {
      wP[B4] -= 11;
    }
    wR[C1] -= 5;
    wQ[A4] -= 9; bQ[B6] -= 9; bQ[A5] -= 9;
    wR[B1] += 9;
    bP[C6] += 14; bP[B7] += 14;
  } else if (flags & StructureQueenSideBlack) {
    if (at(B7, BlackPawn) || at(B6, BlackPawn)) {
      bQ[B6] -= 25; bP[A5] -= 12; bP[B7] -= 13; bP[B6] -= 13;
    } else if (at(B5, BlackPawn)) {
      bP[B5] -= 11;
    }
    bR[C8] -= 5;
    bQ[A5] -= 9; wQ[B3] -= 9; wQ[A4] -= 9;
    bR[B8] += 9;
    wP[C3] += 14; wP[B2] += 14;
  }
}

void apply_piece_weights(bool endgameLike) {
  static const int types[5] = {2, 3, 5, 6, 7};
  static const int32_t values[5] = {100, 325, 325, 541, 1055};
  const int first = endgameLike ? WeightPawnEnd : WeightPawn;
  for (int i = 0; i < 5; ++i) {
    const int32_t w = Options.EvalWeights[first + i];
    if (w == 100) continue;
    const int32_t delta = (w - 100) * values[i] / 100;
    for (Square s = 1; s <= 64; ++s) {
      PieceSquareTable[types[i]][s] += delta;
      PieceSquareTable[types[i] | BlackBit][s] += delta;
    }
  }
}

void set_stage_values(bool endgameLike) {
  RootEvaluation& r = RootEval;
  r.bishopPairBonus =
      28 * Options.EvalWeights[endgameLike ? WeightBishopPairEnd : WeightBishopPair] / 100;
  r.rookSeventhKingOn7 = endgameLike ? 5 : 12;
  r.rookSeventhKingOn8 = endgameLike ? 24 : 14;
  r.knightNoSquarePenalty = endgameLike ? -45 : -30;
  r.rooksDoubledFirstRank = endgameLike ? 0 : 5;
  r.rooksDoubledSeventh = endgameLike ? 24 : 28;
  r.rooksDoubledFile = endgameLike ? 7 : 10;
  r.rooksDoubledFileHalfOpen = endgameLike ? 5 : 7;
  r.lazyMargin = 40 + Options.KnowledgeOrSpeed;

  // By the pawn's own rank 1..8.
  static const int32_t passedMid[8] = {0, 10, 14, 20, 28, 54, 77, 101};
  static const int32_t passedEnd[8] = {0, 15, 22, 32, 44, 69, 93, 117};
  static const int32_t connectedMid[8] = {0, 0, 0, 21, 53, 100, 160, 0};
  static const int32_t connectedEnd[8] = {0, 0, 0, 30, 70, 125, 175, 0};
  static const int32_t freePath[8] = {0, 0, 0, 60, 90, 130, 190, 250};
  const int32_t p = Options.EvalWeights[WeightPassedPawns];
  const int32_t pe = Options.EvalWeights[WeightPassedPawnsEnd];
  for (int rank = 1; rank <= 8; ++rank) {
    const int k = rank - 1;
    r.passedMid[rank] = passedMid[k] * p / 100;
    r.passedEnd[rank] = passedEnd[k] * pe / 100;
    r.connectedMid[rank] = connectedMid[k] * p / 100;
    r.connectedEnd[rank] = connectedEnd[k] * pe / 100;
    r.freePathMid[rank] = freePath[k] * p / 100;
    r.freePathEnd[rank] = freePath[k] * pe / 100;
  }
  r.passedMid[0] = r.passedEnd[0] = r.connectedMid[0] = r.connectedEnd[0] = 0;
  r.freePathMid[0] = r.freePathEnd[0] = 0;
}

// Differences the evaluation adds when the game changes character during the search.
void fill_switch_tables(bool endgameLike, const bool activeKing[2]) {
  RootEvaluation& r = RootEval;
  std::memset(r.kingFewPiecesTable, 0, sizeof r.kingFewPiecesTable);
  std::memset(r.kingManyPiecesTable, 0, sizeof r.kingManyPiecesTable);
  for (int colour = 0; colour < 2; ++colour) {
    const bool mirrored = colour == Black;
    const int32_t* king = PieceSquareTable[with_colour(1, colour)];
    const int32_t* pawn = PieceSquareTable[with_colour(2, colour)];
    r.kingEndingTable[colour][0] = r.pawnSquareLate[colour][0] = 0;
    for (Square s = 1; s <= 64; ++s) {
      auto base = [&](const int32_t* t) {
        return mirrored ? diagram_value_mirrored(t, s) : diagram_value(t, s);
      };
      if (!endgameLike) {
        r.kingFewPiecesTable[colour][s] = activeKing[colour] ? 0 : base(KingTableActive) - king[s];
        r.kingManyPiecesTable[colour][s] = base(KingTableAttack) - base(KingTableMiddle);
      }
      r.kingEndingTable[colour][s] = base(KingTableEnding) - king[s];
      r.pawnSquareLate[colour][s] = base(PawnTableEnding) - pawn[s];
    }
  }
}

void set_search_switches(const Census& c, const PlyState& root, uint32_t phase) {
  const bool endgameLike = (phase & EndgameLikeMask) != 0;
  SearchSwitchValues& s = SearchSwitches;
  const int pieces = c.pieces(0) + c.pieces(1);
  const int majors = c.majors(0) + c.majors(1);
  const int minors = c.minors(0) + c.minors(1);
  s.pawnEndingExtOn = pieces <= 4;
  s.zugzwangRisk = (majors == 0 && minors <= 2) || (majors == 1 && minors <= 1) ||
                   (phase & (PhaseWhiteBare | PhaseBlackBare)) != 0;
  if (!Options.StyleFlags[2]) s.multiCutOn = 0;
  else if (!endgameLike) s.multiCutOn = 1;
  else s.multiCutOn = c.pieces(0) >= 2 && c.pieces(1) >= 2 && root.phase[0] >= 6 &&
                      root.phase[1] >= 6 && c.pawns[0] + c.pawns[1] >= 7;
  const bool armed = (c.pieces(0) >= 2 || c.majors(0) >= 1) && (c.pieces(1) >= 2 || c.majors(1) >= 1);
  s.hangingPlyLimit = Options.StyleFlags[1] && armed ? 4 : 99;
  s.singularOn = Options.CombinationFlags[1] && !endgameLike;
  s.nullAllowed = 1;
  s.checkExtPlyLimit =
      (phase & PhaseEndgame) && c.queens[0] + c.queens[1] == 0 && c.rooks[0] + c.rooks[1] <= 2 ? 4 : 99;
  if (Options.ForwardPruning == 0) s.futilityOn = 0;
  else if (!endgameLike) s.futilityOn = 1;
  else s.futilityOn = (c.pieces(0) >= 3 && c.pieces(1) >= 3) ||
                      (c.queens[0] >= 1 && c.queens[1] >= 1 && c.pieces(0) >= 2 && c.pieces(1) >= 2);
}

// The root facts that switch single king-safety and queen terms. None is set: setting them
// from the root (a queenless middle game, an open file, the opening) played no stronger.
void set_term_flags() {
  RootEvaluation& r = RootEval;
  r.kingEndgameFlag = false;
  r.openFileFlag = false;
  r.queenFlag = false;
}

// The two fingerprints: each mixed value is multiplied by the next fixed random number.
struct Fingerprints {
  int serialCount = 0, secondCount = 0;
  void serial(int32_t x) {
    ++serialCount;
    RootEval.evalSerial += uint32_t(x) * table_random(serialCount);
  }
  void second(int32_t x) {
    ++secondCount;
    RootEval.secondFingerprint += uint32_t(x) * table_random(secondCount);
  }
  void both(int32_t x) { serial(x); second(x); }
};

// FNV-1a over raw table bytes: the tables hold plain integers, so equal contents hash equally.
struct ByteHash {
  uint32_t h = 2166136261u;
  void add(const void* data, size_t bytes) {
    const unsigned char* b = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < bytes; ++i) h = (h ^ b[i]) * 16777619u;
  }
  template <typename T> void add(const T& value) { add(&value, sizeof value); }
};

uint32_t pawn_terms_fingerprint(const RootEvaluation& r) {
  ByteHash f;
  f.add(r.PhaseFlags);
  f.add(r.engineColour);
  f.add(Options.PreferOpen);
  f.add(r.passedMid);
  f.add(r.passedEnd);
  f.add(r.connectedMid);
  f.add(r.connectedEnd);
  f.add(r.pawnSquareLate);
  return f.h;
}

}  // namespace

bool is_endgame(int queens, int majors, int minors, int pawns, int32_t whitePieceMaterial,
                int32_t blackPieceMaterial) {
  if (queens >= 2 && majors >= 4) return false;
  if (whitePieceMaterial + blackPieceMaterial <= 2976) return true;
  if (majors + minors <= 5 && pawns <= 10) return true;
  if (majors <= 2 && minors <= 4 && pawns <= 8) return true;
  if (queens <= 1) {
    if ((majors + minors <= 6 && majors <= 2) || (majors + minors <= 7 && pawns <= 10)) return true;
  }
  if (queens == 0) {
    if (majors + minors <= 7 || (majors + minors <= 8 && pawns <= 10) || (majors <= 3 && minors <= 5))
      return true;
  }
  return majors + minors <= 3;
}

void prepare_root_evaluation(Position& pos, PlyState& root) {
  RootEvaluation& r = RootEval;
  const Census c = take_census(pos, root);
  const int engine = root.side;
  r.engineColour = engine;
  r.StructureFlags = 0;
  r.evalSerial = r.secondFingerprint = 0;
  Fingerprints mix;

  // Pawn limits of the bishop-pair bonus: it grows when pawns come off a crowded board.
  if (c.pawns[White] > 5 && c.pawns[Black] > 5) {
    r.pawnLimitWhite = c.pawns[White];
    r.pawnLimitBlack = c.pawns[Black];
  } else {
    r.pawnLimitWhite = r.pawnLimitBlack = -1;
  }
  const int32_t limitFactor =
      (c.bishops[White] > 1 || c.bishops[Black] > 1) && c.pawns[White] > 5 && c.pawns[Black] > 5;
  mix.second(r.pawnLimitWhite * limitFactor);
  mix.second(r.pawnLimitBlack * limitFactor);

  const uint32_t phase = classify(c);
  const bool endgameLike = (phase & EndgameLikeMask) != 0;
  r.PhaseFlags = phase;
  fill_ending_indicator(c, endgameLike);

  // Central squares: ranks 4-6 for White's outposts, ranks 3-5 for Black's.
  r.outpostZone[White] = r.outpostZone[Black] = 0;
  for (int f = 3; f <= 6; ++f) {
    for (int rank = 4; rank <= 6; ++rank) r.outpostZone[White] |= square_bit(square_at(f, rank));
    for (int rank = 3; rank <= 5; ++rank) r.outpostZone[Black] |= square_bit(square_at(f, rank));
  }
  {
    const int leader = c.pieceMaterial[White] > c.pieceMaterial[Black] ? White : Black;
    const int32_t lead = c.pieceMaterial[leader] - c.pieceMaterial[leader ^ 1];
    r.noPawnImbalance = !(lead > 0 && lead <= 325 && c.pawns[leader] == 0 && c.pawns[leader ^ 1] > 0);
  }
  r.KingsSameWing = (c.kingFile[White] < 4 && c.kingFile[Black] < 4) ||
                    (c.kingFile[White] >= 6 && c.kingFile[Black] >= 6);
  r.minorEnding = endgameLike && c.pawns[0] + c.pawns[1] < 5 && c.pieceMaterial[White] == 325 &&
                  c.pieceMaterial[Black] == 325 && c.bishops[White] + c.bishops[Black] >= 1;
  mix.both(int32_t(phase));
  set_term_flags();

  bool activeKing[2];
  fill_base_tables(c, phase, activeKing);
  adjust_for_formation(pos, root, c, phase, activeKing);

  const int32_t pawnsBefore = root_pawn_score(pos);
  adjust_pawn_structure(pos, c, phase);
  // The root keeps the pawn values it had before the structure shifts; only later pawn moves
  // feel them.
  PieceSquareOffset = pawnsBefore - root_pawn_score(pos);
  set_structure_flags(pos, c, phase, engine);
  adjust_for_structure_flags(pos, c, engine);
  mix.both(int32_t(r.StructureFlags));

  apply_piece_weights(endgameLike);
  set_stage_values(endgameLike);
  fill_switch_tables(endgameLike, activeKing);
  set_search_switches(c, root, phase);

  for (int i = 0; i < EvalWeightCount; ++i) mix.both(Options.EvalWeights[i]);
  const SearchSwitchValues& s = SearchSwitches;
  for (int32_t v : {s.pawnEndingExtOn, s.zugzwangRisk, s.multiCutOn, s.hangingPlyLimit,
                    s.singularOn, s.nullAllowed, s.checkExtPlyLimit, s.futilityOn})
    mix.both(v);
  mix.both(Options.ForwardPruning);
  for (int32_t f : Options.StyleFlags) mix.both(f);
  for (int32_t f : Options.CombinationFlags) mix.both(f);
  mix.both(Options.Selectivity);
  mix.both(r.lazyMargin);
  mix.both(Options.PreferOpen);
  // The draw score shifts the scaled part of stored evaluations; with the default of 0 the
  // engine's colour does not disturb the evaluation cache.
  mix.second(engine == White ? Options.DrawScore : -Options.DrawScore);
  const int32_t termFlags = r.kingEndgameFlag | r.openFileFlag << 1 | r.queenFlag << 2;
  if (termFlags) mix.both(termFlags);
  r.pawnTermsFingerprint = pawn_terms_fingerprint(r);
  // An evaluation-cache entry holds a positional part that depends on the root as well as on
  // the settings: the root's tables (passed-pawn, late pawn and king tables, and the
  // piece-square values, which the scaling of endings mixes in) and its material, from which
  // the captures that make an ending are counted. Entries made at another root are misses.
  ByteHash stamp;
  stamp.add(r.secondFingerprint);
  stamp.add(root_tables_fingerprint());
  stamp.add(r.endingIndicator);
  stamp.add(root.signature);
  r.evalStamp = uint16_t(stamp.h ^ (stamp.h >> 16));
}

uint32_t root_tables_fingerprint() {
  const RootEvaluation& r = RootEval;
  ByteHash tables;
  tables.add(PieceSquareTable);
  tables.add(PieceSquareOffset);
  tables.add(r.passedMid, offsetof(RootEvaluation, evalSerial) - offsetof(RootEvaluation, passedMid));
  tables.add(r.pawnTermsFingerprint);
  return tables.h;
}

int32_t root_score(Position& pos, PlyState& root) {
  root.score = piece_square_score(pos, root.side);
  return root.score;
}
