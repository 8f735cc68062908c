// Squares, piece codes, moves and the per-piece values that the whole engine shares.
#pragma once

#include <climits>
#include <cstdint>

// Squares run a1 = 1, b1 = 2, ..., h1 = 8, a2 = 9, ..., h8 = 64; 0 means "no square".
// Every per-square table has 65 entries so that index 0 is always safe to read.
using Square = int;
constexpr Square NoSquare = 0;
constexpr int SquareCount = 65;

constexpr int file_of(Square s) { return ((s - 1) & 7) + 1; }   // 1..8 for a..h
constexpr int rank_of(Square s) { return ((s - 1) >> 3) + 1; }  // 1..8
constexpr Square square_at(int file, int rank) { return (rank - 1) * 8 + file; }
constexpr bool is_dark_square(Square s) { return ((file_of(s) + rank_of(s)) & 1) == 0; }  // a1 is dark

// Piece codes: 4 bits, bit 3 (8) marks black, bit 2 (4) marks the sliders.
enum PieceCode : int {
  Empty = 0,
  WhiteKing = 1, WhitePawn = 2, WhiteKnight = 3, WhiteBishop = 5, WhiteRook = 6, WhiteQueen = 7,
  BlackKing = 9, BlackPawn = 10, BlackKnight = 11, BlackBishop = 13, BlackRook = 14, BlackQueen = 15,
};
constexpr int BlackBit = 8;
constexpr int SliderBit = 4;
constexpr int White = 0;
constexpr int Black = 1;

// Board value of square 0: every bit set, so an "is this square empty" test made on a table
// entry of 0 (no square) always finds it occupied.
constexpr uint8_t OffBoard = 0xFF;

constexpr bool is_pawn(int p) { return (p & 0xF7) == 2; }
constexpr bool is_king(int p) { return (p & 0xF7) == 1; }
constexpr bool is_knight(int p) { return (p & 0xF7) == 3; }
constexpr bool is_slider(int p) { return (p & SliderBit) != 0; }
constexpr int colour_of(int p) { return (p >> 3) & 1; }
constexpr int piece_type(int p) { return p & 7; }
constexpr int with_colour(int type, int colour) { return type | (colour << 3); }

// A move packs everything that make and unmake need into 32 bits.
//   bits 0-6 from, 7-13 to, 14-17 promotion piece, 18-21 captured piece, 22-25 moving piece,
//   26 en passant, 27 castling (the king's move), 28 null move, 29 double pawn push.
using Move = uint32_t;
constexpr Move NoMove = 0;
constexpr Move EnPassantFlag = 0x4000000;
constexpr Move CastleFlag = 0x8000000;
constexpr Move NullMoveFlag = 0x10000000;
constexpr Move DoublePushFlag = 0x20000000;
constexpr Move PromotionOrCaptureMask = 0x3FC000;
constexpr Move IrreversibleMask = 0x183FC000;  // promotion, capture, castling, null move

constexpr Square move_from(Move m) { return m & 0x7F; }
constexpr Square move_to(Move m) { return (m >> 7) & 0x7F; }
constexpr int move_promotion(Move m) { return (m >> 14) & 0xF; }
constexpr int move_captured(Move m) { return (m >> 18) & 0xF; }
constexpr int move_piece(Move m) { return (m >> 22) & 0xF; }
constexpr int history_index(Move m) { return m & 0x3FFF; }  // to * 128 + from
constexpr bool is_capture_or_promotion(Move m) { return (m & PromotionOrCaptureMask) != 0; }
constexpr bool is_pawn_move(Move m) { return (m & 0x1400000) == 0; }  // moving piece code & 5 == 0
constexpr bool is_irreversible(Move m) { return (m & IrreversibleMask) != 0 || is_pawn_move(m); }

constexpr Move encode_move(Square from, Square to, int promotion, int captured, int piece,
                           Move flags = 0) {
  return Move(from) | (Move(to) << 7) | (Move(promotion) << 14) | (Move(captured) << 18) |
         (Move(piece) << 22) | flags;
}

constexpr Move WhiteShortCastle = 0x8400385;  // e1g1
constexpr Move WhiteLongCastle = 0x8400185;   // e1c1
constexpr Move BlackShortCastle = 0xA401FBD;  // e8g8
constexpr Move BlackLongCastle = 0xA401DBD;   // e8c8

// A move with its ordering score. Lists end with a sentinel whose score is INT32_MAX.
struct MoveEntry {
  Move move;
  int32_t score;
};
constexpr int32_t SentinelScore = INT32_MAX;

// Per piece code: the exchange value (also the unit of the material sums), the phase weight
// and the material-signature unit. The signature counts pawns in bits 0-3, knights in 4-5,
// bishops on light squares in 6-7, rooks in 8-9, queens in 10-11 and bishops on dark squares
// in 12-13: two counting bits per bishop colour, so that a second bishop of one colour (after
// an under-promotion) is counted instead of spilling into the next field.
constexpr int32_t ExchangeValue[16] = {0,    10000, 100, 325, 0, 325, 541, 1055,
                                       0,    10000, 100, 325, 0, 325, 541, 1055};
constexpr int PhaseWeight[16] = {0, 0, 0, 1, 0, 1, 3, 6, 0, 0, 0, 1, 0, 1, 3, 6};
constexpr int SignatureLightBishop = 64, SignatureDarkBishop = 4096;
constexpr int SignatureLightBishops = 3 * SignatureLightBishop, SignatureDarkBishops = 3 * SignatureDarkBishop;
constexpr int signature_unit(int piece, Square s) {
  switch (piece_type(piece)) {
    case 2: return 1;
    case 3: return 16;
    case 5: return is_dark_square(s) ? SignatureDarkBishop : SignatureLightBishop;
    case 6: return 256;
    case 7: return 1024;
    default: return 0;
  }
}

// Castling rights and the other bits of PlyState::flags.
constexpr uint32_t EpSquareMask = 0x3F;
constexpr uint32_t CastleBlackLong = 0x40;
constexpr uint32_t CastleBlackShort = 0x80;
constexpr uint32_t CastleWhiteLong = 0x100;
constexpr uint32_t CastleWhiteShort = 0x200;
constexpr uint32_t CastleMask = 0x3C0;
constexpr uint32_t InCheckFlag = 0x400;

// Castling rights left after a move from `from` to `to`: a king leaving its home square loses
// both rights, a rook leaving its corner (or captured there) the right on its side.
constexpr uint32_t castling_rights_after(uint32_t rights, Square from, Square to) {
  if (from == 5) rights &= ~(CastleWhiteShort | CastleWhiteLong);
  if (from == 1 || to == 1) rights &= ~CastleWhiteLong;
  if (from == 8 || to == 8) rights &= ~CastleWhiteShort;
  if (from == 61) rights &= ~(CastleBlackShort | CastleBlackLong);
  if (from == 57 || to == 57) rights &= ~CastleBlackLong;
  if (from == 64 || to == 64) rights &= ~CastleBlackShort;
  return rights;
}

// Text names: "a1".."h8", and "00" for square 0. Writes three bytes including the terminator.
void square_name(Square s, char out[3]);
// Coordinate text of a move ("e2e4", "e7e8q", "0000" for the empty move), no leading space.
// Writes at most six bytes including the terminator.
void move_text(Move m, char out[6]);
