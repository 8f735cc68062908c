#include "search/rule_oracle.h"

#include <cstdio>
#include <cstring>

#if TARROW_VERIFY
#include "board/consistency.h"
#include "board/makemove.h"
#include "search/control.h"
#include "search/params.h"
#include "search/picker.h"
#include "search/search.h"
#include "search/stats.h"
#include "search/transposition.h"
#endif

RuleOracleState RuleOracle;

namespace {

struct RuleInfo {
  const char* name;
  SearchRule off;
};

constexpr RuleInfo Rules[] = {
    {"depth cut (futility block)", SearchRule::DepthCut},
    {"futile node", SearchRule::Futility},
    {"futile first move", SearchRule::Futility},
    {"futile later move", SearchRule::Futility},
    {"hanging-piece cut", SearchRule::HangingCut},
    {"null move cutoff", SearchRule::NullMove},
    {"multi-cut cutoff", SearchRule::MultiCut},
    {"refutation sweep (miss)", SearchRule::RefutationSweep},
    {"late-move reduction", SearchRule::LateMoveReduction},
    {"singular (false, same depth)", SearchRule::Singular},
    {"singular (false, full depth)", SearchRule::Singular},
    {"singular extension verdict", SearchRule::Singular},
    {"q: stand-pat cut", SearchRule::StandPatCut},
    {"q: delta pruning", SearchRule::DeltaPruning},
    {"q: delta, stand pat lazy", SearchRule::DeltaPruning},
    {"q: quiet-check filter", SearchRule::CheckFilter},
};
static_assert(sizeof Rules / sizeof Rules[0] == CheckedRuleCount);

}  // namespace

SearchRule switch_of(CheckedRule r) { return Rules[int(r)].off; }
const char* checked_rule_name(CheckedRule r) { return Rules[int(r)].name; }

void reset_rule_oracle(bool enabled, uint32_t period, uint64_t nodeCap) {
  std::memset(&RuleOracle, 0, sizeof RuleOracle);
  RuleOracle.enabled = enabled;
  for (uint32_t& p : RuleOracle.period) p = period;
  RuleOracle.nodeCap = nodeCap;
}

bool take_rule_sample(CheckedRule r) {
  if (!RuleOracle.enabled || RuleOracle.reSearching != 0) return false;
  RuleTally& t = RuleOracle.tally[int(r)];
  t.firings += 1;
  const uint32_t k = RuleOracle.period[int(r)];
  if (k == 0 || (t.firings - 1) % k != 0) return false;
  t.sampled += 1;
  return true;
}

void note_rule_fault(const char* what) {
  if (RuleOracle.faults++ == 0) std::snprintf(RuleOracle.firstFault, sizeof RuleOracle.firstFault, "%s", what);
}

void book_node_verdict(CheckedRule r, int32_t alpha, int32_t beta, int32_t before, Move bestBefore,
                       int32_t after, Move bestAfter, Move sweepMove) {
  RuleTally& t = RuleOracle.tally[int(r)];
  const Verdict was = verdict_of(before, alpha, beta), full = verdict_of(after, alpha, beta);
  if (r == CheckedRule::RefutationSweep) {
    // Only a node that does not fail low has a best move to aim at.
    if (full == Verdict::FailLow || bestAfter == NoMove) {
      t.undecided += 1;
      return;
    }
    t.wrong += sweepMove != bestAfter;
    return;
  }
  if (was != full) {
    t.wrong += 1;
  } else if (was != Verdict::FailLow && bestBefore != NoMove && bestBefore != bestAfter) {
    t.moveChanged += 1;
  }
}

void book_move_verdict(CheckedRule r, int32_t alpha, int32_t best, int32_t score) {
  RuleTally& t = RuleOracle.tally[int(r)];
  if (score > alpha) t.wrong += 1;
  else if (score > best) t.moveChanged += 1;
}

#if TARROW_VERIFY

