// A slow twin of the staged move pickers. At a node whose picker has not started, a copy of
// the picker is run to exhaustion on scratch lists and what it handed out is compared with a
// plain generation of every move of the position (all kinds at once, as if not in check, each
// move made to see whether it is legal): every legal move once, nothing that is not a move,
// and the stages in their order (table moves, winning and even captures, this ply's killers,
// losing captures, the other quiet moves by their scores; for quiescence the table move,
// captures, then evasions or quiet checks). The node is left exactly as it was, so a search
// that runs the check at every node plays the same moves and counts the same nodes.
#pragma once

#include <cstdint>

#include "board/position.h"

// What went wrong at a node, one count per kind.
enum class PickerFault : int {
  MissingMove,   // a legal move (of those the picker owes) never handed out
  ExtraMove,     // handed out although the picker does not owe it, or not a move at all
  Duplicate,     // the same move handed out twice
  StageOrder,    // a move of a later stage before one of an earlier stage
  ScoreOrder,    // within a stage, a lower-scored move before a higher-scored one
  CheckCounter,  // the incremental check counter disagrees with the ply flags
  GeneratedCount,  // after full generation, the node's count of generated moves is not theirs
  Count
};

// Moves handed out per stage, for the report.
enum PickerClass : int {
  ClassHashMove,
  ClassSecondMove,
  ClassGoodCapture,
  ClassKiller,
  ClassBadCapture,
  ClassQuiet,
  ClassQuiescenceCapture,
  ClassQuiescenceQuiet,  // evasions or quiet checks
  ClassCount
};

struct PickerOracleState {
  bool enabled;
  bool running;             // inside a check: the hooks stay quiet
  uint32_t sampleEvery;     // check one picker start in this many (1: all)
  uint64_t starts;          // picker starts seen
  uint64_t fullNodes, quiescenceNodes, inCheckNodes, quietCheckNodes;
  uint64_t movesCompared;
  uint64_t disagreements;   // nodes with at least one fault
  uint64_t faults[int(PickerFault::Count)];
  uint64_t handedOut[ClassCount];
  int reported;             // fault descriptions printed so far (the first few only)
};

extern PickerOracleState PickerOracle;

void reset_picker_oracle(bool enabled, uint32_t sampleEvery);

// The checks themselves; each returns the number of faults found at the node (0: agreement).
// `depth` is the quiescence node's remaining depth.
int check_full_picker(Position& pos, PlyState& node);
int check_quiescence_picker(Position& pos, PlyState& node, int32_t depth);

// Whether the picker of this node is about to hand out its first move and a check is due.
inline bool picker_check_due(const PlyState& node) {
  if (!PickerOracle.enabled || PickerOracle.running) return false;
  if (node.pickStage != 0 || node.generated != 0) return false;
  return ++PickerOracle.starts % PickerOracle.sampleEvery == 0;
}

void print_picker_oracle_report();
