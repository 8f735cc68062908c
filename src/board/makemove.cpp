#include "board/makemove.h"

#include "board/attacks.h"
#include "board/zobrist.h"

namespace {

// Bits of PlyState::capturedTypes by captured piece code (pawns and kings set nothing).
constexpr uint8_t CapturedTypeBit[16] = {0, 0, 0, 2, 0, 8, 32, 128, 0, 0, 0, 1, 0, 4, 16, 64};

struct Keys {
  uint32_t index, lock, pawnIndex, pawnLock;
  void toggle(int piece, Square s) {
    index ^= ZobristIndex[piece][s];
    lock ^= ZobristLock[piece][s];
    if (is_pawn(piece)) {
      pawnIndex ^= ZobristIndex[piece][s];
      pawnLock ^= ZobristLock[piece][s];
    }
  }
};

// Changes the attack entries for board_step, first writing each entry's old contents to the
// undo log.
struct AttackLog {
  AttackUndo* top;
  AttackEntry& save(Position& p, int index) {
    AttackEntry& e = (&p.attacks[0][0])[index];
    top->before = e;
    top->offset = uint16_t(reinterpret_cast<char*>(&e) - reinterpret_cast<char*>(p.attacks));
    ++top;
    return e;
  }
  void append(Position& p, int index, uint8_t s, int slider) { attack_append(save(p, index), s, slider); }
  void erase(Position& p, int index, uint8_t s, int slider) { attack_erase(save(p, index), s, slider); }
  uint16_t size(const Position& pos) const { return uint16_t(top - pos.attackLog); }
};

// Puts back the entries saved in log records [begin, end), the latest first, so that an entry
// changed several times ends up as it was before the first change, squares in the same order.
void restore_attacks(Position& pos, int begin, int end) {
  char* entries = reinterpret_cast<char*>(&pos.attacks[0][0]);
  for (int i = end; i-- > begin;) {
    const AttackUndo& r = pos.attackLog[i];
    *reinterpret_cast<AttackEntry*>(entries + r.offset) = r.before;
  }
}

// Moves one man from `from` to `to`, capturing `captured` there and promoting to `promotion`
// if non-zero. Returns the number of enemy attackers on the mover's king square afterwards.
// Keys and log are worked on in local copies: the attack entries are written bytewise, and
// such stores could alias the caller's objects, so the compiler would reload them every time.
int board_step(Position& pos, Square from, Square to, int piece, int captured, int promotion,
               Keys& keysOut, AttackLog& logOut) {
  Keys keys = keysOut;
  AttackLog log = logOut;
  remove_attacks(pos, piece, from, log);
  keys.toggle(piece, from);
  if (captured) {
    remove_attacks(pos, captured, to, log);
    --pos.pieceCount[captured];
    keys.toggle(captured, to);
  }
  open_lines(pos, from, log);
  if (captured) {
    const uint8_t capturedSlot = pos.squareSlot[to];
    pos.capturedStack[pos.capturedTop++] = capturedSlot;
    pos.slotSquare[capturedSlot] = CapturedMark;
  }
  const uint8_t slot = pos.squareSlot[from];
  pos.slotSquare[slot] = uint8_t(to);
  pos.squareSlot[to] = slot;
  pos.board[from] = Empty;
  if (promotion) {
    --pos.pieceCount[piece];
    ++pos.pieceCount[promotion];
    TypeList& list = pos.typeList[promotion];
    list.slot[list.count++] = slot;
    piece = promotion;
  }
  pos.board[to] = uint8_t(piece);
  add_attacks(pos, piece, to, log);
  keys.toggle(piece, to);
  if (!captured) close_lines(pos, to, log);
  keysOut = keys;
  logOut = log;
  const int colour = colour_of(piece);
  return pos.attacks[colour ^ 1][king_square(pos, colour)].count;
}

// Takes back what board_step did to the board, the slots, the piece counts and the type lists
// (the attack entries come back from the undo log; keys are not touched: the earlier ply keeps
// its own).
void board_unstep(Position& pos, Square from, Square to, int piece, int captured, int promotion) {
  const uint8_t slot = pos.squareSlot[to];
  pos.slotSquare[slot] = uint8_t(from);
  pos.squareSlot[from] = slot;
  pos.board[to] = uint8_t(captured);
  if (promotion) {
    --pos.typeList[promotion].count;
    --pos.pieceCount[promotion];
    ++pos.pieceCount[piece];
  }
  pos.board[from] = uint8_t(piece);
  if (captured) {
    const uint8_t capturedSlot = pos.capturedStack[--pos.capturedTop];
    pos.slotSquare[capturedSlot] = uint8_t(to);
    pos.squareSlot[to] = capturedSlot;
    ++pos.pieceCount[captured];
  }
}

// Rook squares of a castling move (long castling is recognised by to < from).
struct CastleRook {
  Square from, to;
};
inline CastleRook castle_rook(Square kingFrom, Square kingTo) {
  return kingTo > kingFrom ? CastleRook{Square(kingTo + 1), Square(kingTo - 1)}
                           : CastleRook{Square(kingTo - 2), Square(kingTo + 1)};
}

// Castling needs the squares between king and rook empty and the king's three squares
// (start, passage, destination) unattacked.
bool castling_allowed(const Position& pos, Square kingFrom, Square kingTo, int side) {
  const AttackEntry* enemy = pos.attacks[side ^ 1];
  if (kingTo > kingFrom) {
    if (pos.board[kingFrom + 1] || pos.board[kingFrom + 2]) return false;
    return !enemy[kingFrom].count && !enemy[kingFrom + 1].count && !enemy[kingFrom + 2].count;
  }
  if (pos.board[kingFrom - 1] || pos.board[kingFrom - 2] || pos.board[kingFrom - 3]) return false;
  return !enemy[kingFrom].count && !enemy[kingFrom - 1].count && !enemy[kingFrom - 2].count;
}

}  // namespace

