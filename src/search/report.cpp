#include "search/report.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/makemove.h"
#include "board/movegen.h"
#include "core/options.h"
#include "core/output.h"
#include "learn/learning.h"
#include "platform/clock.h"
#include "platform/system.h"
#include "search/repetition.h"
#include "search/threads.h"

SearchReport Report;

namespace {

// A fixed text buffer that is appended to and never overflows (a line is at most a few
// hundred characters; anything beyond the buffer is cut).
struct Text {
  char* data;
  size_t size;
  size_t length = 0;
  Text(char* buffer, size_t capacity) : data(buffer), size(capacity) { data[0] = 0; }
  void add(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    if (length + 1 >= size) return;
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(data + length, size - length, format, args);
    va_end(args);
    if (n > 0) length = length + size_t(n) < size ? length + size_t(n) : size - 1;
  }
  void add_move(Move m) {
    char t[6];
    move_text(m, t);
    add(" %s", t);
  }
};

bool on_main_thread(const Position& pos) { return pos.threadIndex == 0; }

// Nodes per second in single precision, truncated, as the GUI has always been shown them.
int nps_of(uint64_t nodes, int64_t elapsed) {
  return int(float(nodes) * 1000.0f / float(elapsed));
}

void add_score(Text& text, int32_t s, int bound) {
  if (Report.HideScore) s = 0;
  if (s > 29000) {
    const int m = (30001 - s) / 2;
    text.add("mate %d ", m);
    if (m >= 145) text.add("lowerbound ");
  } else if (s < -29000) {
    const int m = (s + 30000) / 2;
    text.add("mate -%d ", m);
    if (m >= 145) text.add("upperbound ");
  } else {
    text.add("cp %d ", s);
  }
  if (bound == ReportUpper) text.add("upperbound ");
  else if (bound == ReportLower) text.add("lowerbound ");
}

// Follows the stored principal variation from the position after `node` plays `m`. A primary
// entry must be exact with the expected score (any mate score will do); a secondary one must
// match exactly and then changes places with the primary one.
void walk_line(Position& pos, PlyState& node, Move m, int32_t expected, Text& text) {
  node.move = m;
  PlyState* next = make_move(pos, node);
  if (!next) return;
  if (next->ply < PvWalkPlyLimit && !is_repetition(pos, *next, 2)) {
    const SlotRef primary = primary_slot(*next);
    TTEntry e;
    Move found = NoMove;
    if (probe_slot(*next, primary, e) && e.best_move() && e.exact() &&
        (e.score() == expected || std::abs(expected) >= 29000)) {
      found = e.best_move();
    } else {
      const SlotRef secondary = secondary_slot(*next);
      if (probe_slot(*next, secondary, e) && e.best_move() && e.exact() && e.score() == expected) {
        found = e.best_move();
        const TTEntry displaced = read_slot(primary);
        write_slot(primary, read_slot(secondary));
        write_slot(secondary, displaced);
      }
    }
    if (found && move_is_possible(pos, *next, found)) {
      const int ply = next->ply;
      if (ply < RootLineLength) {
        Report.line.moves[ply] = found;
        Report.line.hasSlot[ply] = true;
        Report.line.slots[ply] = primary;
        Report.line.entries[ply] = e;
      }
      text.add_move(found);
      walk_line(pos, *next, found, -expected, text);
    }
  }
  unmake_move(pos, *next);
}

void send_multipv_slots(int shown) {
  for (int i = 0; i < shown; ++i) send_line("info multipv %d %s\n", i + 1, Report.slots[i].text);
  Report.multipvShown = true;
}

}  // namespace

void reset_report_throttling() {
  Report.lastDepth = Report.lastSelDepth = -1;
  Report.lastCurrLineTick = Report.lastHashStatusTick = 0;
}

void start_search_report(const Move* rootMoves, int rootMoveCount) {
  Report.HideScore = false;
  Report.tablebaseHits = 0;
  std::memset(&Report.line, 0, sizeof Report.line);
  Report.slotCount = rootMoveCount < MultiPVSlotsCapacity ? rootMoveCount : MultiPVSlotsCapacity;
  Report.multipvShown = false;
  for (int i = 0; i < Report.slotCount; ++i) {
    MultiPVSlot& slot = Report.slots[i];
    std::memset(&slot, 0, sizeof slot);
    slot.move = rootMoves[i];
    slot.score = -30000;
    slot.depth = 0;
  }
  Report.cpuClocks[0] = current_thread_cpu_clock();
  for (int i = 0; i < MaxThreads; ++i) Report.cpuAtStart[i] = thread_cpu_time_ms(Report.cpuClocks[i]);
}