namespace {

TTEntry* slot_of(const PlyState& node, int which) {
  if (TransTable.entries == 0) return nullptr;
  return TransTable.arrays[node.side * 2 + which] + slot_index(node.indexKey);
}

// Killers and history of the search under test while a re-search runs (re-searches do not nest).
Killers SavedKillers[MaxPly + 1];
int32_t SavedHistory[2][HistorySize];

// One re-search: everything the search under test keeps between nodes is saved and given back
// afterwards, so that the outer search goes on as if nothing had happened, except for the
// table entries of other positions that the re-search stored (deeper results the outer search
// may find later) and the evaluation's running positional bounds.
class ReSearch {
 public:
  ReSearch(Position& pos, PlyState& node, CheckedRule r, PlyState* child = nullptr)
      : pos_(pos), node_(node), child_(child), savedNode_(node), rule_(r) {
    if (child) savedChild_ = *child;
    std::memcpy(SavedKillers, pos.killers, sizeof SavedKillers);
    std::memcpy(SavedHistory, pos.history, sizeof SavedHistory);
    stats_ = stats_of(pos);
    nodes_ = pos.nodes;
    nextPoll_ = Search.nextPoll;
    mask_ = AblatedRules;
    repTop_ = pos.repTop;
    depths_[0] = pos.nullDepth, depths_[1] = pos.refutationDepth;
    depths_[2] = pos.singularDepth, depths_[3] = pos.multiCutDepth;
    Search.nextPoll = UINT64_MAX;  // no clock and no input inside: the re-search runs to its end
    AblatedRules |= 1u << uint32_t(switch_of(r));
    RuleOracle.reSearching += 1;
    RuleOracle.stopAt = pos.nodes + RuleOracle.nodeCap;
    RuleOracle.capHit = false;
  }

  // Ends the re-search; false when it was cut off by the node cap (no verdict then).
  bool finish() {
    const bool complete = !RuleOracle.capHit;
    RuleTally& t = RuleOracle.tally[int(rule_)];
    t.nodes += pos_.nodes - nodes_;
    if (RuleOracle.capHit) {
      Control.StopRequested = false;
      RuleOracle.capHit = false;
      t.aborted += 1;
    }
    RuleOracle.reSearching -= 1;
    AblatedRules = mask_;
    Search.nextPoll = nextPoll_;
    pos_.nodes = nodes_;
    stats_of(pos_) = stats_;
    std::memcpy(pos_.killers, SavedKillers, sizeof SavedKillers);
    std::memcpy(pos_.history, SavedHistory, sizeof SavedHistory);
    if (pos_.repTop != repTop_ || pos_.nullDepth != depths_[0] || pos_.refutationDepth != depths_[1] ||
        pos_.singularDepth != depths_[2] || pos_.multiCutDepth != depths_[3])
      note_rule_fault("a re-search left the key stack or a nesting counter changed");
    node_ = savedNode_;
    if (child_) *child_ = savedChild_;
    const char* reason = nullptr;
    if (!position_is_consistent(pos_, child_ ? *child_ : node_, &reason)) {
      char text[200];
      std::snprintf(text, sizeof text, "board inconsistent after a re-search (%s): %s",
                    checked_rule_name(rule_), reason ? reason : "?");
      note_rule_fault(text);
    }
    return complete;
  }

 private:
  Position& pos_;
  PlyState& node_;
  PlyState* child_;
  PlyState savedNode_, savedChild_{};
  CheckedRule rule_;
  SearchStats stats_;
  uint64_t nodes_, nextPoll_;
  uint32_t mask_;
  uint32_t* repTop_;
  int32_t depths_[4];
};

// A zero-window search of a made child at `depth`, or of a quiescence child below depth 0,
// from the parent's view.
int32_t search_child(Position& pos, PlyState& child, int32_t alpha, int32_t depth, int mateExtensions,
                     bool quiescence) {
  if (quiescence) return -QuiescenceNode(pos, child, -alpha - 1, -alpha, depth);
  return -SearchNode(pos, child, -alpha - 1, -alpha, depth, Search.nullAllowed, mateExtensions);
}

}  // namespace

void save_node_slots(const PlyState& node, TTEntry out[2]) {
  for (int i = 0; i < 2; ++i) {
    const TTEntry* e = slot_of(node, i);
    out[i] = e ? *e : TTEntry{};
  }
}

void stop_rule_research() {
  RuleOracle.capHit = true;
  Control.StopRequested = true;
}

void check_node_rules(Position& pos, PlyState& node, int32_t alpha, int32_t beta, int32_t depth,
                      int nullAllowed, int mateExtensions, int32_t result, const TTEntry before[2]) {
  const uint32_t fired = RuleOracle.firedAt[node.ply] & NodeRules;
  if (!RuleOracle.enabled || RuleOracle.reSearching != 0 || Control.StopRequested || fired == 0) return;
  const Move bestBefore = node.bestMove;
  const Move sweep = RuleOracle.sweepMove[node.ply];
  for (int k = 0; k < CheckedRuleCount; ++k) {
    if (!(fired & (1u << k))) continue;
    const CheckedRule r = CheckedRule(k);
    if (!take_rule_sample(r)) continue;
    // The node's slots as they were when it started, so that the re-search does not simply
    // read back the result of the search under test; the outer search gets its own back.
    TTEntry after[2];
    save_node_slots(node, after);
    for (int i = 0; i < 2; ++i)
      if (TTEntry* e = slot_of(node, i)) *e = before[i];
    ReSearch rs(pos, node, r);
    const int32_t full = SearchNode(pos, node, alpha, beta, depth, nullAllowed, mateExtensions);
    const uint32_t refired = RuleOracle.firedAt[node.ply];
    const Move bestAfter = node.bestMove;
    const bool complete = rs.finish();
    for (int i = 0; i < 2; ++i)
      if (TTEntry* e = slot_of(node, i)) *e = after[i];
    if (!complete) continue;
    if (refired & (1u << k)) {
      char text[200];
      std::snprintf(text, sizeof text, "%s fired with its switch off", checked_rule_name(r));
      note_rule_fault(text);
    }
    if (full < -MateScore || full > MateScore) note_rule_fault("a re-search returned a score out of range");
    book_node_verdict(r, alpha, beta, result, bestBefore, full, bestAfter, sweep);
  }
  RuleOracle.firedAt[node.ply] = 0;
}

