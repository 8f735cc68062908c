#include "search/ablation.h"
#include "search/picker.h"

#include "board/movegen.h"
#include "search/params.h"

#if TARROW_VERIFY
PickerWatcher PickerWatch = nullptr;
#endif

namespace {

constexpr uint8_t CapturesGenerated = 1;
constexpr uint8_t QuietGenerated = 2;
constexpr int32_t TakeAny = INT32_MIN;

// Quiet checks deep in quiescence only continue a checking attack: the opponent has been in
// check before and at each of its last three turns.
bool continues_checking_attack(const Position& pos, const PlyState& node) {
  const int ply = node.ply;
  if (ply < 6) return false;
  const int opponent = node.side ^ 1;
  if (pos.plies[ply - 6].checks[opponent] == 0) return false;
  for (int back = 1; back <= 5; back += 2)
    if (!in_check(pos.plies[ply - back])) return false;
  return true;
}

}  // namespace

void reset_picker(PlyState& node) {
  reset_ply_lists(node);
  node.pickStage = PickHashMove;
  node.generated = 0;
  node.generatedCount = 0;
  node.movesTried = 0;
  node.hashMove2Tried = NoMove;
}

Move NextMove(Position& pos, PlyState& node) {
#if TARROW_VERIFY
  if (PickerWatch) PickerWatch(pos, node, 0, false);
#endif
  switch (node.pickStage) {
    case PickHashMove:
      node.pickStage = PickSecondMove;
      if (node.hashMove != NoMove && move_is_possible(pos, node, node.hashMove))
        return node.hashMove;
      [[fallthrough]];
    case PickSecondMove:
      node.pickStage = PickGoodCaptures;
      if (node.hashMove2 != NoMove && node.hashMove2 != node.hashMove &&
          move_is_possible(pos, node, node.hashMove2)) {
        node.hashMove2Tried = node.hashMove2;
        return node.hashMove2;
      }
      [[fallthrough]];
    case PickGoodCaptures: {
      if (!(node.generated & CapturesGenerated)) generate_moves(pos, node, GenCaptures, 1);
      const Move m = pick_best_move(GoodCaptureThreshold, node.captureBegin);
      if (m != NoMove) return m;
      if (!(node.generated & QuietGenerated)) generate_moves(pos, node, GenQuiet, 1);
      node.pickStage = PickKillers;
      [[fallthrough]];
    }
    case PickKillers: {
      const Move m = pick_best_move(OlderKillerScore, node.quietBegin);
      if (m != NoMove) return m;
      node.pickStage = PickBadCaptures;
      [[fallthrough]];
    }
    case PickBadCaptures: {
      const Move m = pick_best_move(TakeAny, node.captureBegin);
      if (m != NoMove) return m;
      node.pickStage = PickQuiet;
      [[fallthrough]];
    }
    case PickQuiet: {
      const Move m = pick_best_move(TakeAny, node.quietBegin);
      if (m != NoMove) return m;
      node.pickStage = PickDone;
      return NoMove;
    }
    default:
      return NoMove;
  }
}

Move QuiescencePick(Position& pos, PlyState& node, int32_t depth) {
#if TARROW_VERIFY
  if (PickerWatch) PickerWatch(pos, node, depth, true);
#endif
  switch (node.pickStage) {
    case 0:
      node.pickStage = 1;
      if (node.hashMove != NoMove && move_is_possible(pos, node, node.hashMove))
        return node.hashMove;
      [[fallthrough]];
    case 1: {
      if (!(node.generated & CapturesGenerated)) generate_moves(pos, node, GenCaptures, 0);
      const bool check = in_check(node);
      const Move m = pick_best_move(check || node.evalAlert ? TakeAny : QuiescenceCaptureThreshold,
                                    node.captureBegin);
      if (m != NoMove) return m;
      if (!check) {
        if (!Search.quietChecks || depth < -5 || !rule_on(SearchRule::QuiescenceChecks)) {
          node.pickStage = 3;
          return NoMove;
        }
        const bool alert = depth >= 0 && node.evalAlert;
        if (!alert && !continues_checking_attack(pos, node)) {
          node.pickStage = 3;
          return NoMove;
        }
        generate_moves(pos, node, GenQuietChecks, 0);
      }
      node.pickStage = 2;
      [[fallthrough]];
    }
    case 2: {
      const Move m = pick_best_move(TakeAny, node.quietBegin);
      if (m != NoMove) return m;
      node.pickStage = 3;
      return NoMove;
    }
    default:
      return NoMove;
  }
}

void record_killer(Killers& k, Move m) {
  if (m == k.move[0]) {
    k.count[0] += 1;
  } else if (m == k.move[1]) {
    k.count[1] += 1;
  } else {
    const int slot = k.count[0] < k.count[1] ? 0 : 1;
    k.move[slot] = m;
    k.count[slot] = 1;
  }
}
