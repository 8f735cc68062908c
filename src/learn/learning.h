// Position learning: searches that found something worth remembering append a 96-byte record
// to "tarrow.pl2"; before every search the newest records that fit the game are put into the
// transposition table, so that a position met again starts with its old result.
#pragma once

#include <cstdint>

#include "board/position.h"

constexpr const char* LearningFileName = "tarrow.pl2";
constexpr int LearningRecordSize = 96;
constexpr long LearningTrimThreshold = 262144;  // records; beyond this the file is cut back
constexpr long LearningTrimKeep = 235929;       // the newest 90% of the threshold

// Record kinds of a report: a learning-only report of a completed iteration, or an exact or
// lower-bound principal-variation line.
enum LearningKind : int { LearningOnly = 0, LearningUpper = 1, LearningPvLine = 2 };

// The settings signature: records made under other playing settings are not used.
uint32_t learning_signature();

// Looks at the file before learning first uses it (the first merge or append of a session,
// or after "Clear PosLearning"), not at start-up: a session with learning off leaves the file
// untouched. A file that is not a regular file, or whose records do not have the form this
// engine writes, is set aside for the session (never read nor written) and an "info string"
// says so. A learning file loses a torn last record (a crash mid-write), and one of more than
// 262144 records is cut to its newest 235929.
void trim_learning_file();

// Whether learning may use the file; looks at it first (trim_learning_file) when not done yet.
bool learning_file_usable();

// Forgets what was found out about the file: it is looked at again before its next use.
void recheck_learning_file();

// Fills the move, score, depth and bound of the candidate record (kind 1 is never recorded).
void set_learning_candidate(int depth, int32_t score, int kind, Move best);

// Completes the candidate from the root position, the game board and the ponder move `reply`,
// and appends it to the file unless the file is set aside. Failures to write are ignored.
void append_learning_record(const PlyState& root, Move reply);

// Puts the newest records that fit the game into the table. Returns true when a record of the
// root position itself was applied (its expected reply is then stored after its best move).
bool merge_learned_positions(Position& pos, PlyState& root);

// The analysis memory: adds the table entries that the last merge wrote to the permanent list.
void keep_merged_entries_permanent();

// "Clear PosLearning": deletes the file (a missing file is no error; a file set aside goes
// too, as the user asked) and empties the analysis memory. "ucinewgame" empties the analysis
// memory only.
void clear_learning_file();
void clear_analysis_memory();