void check_skipped_move(Position& pos, PlyState& node, Move m, CheckedRule r, int32_t alpha,
                        int32_t depth, int mateExtensions) {
  if (!take_rule_sample(r)) return;
  const bool quiescence =
      r == CheckedRule::DeltaPruning || r == CheckedRule::DeltaOnQuickScore || r == CheckedRule::CheckFilter;
  ReSearch rs(pos, node, r);
  node.move = m;
  PlyState* child = make_move(pos, node);
  int32_t v = 0;
  if (child != nullptr) {
    v = search_child(pos, *child, alpha, depth, mateExtensions, quiescence);
    unmake_move(pos, *child);
  }
  if (!rs.finish()) return;
  if (child == nullptr) {
    RuleOracle.tally[int(r)].undecided += 1;
    return;
  }
  book_move_verdict(r, alpha, alpha, v);
}

void check_dropped_move(Position& pos, PlyState& child, CheckedRule r, int32_t alpha, int32_t best,
                        int32_t depth, int mateExtensions) {
  if (!take_rule_sample(r)) return;
  PlyState& node = (&child)[-1];
  ReSearch rs(pos, node, r, &child);
  const int32_t v = search_child(pos, child, alpha, depth, mateExtensions, false);
  if (!rs.finish()) return;
  book_move_verdict(r, alpha, best, v);
}

namespace {

// The strongest score of the moves other than `singular`, each searched with the window
// (alpha, beta) to `depth`; the search stops at the first move above `enough`.
int32_t strongest_other_move(Position& pos, PlyState& node, Move singular, int32_t alpha, int32_t beta,
                             int32_t depth, int32_t enough, int mateExtensions) {
  reset_picker(node);
  int32_t strongest = -MateScore;
  while (const Move m = NextMove(pos, node)) {
    if (m == singular) continue;
    node.move = m;
    PlyState* child = make_move(pos, node);
    if (child == nullptr) continue;
    const int32_t v = -SearchNode(pos, *child, -beta, -alpha, depth, Search.nullAllowed, mateExtensions);
    unmake_move(pos, *child);
    if (RuleOracle.capHit) break;
    if (v > strongest) strongest = v;
    if (v > enough) break;
  }
  reset_picker(node);
  return strongest;
}

}  // namespace

void check_singular_move(Position& pos, PlyState& node, Move singular, int32_t best, int32_t testDepth,
                         int32_t fullDepth, int mateExtensions) {
  // The bet: every other move scores at most best - 100. At the test's own depth the table
  // holds the test's upper bounds for these children; a full window is not cut off by them
  // (they only lower its top), so the children are searched again.
  if (take_rule_sample(CheckedRule::SingularMove)) {
    ReSearch rs(pos, node, CheckedRule::SingularMove);
    const int32_t v =
        strongest_other_move(pos, node, singular, -MateScore, MateScore, testDepth, best - 100, mateExtensions);
    if (rs.finish()) book_move_verdict(CheckedRule::SingularMove, best - 100, best - 100, v);
  }
  if (take_rule_sample(CheckedRule::SingularDeep)) {
    ReSearch rs(pos, node, CheckedRule::SingularDeep);
    const int32_t v =
        strongest_other_move(pos, node, singular, best - 100, best - 99, fullDepth, best - 100, mateExtensions);
    if (rs.finish()) book_move_verdict(CheckedRule::SingularDeep, best - 100, best - 100, v);
  }
}

void check_stand_pat(Position& pos, PlyState& node, int32_t alpha, int32_t beta, int32_t depth) {
  if (!take_rule_sample(CheckedRule::StandPat)) return;
  ReSearch rs(pos, node, CheckedRule::StandPat);
  const int32_t v = QuiescenceNode(pos, node, alpha, beta, depth);
  if (!rs.finish()) return;
  book_move_verdict(CheckedRule::StandPat, alpha, alpha, v);
}

#endif
