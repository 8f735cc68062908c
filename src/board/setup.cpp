#include "board/setup.h"

#include <cstring>
#include <initializer_list>

#include "board/attacks.h"
#include "board/notation.h"
#include "board/zobrist.h"

int32_t PieceSquareTable[16][SquareCount];
int32_t PieceSquareOffset;

void init_position(Position& pos, int threadIndex) {
  std::memset(&pos, 0, sizeof pos);
  pos.board[0] = OffBoard;
  pos.threadIndex = uint8_t(threadIndex);
  pos.threadBit = 1u << threadIndex;
  pos.threadMask = ~pos.threadBit;
  pos.repTop = pos.repStack;
  for (PlyState& ply : pos.plies) {
    ply.quietBegin = ply.quietEnd = pos.quietStack;
    ply.captureBegin = ply.captureEnd = pos.captureStack;
    ply.repStart = pos.repStack;
  }
}

void build_piece_lists(Position& pos) {
  std::memset(pos.pieceCount, 0, sizeof pos.pieceCount);
  for (TypeList& list : pos.typeList) list.count = 0;
  std::memset(pos.slotSquare, 0, sizeof pos.slotSquare);
  std::memset(pos.slotCode, 0, sizeof pos.slotCode);
  std::memset(pos.squareSlot, 0, sizeof pos.squareSlot);
  pos.capturedTop = 0;

  int next[2] = {1, 1};  // next free slot of each colour list
  auto append = [&pos, &next](Square s) {
    const int colour = colour_of(pos.board[s]);
    const int slot = colour * ColourListSize + next[colour]++;
    pos.slotSquare[slot] = uint8_t(s);
    pos.squareSlot[s] = uint8_t(slot);
  };
  // Kings in slot 0, then pawns, knights, bishops, rooks and queens, each in square order.
  for (Square s = 1; s <= 64; ++s) {
    const int p = pos.board[s];
    if (p == Empty) continue;
    ++pos.pieceCount[p];
    if (is_pawn(p)) append(s);
    if (is_king(p)) {
      const int slot = colour_of(p) * ColourListSize;
      pos.slotSquare[slot] = uint8_t(s);
      pos.squareSlot[s] = uint8_t(slot);
    }
  }
  for (int type : {3, 5, 6, 7})
    for (Square s = 1; s <= 64; ++s)
      if (pos.board[s] != Empty && piece_type(pos.board[s]) == type) append(s);

  for (int colour = 0; colour < 2; ++colour) {
    const int base = colour * ColourListSize;
    pos.slotCode[base] = pos.board[pos.slotSquare[base]];
    for (int slot = base + 1; pos.slotSquare[slot]; ++slot) {
      const int p = pos.board[pos.slotSquare[slot]];
      pos.slotCode[slot] = uint8_t(p);
      if (!is_pawn(p)) {
        TypeList& list = pos.typeList[p];
        list.slot[list.count++] = uint8_t(slot);
      }
    }
  }
}

void build_attack_tables(Position& pos) {
  std::memset(pos.attacks, 0, sizeof pos.attacks);
  for (int colour = 0; colour < 2; ++colour)
    for (const uint8_t* s = colour_list(pos, colour); *s; ++s)
      if (*s != CapturedMark) add_attacks(pos, pos.board[*s], *s);
}

void load_board(Position& pos, const uint8_t* board) {
  std::memcpy(pos.board, board, SquareCount);
  pos.board[0] = OffBoard;
  build_piece_lists(pos);
  build_attack_tables(pos);
}

namespace {

template <typename Unit>
int32_t sum_over_list(const Position& pos, int colour, Unit unit) {
  int32_t sum = 0;
  for (const uint8_t* s = colour_list(pos, colour) + 1; *s; ++s)
    if (*s != CapturedMark) sum += unit(pos.board[*s], Square(*s));
  return sum;
}

}  // namespace

int32_t sum_material(const Position& pos, int colour) {
  return sum_over_list(pos, colour, [](int p, Square) { return ExchangeValue[p]; });
}

