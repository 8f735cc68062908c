// Switches for strength experiments: each pruning, reduction and extension rule of the search
// can be turned off to measure in games what it is worth. Only a build configured with
// TARROW_ABLATION reads them (from the environment variable TARROW_ABLATE, a comma-separated
// list of rule names, at start-up); in a normal build every rule is a compile-time constant
// "on" and costs nothing.
#pragma once

#include <cstdint>

enum class SearchRule : uint32_t {
  NullMove,           // null-move cutoffs
  MultiCut,           // multi-cut at expected cut nodes
  RefutationSweep,    // cheap search for a first move when the table has none
  CutNodeDeepening,   // stepwise deepening at an expected cut node whose first move failed
  LateMoveReduction,  // reduced search of late quiet moves
  Futility,           // futility pruning of moves near the horizon
  DepthCut,           // two plies off nodes that stand far below alpha
  HangingCut,         // one ply off when the last mover hangs
  Singular,           // singular extension (table flag and own test)
  MateThreat,         // mate-threat extension
  Extensions,         // ExtensionFor: checks, recaptures, pawn endings, pawns to the seventh
  QuiescenceChecks,   // quiet checks in the quiescence search
  DeltaPruning,       // captures that cannot reach alpha in the quiescence search
  KeptScores,         // scores of earlier searches count when the evaluation settings agree,
                      // even if the root's piece-square tables differ
  StandPatCut,        // a quiescence node whose static score stands far below alpha returns alpha
  CheckFilter,        // quiet checks onto guarded squares are not searched in the quiescence search
  Count
};

// Variations of a rule that the engine does not play, on trial in the same experiment builds
// (environment variable TARROW_TRIALS): what a different rule would be worth, measured in games
// before anyone argues for it. A normal build compiles them out.
// Measured in self-play at 25000 nodes a move against the engine's own rule: earlylmr -27 +-37
// (285 games), deeplmr -13 +-25 (600), deepnull -1 +-25 (600). Each searches a smaller tree to
// the same depth, none plays stronger at the same nodes.
enum class SearchTrial : uint32_t {
  EarlyReductions,   // late-move reductions from the fourth move tried, not only past the first quarter
  DeeperReductions,  // one ply more off late moves at depth 6 and more, from the twelfth move tried
  DeeperNullMove,    // the null move searched one ply shallower (two from depth 8 on)
  Count
};

#if TARROW_ABLATION
extern uint32_t AblatedRules;
inline bool rule_on(SearchRule r) { return (AblatedRules & (1u << uint32_t(r))) == 0; }
// Reads TARROW_ABLATE; returns false and names the first unknown rule in `bad`.
bool read_ablation_switches(const char*& bad);
extern uint32_t TrialsOn;
inline bool trial_on(SearchTrial t) { return (TrialsOn & (1u << uint32_t(t))) != 0; }
// Reads TARROW_TRIALS; returns false and names the first unknown trial in `bad`.
bool read_search_trials(const char*& bad);
#else
constexpr bool rule_on(SearchRule) { return true; }
inline bool read_ablation_switches(const char*&) { return true; }
constexpr bool trial_on(SearchTrial) { return false; }
inline bool read_search_trials(const char*&) { return true; }
#endif