PlyState* make_move(Position& pos, PlyState& cur) {
  PlyState& nxt = (&cur)[1];
  const Move m = cur.move;
  Keys keys{cur.indexKey, cur.lockKey, cur.pawnKey, cur.pawnLock};
  nxt.pieces = cur.pieces;
  nxt.signature[0] = cur.signature[0];
  nxt.signature[1] = cur.signature[1];
  nxt.checks[0] = cur.checks[0];
  nxt.checks[1] = cur.checks[1];
  nxt.capturedTypes = cur.capturedTypes;
  nxt.generatedCount = 0;
  nxt.movesTried = 0;
  AttackLog log{pos.attackLog + cur.attackLogTop};

  const int mover = cur.side;
  if (m & NullMoveFlag) {
    nxt.flags = cur.flags & CastleMask;
    nxt.material[0] = cur.material[0];
    nxt.material[1] = cur.material[1];
    nxt.phase[0] = cur.phase[0];
    nxt.phase[1] = cur.phase[1];
    nxt.score = -cur.score;
  } else {
    const Square from = move_from(m), to = move_to(m);
    const int piece = move_piece(m), captured = move_captured(m), promotion = move_promotion(m);
    int32_t psq = cur.score - PieceSquareTable[piece][from];

    if (m & EnPassantFlag) {
      // Two steps: onto the captured pawn's square, taking it, then on to the target square.
      const Square victim = mover == White ? to - 8 : to + 8;
      board_step(pos, from, victim, piece, captured, 0, keys, log);
      if (board_step(pos, victim, to, piece, 0, 0, keys, log)) {
        restore_attacks(pos, cur.attackLogTop, log.size(pos));
        board_unstep(pos, victim, to, piece, 0, 0);
        board_unstep(pos, from, victim, piece, captured, 0);
        return nullptr;
      }
      psq += PieceSquareTable[captured][victim];
    } else if (m & CastleFlag) {
      if (!castling_allowed(pos, from, to, mover)) return nullptr;
      const CastleRook rook = castle_rook(from, to);
      const int rookPiece = pos.board[rook.from];
      board_step(pos, from, to, piece, 0, 0, keys, log);
      board_step(pos, rook.from, rook.to, rookPiece, 0, 0, keys, log);
      psq += PieceSquareTable[rookPiece][rook.to] - PieceSquareTable[rookPiece][rook.from];
    } else {
      if (board_step(pos, from, to, piece, captured, promotion, keys, log)) {
        restore_attacks(pos, cur.attackLogTop, log.size(pos));
        board_unstep(pos, from, to, piece, captured, promotion);
        return nullptr;
      }
      if (captured) psq += PieceSquareTable[captured][to];
    }
    psq += PieceSquareTable[promotion ? promotion : piece][to];
    nxt.score = -psq;

    const int opponent = mover ^ 1;
    nxt.flags = 0;
    if (pos.attacks[mover][king_square(pos, opponent)].count) {
      nxt.flags = InCheckFlag;
      ++nxt.checks[opponent];
    }
    nxt.flags |= castling_rights_after(cur.flags & CastleMask, from, to);
    if (m & DoublePushFlag) nxt.flags |= uint32_t((from + to) / 2);

    nxt.material[mover] = cur.material[mover];
    nxt.material[opponent] = cur.material[opponent] - ExchangeValue[captured];
    nxt.phase[mover] = cur.phase[mover];
    nxt.phase[opponent] = uint8_t(cur.phase[opponent] - PhaseWeight[captured]);
    if (promotion) {
      nxt.material[mover] += ExchangeValue[promotion] - ExchangeValue[piece];
      nxt.phase[mover] = uint8_t(nxt.phase[mover] + PhaseWeight[promotion]);
      nxt.signature[mover] += signature_unit(promotion, to) - 1;
    }
    if (captured) {
      const Square victim = (m & EnPassantFlag) ? (mover == White ? to - 8 : to + 8) : to;
      nxt.signature[opponent] -= signature_unit(captured, victim);
      --nxt.pieces;
      nxt.capturedTypes |= CapturedTypeBit[captured];
    }
  }

  nxt.attackLogTop = log.size(pos);
  nxt.indexKey = keys.index;
  nxt.lockKey = keys.lock;
  nxt.pawnKey = keys.pawnIndex;
  nxt.pawnLock = keys.pawnLock;
  *++pos.repTop = nxt.lockKey;
  nxt.repStart = is_irreversible(m) ? pos.repTop : cur.repStart;

  nxt.quietBegin = nxt.quietEnd = cur.quietEnd;
  nxt.captureBegin = nxt.captureEnd = cur.captureEnd;
  nxt.generated = 0;
  nxt.hashMove = nxt.hashMove2Tried = NoMove;
  nxt.hanging = nxt.evalAlert = nxt.pickStage = 0;
  return &nxt;
}

