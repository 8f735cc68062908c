// What the search tells the GUI while it runs: principal-variation lines, the current root
// move, node counts, refutations, the current line, hash status, MultiPV rankings and the
// summary at the end. Only the main thread prints; calls from worker threads do nothing.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "platform/clock.h"
#include "search/transposition.h"

constexpr int RootLineLength = 30;
constexpr int PvWalkPlyLimit = 28;
constexpr int MultiPVSlotsCapacity = 221;  // one per root move
constexpr int PvLineTextSize = 400;  // a 28-ply line with its header fits

// Bound type of a reported score.
enum ReportBound : int { ReportExact = 0, ReportUpper = 1, ReportLower = 2 };

// The principal variation of the last report: the moves from the root (ply 1 is the ponder
// candidate), with the table slot and entry copy that supplied each ply's move.
struct RootLine {
  Move moves[RootLineLength];
  bool hasSlot[RootLineLength];
  SlotRef slots[RootLineLength];
  TTEntry entries[RootLineLength];
};

struct MultiPVSlot {
  Move move;
  int32_t score;
  int32_t bound;
  int32_t depth;
  int32_t time;
  Move pv[9];
  char text[PvLineTextSize];
};

struct SearchReport {
  RootLine line;
  bool HideScore;            // every score of a principal-variation line shows as 0
  uint32_t tablebaseHits;    // of the current search
  // MultiPV ranking, one slot per root move.
  MultiPVSlot slots[MultiPVSlotsCapacity];
  int slotCount;
  bool multipvShown;         // MultiPV lines went out in this search
  char pendingText[PvLineTextSize];  // the last composed line (MultiPV keeps it here)
  // Throttling of the periodic lines, for the whole process.
  int lastDepth, lastSelDepth;
  int64_t lastCurrLineTick, lastHashStatusTick;
  // Processor clocks of the search threads and their readings at the start of the search, for
  // "cpuload" (thread 0 is the main thread; workers register their own).
  ThreadCpuClock cpuClocks[8];
  int64_t cpuAtStart[8];
};

extern SearchReport Report;

// Program start: the throttling state that lives for the whole process.
void reset_report_throttling();
// Search start: HideScore, hit counters, root line, MultiPV slots (filled with the root moves,
// score -30000), processor times.
void start_search_report(const Move* rootMoves, int rootMoveCount);

// A search thread's processor clock, registered by the thread itself when it starts (and
// taken away, with an invalid clock, when it ends), for "cpuload".
void register_thread_cpu_clock(int threadIndex, ThreadCpuClock clock);

// Total nodes of all search threads.
uint64_t total_nodes();
// The nodes of the helper threads alone (0 in the one-thread program).
uint64_t worker_nodes();

// The principal-variation line of the root move `best` with `score` (side to move's view) and
// `bound`. With MultiPV above 1 the line is kept in pendingText for send_multipv instead.
void send_pv_info(Position& pos, Move best, int depth, int64_t elapsed, int32_t score, int bound);
void send_currmove(Move m, int number);
// "info depth %d seldepth %d" once both differ from the last such line.
void send_depth(Position& pos, int depth);
void send_nodes();
void send_refutation(Position& pos, Move rootMove);
// From the input poll of the main thread, inside the tree at `node`.
void send_currline(const Position& pos, const PlyState& node, int64_t elapsed);
void send_hash_status(int64_t elapsed);
void send_search_summary(int64_t elapsed);
// The root has no legal move: the game is over, and the score says how ("mate 0" when the side
// to move is checkmated, "cp 0" for stalemate), so that a GUI has a score to show beside the
// null move.
void send_score_without_moves(bool checkmated);
// Enters the reported root move into the MultiPV ranking and prints the ranking from depth 4.
void send_multipv(Move best, int depth, int64_t elapsed, int32_t score, int bound);

// The deepest ply record in use in this search (the selective depth before the floor of the
// iteration depth is applied).
int deepest_ply_in_use(const Position& pos);
