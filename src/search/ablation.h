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
  StandPatCut,        // a quiescence node whose static score stands far below alpha returns alpha
  CheckFilter,        // quiet checks onto guarded squares are not searched in the quiescence search
  Count
};

#if TARROW_ABLATION
extern uint32_t AblatedRules;
inline bool rule_on(SearchRule r) { return (AblatedRules & (1u << uint32_t(r))) == 0; }
// Reads TARROW_ABLATE; returns false and names the first unknown rule in `bad`.
bool read_ablation_switches(const char*& bad);
#else
constexpr bool rule_on(SearchRule) { return true; }
inline bool read_ablation_switches(const char*&) { return true; }
#endif
