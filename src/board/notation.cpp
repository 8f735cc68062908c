#include "board/notation.h"

#include <cstring>

namespace {

int promotion_type(char c) {
  switch (c | 0x20) {
    case 'n': return WhiteKnight;
    case 'b': return WhiteBishop;
    case 'r': return WhiteRook;
    case 'q': return WhiteQueen;
    default: return 0;
  }
}

Square parse_square(const char* t) {
  const char file = char(t[0] | 0x20);
  if (file < 'a' || file > 'h' || t[1] < '1' || t[1] > '8') return NoSquare;
  return square_at(file - 'a' + 1, t[1] - '0');
}

int piece_from_letter(char c) {
  switch (c) {
    case 'K': return WhiteKing;   case 'k': return BlackKing;
    case 'Q': return WhiteQueen;  case 'q': return BlackQueen;
    case 'R': return WhiteRook;   case 'r': return BlackRook;
    case 'B': return WhiteBishop; case 'b': return BlackBishop;
    case 'N': return WhiteKnight; case 'n': return BlackKnight;
    case 'P': return WhitePawn;   case 'p': return BlackPawn;
    default: return Empty;
  }
}

// The board must hold one king a side, no pawn on the first or last rank, and at most 16 men
// a side; anything else cannot arise in a game and would overflow the engine's piece lists.
bool board_is_plausible(const uint8_t* board) {
  int kings[2] = {0, 0}, men[2] = {0, 0};
  for (Square s = 1; s <= 64; ++s) {
    const int p = board[s];
    if (p == Empty) continue;
    ++men[colour_of(p)];
    if (is_king(p)) ++kings[colour_of(p)];
    if (is_pawn(p) && (rank_of(s) == 1 || rank_of(s) == 8)) return false;
  }
  return kings[0] == 1 && kings[1] == 1 && men[0] <= 16 && men[1] <= 16;
}

}  // namespace

Move parse_move_text(const char* text, const uint8_t* board, int side) {
  const size_t length = std::strlen(text);
  int promotion = 0;
  if (length == 5) {
    promotion = promotion_type(text[4]);
    if (!promotion) return NoMove;
    promotion |= side ? BlackBit : 0;
  } else if (length != 4) {
    return NoMove;
  }
  const Square from = parse_square(text), to = parse_square(text + 2);
  if (!from || !to) return NoMove;
  const int piece = board[from];
  if (piece == Empty) return NoMove;
  int captured = board[to];
  Move flags = 0;
  if (is_king(piece) && (from - to == 2 || to - from == 2)) flags |= CastleFlag;
  if (is_pawn(piece)) {
    if (file_of(from) != file_of(to) && captured == Empty) {
      flags |= EnPassantFlag;
      captured = colour_of(piece) == Black ? WhitePawn : BlackPawn;
    }
    if (from - to == 16 || to - from == 16) flags |= DoublePushFlag;
  }
  return encode_move(from, to, promotion, captured, piece, flags);
}

int parse_fen(const char* text, uint8_t* board, GameState& state) {
  std::memset(board, 0, SquareCount);
  board[0] = OffBoard;
  state.side = White;
  state.flags = 0;

  const char* c = text;
  for (int rank = 8; rank >= 1; --rank) {
    int file = 1;
    for (;;) {
      const char ch = *c;
      if (ch == '/' || ch == ' ') {
        if (file != 9) return 0;  // a rank of fewer than eight squares
        ++c;
        break;
      }
      if (file > 8) return 0;  // a ninth square on this rank
      if (ch >= '1' && ch <= '8') {
        file += ch - '0';
        if (file > 9) return 0;  // a digit running past the end of the rank
        ++c;
        continue;
      }
      const int piece = piece_from_letter(ch);
      if (piece == Empty) return 0;  // any other character, including the end of the text
      board[square_at(file, rank)] = uint8_t(piece);
      ++file;
      ++c;
    }
    // A space ends the placement; it must come after the eighth rank.
    if (c[-1] == ' ' && rank != 1) return 0;
    if (rank == 1 && c[-1] != ' ') return 0;  // a ninth rank
  }

  if (*c == 'w') state.side = White;
  else if (*c == 'b') state.side = Black;
  else return 0;
  if (!board_is_plausible(board)) return 0;
  ++c;
  if (*c != ' ') return 1;
  ++c;

  // Castling rights count only where the king and the rook stand on their home squares.
  if (c[0] == '-' && c[1] == ' ') {
    c += 2;
  } else {
    for (; *c && *c != ' '; ++c) {
      switch (*c) {
        case 'K':
          if (board[5] == WhiteKing && board[8] == WhiteRook) state.flags |= CastleWhiteShort;
          break;
        case 'Q':
          if (board[5] == WhiteKing && board[1] == WhiteRook) state.flags |= CastleWhiteLong;
          break;
        case 'k':
          if (board[61] == BlackKing && board[64] == BlackRook) state.flags |= CastleBlackShort;
          break;
        case 'q':
          if (board[61] == BlackKing && board[57] == BlackRook) state.flags |= CastleBlackLong;
          break;
        default:
          return 1;
      }
    }
    if (*c != ' ') return 1;
    ++c;
  }

  // En passant: kept only on the rank where it can arise, and only when the pawn that just
  // advanced two squares stands in front of it with the squares it crossed empty; otherwise
  // an en-passant capture could remove a man that is not there.
  const Square ep = parse_square(c);
  if (!ep) return 1;
  if (state.side == White && rank_of(ep) == 6 && board[ep] == Empty &&
      board[ep + 8] == Empty && board[ep - 8] == BlackPawn)
    state.flags |= uint16_t(ep);
  if (state.side == Black && rank_of(ep) == 3 && board[ep] == Empty &&
      board[ep - 8] == Empty && board[ep + 8] == WhitePawn)
    state.flags |= uint16_t(ep);
  return 1;
}