int32_t sum_phase(const Position& pos, int colour) {
  return sum_over_list(pos, colour, [](int p, Square) { return PhaseWeight[p]; });
}

int32_t sum_signature(const Position& pos, int colour) {
  return sum_over_list(pos, colour, [](int p, Square s) { return signature_unit(p, s); });
}

int32_t piece_square_sum(const Position& pos, int colour) {
  int32_t sum = 0;
  for (const uint8_t* s = colour_list(pos, colour); *s; ++s)
    if (*s != CapturedMark) sum += PieceSquareTable[pos.board[*s]][*s];
  return sum;
}

int32_t piece_square_score(const Position& pos, int side) {
  const int32_t offset = side == White ? PieceSquareOffset : -PieceSquareOffset;
  return piece_square_sum(pos, side) - piece_square_sum(pos, side ^ 1) + offset;
}

void clear_history(Position& pos) { std::memset(pos.history, 0, sizeof pos.history); }

void setup_root_ply(Position& pos, const GameState& state, const uint32_t* historyKeys,
                    int historyCount) {
  if (historyCount < 0) historyCount = 0;
  if (historyCount > RepetitionStackSize - MaxPly - 2) historyCount = RepetitionStackSize - MaxPly - 2;
  for (int n = 0; n <= MaxPly; ++n) {
    PlyState& ply = pos.plies[n];
    ply.side = uint8_t(n % 2 == 0 ? state.side : state.side ^ 1);
    ply.ply = uint8_t(n);
  }
  PlyState& root = pos.plies[0];
  const int side = state.side;
  root.hanging = root.evalAlert = root.pickStage = root.movesTried = 0;
  root.checks[0] = root.checks[1] = 0;
  root.generated = root.generatedCount = 0;
  root.capturedTypes = 0;
  root.attackLogTop = 0;
  int men = 0;
  for (Square s = 1; s <= 64; ++s) men += pos.board[s] != Empty;
  root.pieces = uint8_t(men);
  for (int c = 0; c < 2; ++c) {
    root.phase[c] = uint8_t(sum_phase(pos, c));
    root.material[c] = sum_material(pos, c);
    root.signature[c] = sum_signature(pos, c);
  }
  root.flags = state.flags & (CastleMask | EpSquareMask);
  if (pos.attacks[side ^ 1][king_square(pos, side)].count) root.flags |= InCheckFlag;
  const KeyPair key = compute_key(pos.board);
  const KeyPair pawns = compute_pawn_key(pos.board);
  root.indexKey = key.index;
  root.lockKey = key.lock;
  root.pawnKey = pawns.index;
  root.pawnLock = pawns.lock;

  for (int i = 0; i < historyCount; ++i) pos.repStack[i] = historyKeys[i];
  pos.repStack[historyCount] = root.lockKey;
  pos.repTop = pos.repStack + historyCount;
  root.repStart = pos.repStack;

  root.quietBegin = root.quietEnd = pos.quietStack;
  root.captureBegin = root.captureEnd = pos.captureStack;
  root.move = root.hashMove = root.hashMove2Tried = root.hashMove2 = root.bestMove = NoMove;
  root.bestScore = 0;
  root.score = piece_square_score(pos, side);
  pos.capturedTop = 0;
}

void setup_root_from_game(Position& pos) {
  load_board(pos, GameBoard.board);
  const int current = GameBoard.current;
  int start = current;
  while (start > 0 && current - start < 100 && !is_irreversible(GameBoard.record[start].move))
    --start;
  const GameRecordEntry& entry = GameBoard.record[current];
  const GameState state{entry.side, entry.flags};
  const uint32_t* keys = GameBoard.keys + GameKeyLead;
  setup_root_ply(pos, state, keys + start, current - start);
}

bool set_position_from_fen(Position& pos, const char* fen) {
  uint8_t board[SquareCount];
  GameState state;
  if (!parse_fen(fen, board, state)) return false;
  load_board(pos, board);
  setup_root_ply(pos, state);
  return true;
}