void register_thread_cpu_clock(int threadIndex, ThreadCpuClock clock) {
  if (threadIndex >= 0 && threadIndex < MaxThreads) Report.cpuClocks[threadIndex] = clock;
}

uint64_t worker_nodes() {
  uint64_t sum = 0;
  for (int i = 1; i < MaxThreads; ++i)
    if (ThreadPositions[i]) sum += ThreadPositions[i]->nodes;
  return sum;
}

uint64_t total_nodes() { return (ThreadPositions[0] ? ThreadPositions[0]->nodes : 0) + worker_nodes(); }

int deepest_ply_in_use(const Position& pos) {
  int deepest = 0;
  for (int k = 1; k <= MaxPly; ++k)
    if (pos.plies[k].lockKey) deepest = k;
  return deepest;
}

void send_pv_info(Position& pos, Move best, int depth, int64_t elapsed, int32_t score, int bound) {
  if (!on_main_thread(pos)) return;
  if (Options.PositionLearning && depth != 0 && bound != ReportUpper)
    set_learning_candidate(depth, score, LearningPvLine, best);
  int selDepth = deepest_ply_in_use(pos);
  selDepth = selDepth >= MaxPly ? (depth > 99 ? depth : 99) : (selDepth < depth ? depth : selDepth);

  const Move oldFirst = Report.line.moves[0], oldSecond = Report.line.moves[1];
  std::memset(&Report.line, 0, sizeof Report.line);
  Report.line.moves[0] = best;

  Text text(Report.pendingText, sizeof Report.pendingText);
  if (Options.MultiPVCount == 1) text.add("info ");
  text.add("depth %d seldepth %d time %d score ", depth, selDepth, int(elapsed));
  add_score(text, score, bound);
  if (pos.nodes > 0) {
    const uint64_t nodes = total_nodes();
    text.add("nodes %llu ", static_cast<unsigned long long>(nodes));
    if (elapsed > 0) text.add("nps %d ", nps_of(nodes, elapsed));
  }
  if (TransTable.entries) text.add("hashfull %d ", hash_fill());
  text.add("pv");
  text.add_move(best);
  walk_line(pos, pos.plies[0], best, -score, text);
  // A shorter re-search must not lose the move to ponder on.
  if (!Report.line.moves[1] && oldSecond && oldFirst == best) {
    Report.line.moves[1] = oldSecond;
    text.add_move(oldSecond);
  }
  if (Options.MultiPVCount == 1) send_line("%s\n", Report.pendingText);
}

void send_currmove(Move m, int number) {
  char t[6];
  move_text(m, t);
  send_line("info currmovenumber %d currmove %s\n", number, t);
}

void send_depth(Position& pos, int depth) {
  int selDepth = deepest_ply_in_use(pos);
  selDepth = selDepth >= MaxPly ? (depth > 99 ? depth : 99) : (selDepth < depth ? depth : selDepth);
  if (depth == Report.lastDepth || selDepth == Report.lastSelDepth) return;
  Report.lastDepth = depth;
  Report.lastSelDepth = selDepth;
  send_line("info depth %d seldepth %d\n", depth, selDepth);
}

void send_nodes() {
  send_line("info nodes %llu\n", static_cast<unsigned long long>(total_nodes()));
}

namespace {

// The stored replies after `m`, while the position reached is at most four plies deep.
void walk_refutation(Position& pos, PlyState& node, Move m, Text& text) {
  if (node.ply > 4) return;
  node.move = m;
  PlyState* next = make_move(pos, node);
  if (!next) return;
  TTEntry e;
  if (probe_slot(*next, primary_slot(*next), e) && e.best_move() &&
      move_is_possible(pos, *next, e.best_move())) {
    text.add_move(e.best_move());
    walk_refutation(pos, *next, e.best_move(), text);
  }
  unmake_move(pos, *next);
}

}  // namespace

void send_refutation(Position& pos, Move rootMove) {
  if (!on_main_thread(pos)) return;
  char buffer[PvLineTextSize];
  Text text(buffer, sizeof buffer);
  text.add("info refutation ");
  text.add_move(rootMove);
  walk_refutation(pos, pos.plies[0], rootMove, text);
  send_line("%s\n", buffer);
}

