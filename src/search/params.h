// The per-search settings and shared state that the node procedures read. The root driver
// fills them before every search (from the options, the root preparation and the iteration);
// tests fill them directly. Written by the main thread only.
#pragma once

#include <cstdint>

#include "platform/relaxed.h"

struct SearchParams {
  // From the options and the root preparation.
  int32_t futilityDepth;       // greatest remaining depth at which moves may be futility-pruned
  bool lateMoveReductions;
  bool futilityOn;             // futility and the razoring-style depth cut
  bool singularOn;
  bool multiCutOn;
  bool pawnEndingExtOn;
  bool quietChecks;            // quiescence may generate quiet checks
  bool endgame;                // the root position is in an endgame-like stage
  int32_t hangingPlyLimit;     // the hanging-piece depth cut applies above this ply
  int32_t checkExtPlyLimit;    // unconditional check extension up to this ply
  int32_t bigReductionDepth;   // from this reduced depth on the reductions grow by one
  int32_t repetitionShift;     // repetition scores are +-(ply >> shift) when checks are involved
  int32_t rootBalance;         // white minus black material at the root
  int32_t nullAllowed;         // null-move permission handed to the children of real moves
  // Changed by the main thread during a search (probing switched off, probing made shallower).
  Relaxed<int32_t> tbMaxMen;   // tablebase probes in the tree up to this many men (0: none)
  Relaxed<int32_t> tbDepthMargin;
  bool zugzwangRisk;           // the material marks the null move's need for pawn moves

  // Per iteration: the main thread rewrites them while the workers search.
  Relaxed<int32_t> iterationDepth;
  Relaxed<int32_t> extensionLimit;    // extensions only while depth + ply stays below it
  Relaxed<int32_t> singularPlyLimit;
  Relaxed<int32_t> nullPlyLimit;      // below this ply a null move needs safe pawn moves in reserve

  // Shared state of the running search.
  uint64_t nextPoll;           // node count of the main thread's next input and clock poll
  int64_t startTime;           // tick count at the start of the search
  bool stable;                 // the root's best move has not just failed or changed
  int64_t lastHashStatus;      // tick of the last hash/nps status line
};

extern SearchParams Search;

// The settings of a default search (default options, a middlegame root, iteration depth 1).
void reset_search_params();

// extensionLimit for an iteration depth and the "Selectivity" value (-3..99).
int32_t extension_limit_for(int32_t iterationDepth, int32_t selectivity);

// The per-search settings from the options and the root preparation (run the preparation
// first). `root` is the root ply of the main thread.
struct PlyState;
void load_search_settings(const PlyState& root);
// The per-iteration settings for iteration depth d.
void set_iteration_depth(int32_t d);
