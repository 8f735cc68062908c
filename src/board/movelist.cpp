// Taking moves out of the generated lists, and the stored-move test.
#include "board/movegen.h"
#include "board/tables.h"

Move pick_best_move(int32_t threshold, MoveEntry* first) {
  MoveEntry* best = nullptr;
  int32_t bestScore = threshold;
  MoveEntry* e = first;
  // Selects without branches: which entry wins is unpredictable, the loop's end is not.
  for (; e->score != SentinelScore; ++e) {
    const bool better = e->score > bestScore;
    best = better ? e : best;
    bestScore = better ? e->score : bestScore;
  }
  if (!best) return NoMove;
  // The list shrinks from the end: the last real entry fills the gap and becomes the sentinel.
  MoveEntry* last = e - 1;
  const Move m = best->move;
  *best = *last;
  last->score = SentinelScore;
  return m;
}

void remove_move(PlyState& ply, Move m) {
  MoveEntry* e = is_capture_or_promotion(m) ? ply.captureBegin : ply.quietBegin;
  MoveEntry* end = is_capture_or_promotion(m) ? ply.captureEnd : ply.quietEnd;
  if (e == end) return;  // that list has not been generated
  MoveEntry* found = nullptr;
  for (; e->score != SentinelScore; ++e)
    if (e->move == m) found = e;
  if (!found) return;
  MoveEntry* last = e - 1;
  *found = *last;
  last->score = SentinelScore;
}

void reset_ply_lists(PlyState& ply) {
  ply.quietEnd = ply.quietBegin;
  ply.captureEnd = ply.captureBegin;
  ply.generated = 0;
  ply.generatedCount = 0;
  ply.hashMove2Tried = NoMove;
  ply.pickStage = 0;
  ply.movesTried = 0;
}

bool move_is_possible(const Position& pos, const PlyState& ply, Move m) {
  if (m == NoMove || (m & NullMoveFlag)) return false;
  const Square from = move_from(m), to = move_to(m);
  if (from < 1 || from > 64 || to < 1 || to > 64) return false;
  const int piece = move_piece(m);
  if (pos.board[from] != piece || colour_of(piece) != ply.side) return false;
  const int side = ply.side;

  if (m & CastleFlag) {
    const Move expected[2][2] = {{WhiteShortCastle, WhiteLongCastle}, {BlackShortCastle, BlackLongCastle}};
    const uint32_t rights[2][2] = {{CastleWhiteShort, CastleWhiteLong}, {CastleBlackShort, CastleBlackLong}};
    for (int longSide = 0; longSide < 2; ++longSide) {
      if (m != expected[side][longSide]) continue;
      if (!(ply.flags & rights[side][longSide])) return false;
      const Square rook = longSide ? from - 4 : from + 3;
      if (pos.board[rook] != with_colour(6, side)) return false;
      for (Square s = longSide ? rook + 1 : from + 1; s < (longSide ? from : rook); ++s)
        if (pos.board[s]) return false;
      return true;
    }
    return false;
  }

  const int captured = move_captured(m);
  if (m & EnPassantFlag) {
    const Square victim = side == White ? to - 8 : to + 8;
    if ((ply.flags & EpSquareMask) != uint32_t(to) || pos.board[to] != Empty) return false;
    if (pos.board[victim] != captured || captured != with_colour(2, side ^ 1)) return false;
    return attack_type_allows(piece, from, to);
  }
  if (pos.board[to] != captured) return false;
  if (captured && (colour_of(captured) == side || is_king(captured))) return false;

  if (is_pawn(piece)) {
    const bool lastRank = side == White ? to >= 57 : to <= 8;
    if (lastRank != (move_promotion(m) != 0)) return false;
    if (captured) return attack_type_allows(piece, from, to);
    const Square ahead = PawnPush[side][from];
    if (to == ahead) return !(m & DoublePushFlag);
    const bool startRank = side == White ? rank_of(from) == 2 : rank_of(from) == 7;
    return (m & DoublePushFlag) && startRank && pos.board[ahead] == Empty &&
           to == PawnPush[side][ahead];
  }
  if (move_promotion(m) || (m & DoublePushFlag)) return false;
  if (!attack_type_allows(piece, from, to)) return false;
  if (is_slider(piece)) {
    const int step = Direction[from][to];
    for (Square s = from + step; s != to; s += step)
      if (pos.board[s]) return false;
  }
  return true;
}
