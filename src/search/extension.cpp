#include <cstdlib>

#include "eval/evaluate.h"
#include "search/params.h"
#include "search/search.h"

namespace {

constexpr int32_t RookValue = 541;

bool was_in_check(const Position& pos, int ply) {
  return ply >= 0 && in_check(pos.plies[ply]);
}

int32_t balance_drift(const PlyState& node) {
  return std::abs(node.material[White] - node.material[Black] - Search.rootBalance);
}

}  // namespace

int32_t ExtensionFor(const Position& pos, const PlyState& node, int32_t depth, int32_t alpha,
                     int32_t quick) {
  const int ply = node.ply;
  if (depth + ply >= Search.extensionLimit || ply == 0) return 0;
  const Move m = pos.plies[ply - 1].move;
  const Square to = move_to(m);
  const bool checkedBefore = was_in_check(pos, ply - 2);

  // Checks: always extended near the root; deeper only when the checking line goes on, or
  // when a heavy piece gives the check without having changed material much.
  if (node.flags & InCheckFlag) {
    const int piece = pos.board[to];
    const bool heavyChecker = to != NoSquare && (piece_type(piece) == 6 || piece_type(piece) == 7) &&
                              pos.slotCode[pos.squareSlot[to]] == move_piece(m);
    if (ply <= Search.checkExtPlyLimit || heavyChecker) {
      if (node.hanging) {
        if (ply <= 4 || checkedBefore) return 1;
      } else if (checkedBefore || balance_drift(node) <= RookValue) {
        return 1;
      }
    } else if (checkedBefore) {
      return 1;
    }
  }

  if (node.hanging) return 0;
  if (balance_drift(node) > RookValue) return 0;

  const bool nested = pos.nullDepth != 0 || pos.refutationDepth != 0;
  const bool noPieces = node.phase[White] + node.phase[Black] == 0;

  // Recapture restoring the material balance of the root.
  if (is_capture_or_promotion(m) && node.material[White] - node.material[Black] == Search.rootBalance &&
      !nested && ply >= 2) {
    const Move earlier = pos.plies[ply - 2].move;
    if (move_to(earlier) == to && move_captured(earlier) != 0 &&
        ExchangeValue[move_captured(earlier)] == ExchangeValue[move_captured(m)]) {
      const bool rootHadPieces = pos.plies[0].phase[White] + pos.plies[0].phase[Black] > 0;
      return Search.pawnEndingExtOn && noPieces && rootHadPieces ? 3 : 1;
    }
  }

  // The last piece comes off: the pawn ending that follows needs the extra ply.
  if (Search.pawnEndingExtOn && move_captured(m) != 0 && !is_pawn(move_captured(m)) && !nested &&
      noPieces)
    return 1;

  if (quick < alpha + EvalState.positionalMin[node.side]) return 0;

  // A supported pawn on the seventh with its promotion square free.
  if (m != NoMove && !(m & NullMoveFlag) && is_pawn(move_piece(m))) {
    const int mover = node.side ^ 1;
    if (rank_of(to) == (mover == White ? 7 : 2)) {
      const Square front = mover == White ? to + 8 : to - 8;
      const int opponent = node.side;
      if (pos.board[front] == Empty &&
          pos.attacks[mover][to].count >= pos.attacks[opponent][to].count &&
          pos.attacks[mover][front].count >= pos.attacks[opponent][front].count)
        return 1;
    }
  }
  return 0;
}
