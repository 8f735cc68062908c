// The pruning-rule oracle. Every pruning, reduction and extension rule of the search makes a
// bet: that a skipped move would not have raised alpha, that a node cut off by the null move
// would also fail high when searched in full, that a reduced search tells which late moves
// matter. For a sample of the places where a rule fires, the oracle searches the same node (or
// the skipped move) again at the same depth and window with that rule switched off in the whole
// subtree, and counts the bets that were lost.
//
// The bookkeeping (firings, samples, verdicts, rates) is compiled in every build so that the
// tests can reach it; the re-searches and the hooks in the search exist only in the verify
// build (TARROW_VERIFY), where VERIFY_HOOK(...) expands to its argument. Elsewhere it expands
// to nothing and the search is the release search.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "search/ablation.h"

enum class CheckedRule : uint8_t {
  DepthCut,           // the futility block's two plies off a node far below alpha
  FutileNode,         // a node whose moves were futility-pruned: same verdict without it?
  FutileFirstMove,    // the first move scored without a search
  FutileLaterMove,    // a later move skipped
  HangingCut,         // one ply off when the last mover hangs
  NullMove,           // a null-move cutoff
  MultiCut,           // a multi-cut cutoff
  RefutationSweep,    // the sweep's move against the best move of a search without the sweep
  LateMoveReduction,  // a late move dropped after its reduced search
  SingularMove,       // a move found singular: does a full-window search of every other move at
                      // the test's own depth find one within 100 of the best score?
  SingularDeep,       // the same bet at the depth the other moves are searched to in the node
  SingularVerdict,    // a singular extension: does the node's verdict change without it?
  StandPat,           // quiescence: a stand pat far below alpha returns alpha
  DeltaPruning,       // quiescence: a capture that cannot reach alpha
  DeltaOnQuickScore,  // the same, where the stand pat was the quick score (a lazy evaluation)
  CheckFilter,        // quiescence: a quiet check onto a guarded square
  Count
};
constexpr int CheckedRuleCount = int(CheckedRule::Count);

// The rules checked by searching the whole node again (the others search one move).
constexpr uint32_t NodeRules =
    (1u << int(CheckedRule::DepthCut)) | (1u << int(CheckedRule::FutileNode)) |
    (1u << int(CheckedRule::HangingCut)) | (1u << int(CheckedRule::NullMove)) |
    (1u << int(CheckedRule::MultiCut)) | (1u << int(CheckedRule::RefutationSweep)) |
    (1u << int(CheckedRule::SingularVerdict));

// The search rule that a checked rule's re-search switches off.
SearchRule switch_of(CheckedRule r);
const char* checked_rule_name(CheckedRule r);

struct RuleTally {
  uint64_t firings;      // times the rule fired in the searches under test
  uint64_t sampled;      // of those, searched again
  uint64_t aborted;      // re-searches cut off by the node cap: no verdict
  uint64_t undecided;    // re-searches with nothing to compare (an illegal skipped move; for the
                         // sweep, a node that fails low and so has no best move)
  uint64_t wrong;        // verdicts the rule got wrong
  uint64_t moveChanged;  // node rules: same verdict, other best move; dropped late moves: the
                         // move would have become the best one without raising alpha
  uint64_t nodes;        // nodes of the re-searches
  uint64_t verdicts() const { return sampled - aborted - undecided; }
  double error_percent() const { return verdicts() ? 100.0 * double(wrong) / double(verdicts()) : 0.0; }
};

// Classes of a fail-soft score against the window it was searched with.
enum class Verdict : uint8_t { FailLow, Exact, FailHigh };
inline Verdict verdict_of(int32_t score, int32_t alpha, int32_t beta) {
  return score <= alpha ? Verdict::FailLow : score >= beta ? Verdict::FailHigh : Verdict::Exact;
}

struct RuleOracleState {
  RuleTally tally[CheckedRuleCount];
  uint32_t period[CheckedRuleCount];  // every period-th firing is searched again (0: never)
  uint64_t nodeCap;                   // most nodes one re-search may take
  bool enabled;
  int reSearching;                    // a re-search is running: no firing counts, no sampling
  uint64_t stopAt;                    // node count at which the running re-search is cut off
  bool capHit;
  uint64_t faults;                    // internal consistency checks that failed
  char firstFault[200];
  uint32_t firedAt[MaxPly + 1];       // node rules that fired at the node of each ply
  Move sweepMove[MaxPly + 1];         // the refutation sweep's move at each ply
};
extern RuleOracleState RuleOracle;

// Clears the tallies and the faults and sets the sampling: each rule's every `period`-th firing
// is searched again, each re-search with at most `nodeCap` nodes.
void reset_rule_oracle(bool enabled, uint32_t period, uint64_t nodeCap);
// Counts a firing of `r` outside a re-search and says whether this one is to be re-searched.
bool take_rule_sample(CheckedRule r);
// Books the verdict of a re-search of a node rule: `before` is what the node returned with
// the rule on, `after` without it, both against (alpha, beta), with the best moves found.
void book_node_verdict(CheckedRule r, int32_t alpha, int32_t beta, int32_t before, Move bestBefore,
                       int32_t after, Move bestAfter, Move sweepMove);
// Books a skipped or dropped move searched in full: `score` against the alpha it was skipped
// under and the node's best score at the time.
void book_move_verdict(CheckedRule r, int32_t alpha, int32_t best, int32_t score);
void note_rule_fault(const char* what);

inline void note_node_rule(int ply, CheckedRule r) { RuleOracle.firedAt[ply] |= 1u << uint32_t(r); }

#if TARROW_VERIFY
#define VERIFY_HOOK(...) __VA_ARGS__

struct TTEntry;
// The node's two table slots, as they were before the node ran (so that a re-search does not
// find the node's own result).
void save_node_slots(const PlyState& node, TTEntry out[2]);
// Called by SearchNode after the node returned `result`: re-searches a sample of the node rules
// that fired there.
void check_node_rules(Position& pos, PlyState& node, int32_t alpha, int32_t beta, int32_t depth,
                      int nullAllowed, int mateExtensions, int32_t result, const TTEntry before[2]);
// Inside a re-search past its node cap: sets the stop flag (cleared again when it ends).
inline bool rule_oracle_over_cap(const Position& pos) {
  return RuleOracle.reSearching != 0 && pos.nodes >= RuleOracle.stopAt;
}
void stop_rule_research();
// A move of `node` that a rule skipped before making it: made here and searched in full with
// the zero window at `alpha`, to `depth` (a full-width child) or as a quiescence child.
void check_skipped_move(Position& pos, PlyState& node, Move m, CheckedRule r, int32_t alpha,
                        int32_t depth, int mateExtensions);
// A made move whose search a rule skipped or cut short: `child` searched in full.
void check_dropped_move(Position& pos, PlyState& child, CheckedRule r, int32_t alpha, int32_t best,
                        int32_t depth, int mateExtensions);
// Every move but `singular` searched again: with the full window at the test's depth
// `testDepth`, and with the test's window (best - 100, best - 99) at `fullDepth`.
void check_singular_move(Position& pos, PlyState& node, Move singular, int32_t best, int32_t testDepth,
                         int32_t fullDepth, int mateExtensions);
// A quiescence node cut by its stand pat: searched again without the cut.
void check_stand_pat(Position& pos, PlyState& node, int32_t alpha, int32_t beta, int32_t depth);
#else
#define VERIFY_HOOK(...)
#endif