void send_currline(const Position& pos, const PlyState& node, int64_t elapsed) {
  if (!on_main_thread(pos)) return;
  char buffer[PvLineTextSize];
  Text text(buffer, sizeof buffer);
  const uint64_t nodes = total_nodes();
  char npsText[32] = "";
  if (elapsed > 0) std::snprintf(npsText, sizeof npsText, "nps %d ", nps_of(nodes, elapsed));
  text.add("info nodes %llu %scurrline %d", static_cast<unsigned long long>(nodes), npsText, 1);
  for (int k = 0; k < node.ply && k < PvWalkPlyLimit && pos.plies[k].move; ++k)
    text.add_move(pos.plies[k].move);
  send_line("%s\n", buffer);
}

void send_hash_status(int64_t elapsed) {
  send_line("info hashfull %d nps %d\n", hash_fill(), elapsed > 0 ? nps_of(total_nodes(), elapsed) : 0);
}

void send_score_without_moves(bool checkmated) {
  send_line(checkmated ? "info depth 0 score mate 0\n" : "info depth 0 score cp 0\n");
}

void send_search_summary(int64_t elapsed) {
  // The lines appear from depth 4 on; a search that ended sooner still shows what it found.
  if (Options.MultiPVCount > 1 && !Report.multipvShown) {
    int searched = 0;  // the searched slots rank above the others
    while (searched < std::min(Options.MultiPVCount, Report.slotCount) &&
           Report.slots[searched].depth > 0)
      ++searched;
    send_multipv_slots(searched);
  }
  char buffer[PvLineTextSize];
  Text text(buffer, sizeof buffer);
  text.add("info ");
  const uint64_t nodes = total_nodes();
  if (elapsed > 0) {
    text.add("nps %d ", nps_of(nodes, elapsed));
    int64_t cpu = 0;
    for (int i = 0; i < MaxThreads; ++i)
      cpu += thread_cpu_time_ms(Report.cpuClocks[i]) - Report.cpuAtStart[i];
    // Per mille of the processors the search could use: the threads, or the machine's
    // processors when there are more threads than those.
    const int64_t usable = std::max(1, std::min(Options.ThreadCount, processor_count()));
    const int64_t load = cpu * 1000 / elapsed / usable;
    if (load > 0) text.add("cpuload %d ", int(std::min<int64_t>(load, 1000)));
  }
  if (ThreadPositions[0] && ThreadPositions[0]->nodes > 0)
    text.add("nodes %llu ", static_cast<unsigned long long>(nodes));
  if (TransTable.entries) text.add("hashfull %d ", hash_fill());
  if (Report.tablebaseHits > 0) text.add("tbhits %u ", Report.tablebaseHits);
  send_line("%s\n", buffer);
}

void send_multipv(Move best, int depth, int64_t elapsed, int32_t score, int bound) {
#if TARROW_MP
  SpinGuard guard(OutputLock);
#endif
  MultiPVSlot* slot = nullptr;
  for (int i = 0; i < Report.slotCount; ++i)
    if (Report.slots[i].move == best) slot = &Report.slots[i];
  if (!slot) return;
  slot->score = score;
  slot->bound = bound;
  slot->depth = depth;
  slot->time = int32_t(elapsed);
  std::snprintf(slot->text, sizeof slot->text, "%s", Report.pendingText);
  for (int i = 0; i < 8; ++i) slot->pv[i] = Report.line.moves[i];
  slot->pv[8] = NoMove;

  // Neighbour exchanges until a pass changes nothing: a higher score moves up unless its
  // depth is lower.
  for (bool swapped = true; swapped;) {
    swapped = false;
    for (int i = 1; i < Report.slotCount; ++i) {
      MultiPVSlot& a = Report.slots[i - 1];
      MultiPVSlot& b = Report.slots[i];
      if (b.score > a.score && b.depth >= a.depth) {
        const MultiPVSlot t = a;
        a = b;
        b = t;
        swapped = true;
      }
    }
  }
  const int shown = Options.MultiPVCount < Report.slotCount ? Options.MultiPVCount : Report.slotCount;
  if (shown < Report.slotCount) {
    Report.slots[shown].score = -30000;
    Report.slots[shown].depth = -9999;
  }
  if (depth < 4) return;
  send_multipv_slots(shown);
}
