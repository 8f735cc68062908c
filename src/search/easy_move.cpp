#include "search/easy_move.h"

#include "board/game.h"
#include "eval/root_eval.h"
#include "search/level.h"
#include "search/root_moves.h"
#include "search/timeman.h"

EasyMoveState EasyMove;

namespace {

// The opponent's last game move captured a piece worth as much as its capturer on the square
// our best move goes to: we are recapturing.
bool is_recapture(Move best) {
  const Move last = current_game_entry().move;
  if (!last || !move_captured(last) || move_to(last) != move_to(best)) return false;
  return ExchangeValue[move_captured(last)] == ExchangeValue[move_piece(last)];
}

}  // namespace

void reset_easy_move() { EasyMove = EasyMoveState{true, 2, 0}; }

void consider_easy_move(const Position& pos, int depth) {
  if (!Level.clockMode || !EasyMove.allowed || RootSearch.singleLegalMove || depth < 7) return;
  const Move best = RootSearch.bestMove;
  if (is_pawn_move(best) && !is_capture_or_promotion(best)) return;
  if (!pos.nodes) return;
  const bool recapture = is_recapture(best);
  int threshold = (RootEval.PhaseFlags & PhaseEndgame) ? 82 : 72;
  if (recapture) threshold -= 10;
  if (EasyMove.firstMoveNodes * 100 / pos.nodes < uint64_t(threshold) || elapsed_ms() <= 500) return;
  if (!recapture) --EasyMove.budget;
  if (EasyMove.budget >= 0) HalveForEasyMove();
}