void unmake_move(Position& pos, PlyState& next) {
  --pos.repTop;
  const PlyState& cur = (&next)[-1];
  const Move m = cur.move;
  if (m & NullMoveFlag) return;
  restore_attacks(pos, cur.attackLogTop, next.attackLogTop);
  const Square from = move_from(m), to = move_to(m);
  const int piece = move_piece(m), captured = move_captured(m), promotion = move_promotion(m);
  if (m & CastleFlag) {
    const CastleRook rook = castle_rook(from, to);
    board_unstep(pos, rook.from, rook.to, pos.board[rook.to], 0, 0);
    board_unstep(pos, from, to, piece, 0, 0);
  } else if (m & EnPassantFlag) {
    const Square victim = cur.side == White ? to - 8 : to + 8;
    board_unstep(pos, victim, to, piece, 0, 0);
    board_unstep(pos, from, victim, piece, captured, 0);
  } else {
    board_unstep(pos, from, to, piece, captured, promotion);
  }
}

bool gives_direct_check(const Position& pos, Move m) {
  const int mover = colour_of(move_piece(m));
  Square to = move_to(m);
  int piece = move_promotion(m) ? move_promotion(m) : move_piece(m);
  Square vacated = move_from(m);
  if (m & CastleFlag) {
    const CastleRook rook = castle_rook(move_from(m), to);
    piece = pos.board[rook.from];
    vacated = move_from(m);  // the king leaves e1/e8; the rook's own square empties too
    to = rook.to;
  }
  const Square king = king_square(pos, mover ^ 1);
  if (!attack_type_allows(piece, to, king)) return false;
  if (!is_slider(piece)) return true;
  const int step = Direction[to][king];
  for (Square s = to + step; s != king; s += step)
    if (pos.board[s] && s != vacated) return false;
  return true;
}
