#include "eval/root_piece_squares.h"

#include <cstring>

#include "core/options.h"
#include "eval/base_tables.h"
#include "eval/root_eval.h"
#include "eval/square_names.h"

namespace {

void fill_entries(int code, const int32_t* table, bool mirrored) {
  int32_t* e = PieceSquareTable[code];
  e[0] = 0;
  for (Square s = 1; s <= 64; ++s)
    e[s] = mirrored ? diagram_value_mirrored(table, s) : diagram_value(table, s);
}

}  // namespace

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
