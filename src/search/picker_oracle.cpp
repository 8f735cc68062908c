#include "search/picker_oracle.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/makemove.h"
#include "board/movegen.h"
#include "search/ablation.h"
#include "search/params.h"
#include "search/picker.h"

PickerOracleState PickerOracle{};

namespace {

constexpr int MaxMoves = 256;

struct MoveSet {
  Move moves[MaxMoves];
  int count = 0;
  void add(Move m) {
    if (count < MaxMoves) moves[count++] = m;
  }
  bool has(Move m) const {
    for (int i = 0; i < count; ++i)
      if (moves[i] == m) return true;
    return false;
  }
};

int sign(int v) { return (v > 0) - (v < 0); }

// Whether `piece` standing on `from` attacks `target` on the board as it is, with the square
// `vacated` read as empty. Worked out from file and rank differences, without the engine's
// direction and attack tables.
bool attacks_square(const uint8_t* board, int piece, Square from, Square target, Square vacated) {
  const int df = file_of(target) - file_of(from), dr = rank_of(target) - rank_of(from);
  const int af = std::abs(df), ar = std::abs(dr);
  if (af == 0 && ar == 0) return false;
  bool line = false;
  switch (piece_type(piece)) {
    case 1: return std::max(af, ar) == 1;
    case 2: return af == 1 && dr == (colour_of(piece) == White ? 1 : -1);
    case 3: return (af == 1 && ar == 2) || (af == 2 && ar == 1);
    case 5: line = af == ar; break;
    case 6: line = af == 0 || ar == 0; break;
    case 7: line = af == ar || af == 0 || ar == 0; break;
    default: return false;
  }
  if (!line) return false;
  const int sf = sign(df), sr = sign(dr);
  for (int f = file_of(from) + sf, r = rank_of(from) + sr; f != file_of(target) || r != rank_of(target);
       f += sf, r += sr) {
    const Square s = square_at(f, r);
    if (board[s] != Empty && s != vacated) return false;
  }
  return true;
}

// A quiet move that the quiescence search's check generator owes: not the king, not castling,
// and the man on its new square attacks the enemy king (discovered checks do not count).
bool is_owed_quiet_check(const Position& pos, const PlyState& node, Move m) {
  if (is_capture_or_promotion(m) || (m & CastleFlag)) return false;
  const int piece = move_piece(m);
  if (is_king(piece)) return false;
  const Square king = king_square(pos, node.side ^ 1);
  return attacks_square(pos.board, piece, move_to(m), king, move_from(m));
}

// Every pseudo-legal move of the node from one plain generation of all kinds, as if the side
// to move were not in check (so the evasion generator is not the one that answers).
void plain_moves(Position& pos, PlyState& node, MoveSet& out) {
  PlyState scratch = node;
  scratch.flags &= ~InCheckFlag;
  scratch.hashMove = scratch.hashMove2Tried = NoMove;
  reset_ply_lists(scratch);
  generate_moves(pos, scratch, GenAll, 1);
  for (const MoveEntry* list : {scratch.captureBegin, scratch.quietBegin})
    for (const MoveEntry* e = list; e->score != SentinelScore; ++e) out.add(e->move);
}

bool is_legal(Position& pos, PlyState& node, Move m) {
  node.move = m;
  PlyState* next = make_move(pos, node);
  if (!next) return false;
  unmake_move(pos, *next);
  return true;
}

bool is_underpromotion(Move m) {
  const int p = move_promotion(m);
  return p != 0 && piece_type(p) != 7;
}

// A killer of this ply: a quiet move with the from and to squares of one of them.
bool is_current_killer(const Position& pos, const PlyState& node, Move m) {
  const Killers& now = pos.killers[node.ply];
  const int idx = history_index(m);
  return (now.move[0] && idx == history_index(now.move[0])) || (now.move[1] && idx == history_index(now.move[1]));
}

// The quiet-move order: this ply's killers first, then the killers of two plies earlier, then
// the history counter of the move's from and to squares. Ranks above any counter stand for
// the killers.
int64_t quiet_rank(const Position& pos, const PlyState& node, Move m) {
  const int idx = history_index(m);
  const Killers& before = pos.killers[node.ply >= 2 ? node.ply - 2 : 0];
  if (is_current_killer(pos, node, m)) return int64_t(INT32_MAX) + 2;
  if ((before.move[0] && idx == history_index(before.move[0])) ||
      (before.move[1] && idx == history_index(before.move[1])))
    return int64_t(INT32_MAX) + 1;
  return pos.history[node.side][idx];
}

void describe(const Position& pos, const PlyState& node, const char* what, Move m, const Move* got,
              int gotCount) {
  if (PickerOracle.reported >= 12) return;
  ++PickerOracle.reported;
  char text[6];
  move_text(m, text);
  if (m != NoMove) std::printf("picker fault: %s %s (move %08x)", what, text, unsigned(m));
  else std::printf("picker fault: %s", what);
  std::printf(" at ply %d, side %d, check %d, line", node.ply, node.side, in_check(node) ? 1 : 0);
  for (int k = 0; k < node.ply; ++k) {
    move_text(pos.plies[k].move, text);
    std::printf(" %s", text);
  }
  std::printf("\n  handed out:");
  for (int i = 0; i < gotCount; ++i) {
    move_text(got[i], text);
    std::printf(" %s", text);
  }
  std::printf("\n");
}

struct Verdict {
  int faults = 0;
  void add(PickerFault f) {
    ++faults;
    ++PickerOracle.faults[int(f)];
  }
};

// The picked sequence against the owed set: nothing twice, nothing unowed, every owed move
// present. Illegal moves may be missing where the picker has a reason to leave them out: in
// check (the evasion generator skips most illegal ones) and for the table moves (the
// stored-move test rejects castling across occupied squares, which generation leaves to
// make_move).
void compare_sets(Position& pos, PlyState& node, const Move* got, int gotCount, const MoveSet& owed,
                  const MoveSet& plain, bool owedLegalOnly, Verdict& v) {
  for (int i = 0; i < gotCount; ++i) {
    for (int j = 0; j < i; ++j)
      if (got[j] == got[i]) {
        v.add(PickerFault::Duplicate);
        describe(pos, node, "handed out twice", got[i], got, gotCount);
      }
    if (!owed.has(got[i]) || !plain.has(got[i])) {
      v.add(PickerFault::ExtraMove);
      describe(pos, node, "not owed", got[i], got, gotCount);
    }
  }
  for (int i = 0; i < owed.count; ++i) {
    const Move m = owed.moves[i];
    bool found = false;
    for (int j = 0; j < gotCount && !found; ++j) found = got[j] == m;
    if (found) continue;
    const bool tableMove = m == node.hashMove || m == node.hashMove2;
    if ((owedLegalOnly || tableMove) && !is_legal(pos, node, m)) continue;
    v.add(PickerFault::MissingMove);
    describe(pos, node, "never handed out", m, got, gotCount);
  }
}

// Stage order and, within a stage, score order. `cls` and `rank` are per handed-out move.
void compare_order(const Position& pos, const PlyState& node, const Move* got, int gotCount,
                   const int* cls, const int64_t* rank, Verdict& v) {
  for (int i = 1; i < gotCount; ++i) {
    if (cls[i] < cls[i - 1]) {
      v.add(PickerFault::StageOrder);
      describe(pos, node, "stage order broken at", got[i], got, gotCount);
    } else if (cls[i] == cls[i - 1] && rank[i] > rank[i - 1]) {
      v.add(PickerFault::ScoreOrder);
      describe(pos, node, "score order broken at", got[i], got, gotCount);
    }
  }
  for (int i = 0; i < gotCount; ++i) ++PickerOracle.handedOut[cls[i]];
}

// Runs `pick` to exhaustion.
template <typename Pick>
int drain(Pick pick, Move* got) {
  int n = 0;
  while (n < MaxMoves) {
    const Move m = pick();
    if (m == NoMove) break;
    got[n++] = m;
  }
  return n;
}

// Puts back, when the check ends, everything a picker run and the legality tests change: the
// node's record (stage, lists, cursors, generated bits, move) and the child record. The move
// lists themselves are written past the node's list starts, where nothing lives yet.
struct SavedNode {
  PlyState& node;
  PlyState* child;
  PlyState nodeCopy, childCopy;
  SavedNode(Position& pos, PlyState& n) : node(n), child(n.ply < MaxPly ? &pos.plies[n.ply + 1] : nullptr) {
    nodeCopy = node;
    if (child) childCopy = *child;
  }
  ~SavedNode() {
    node = nodeCopy;
    if (child) *child = childCopy;
  }
};

}  // namespace

#if TARROW_VERIFY
namespace {
void watch_picker(Position& pos, PlyState& node, int32_t depth, bool quiescence) {
  if (!picker_check_due(node)) return;
  if (quiescence) check_quiescence_picker(pos, node, depth);
  else check_full_picker(pos, node);
}
}  // namespace
#endif

void reset_picker_oracle(bool enabled, uint32_t sampleEvery) {
  PickerOracle = PickerOracleState{};
  PickerOracle.enabled = enabled;
  PickerOracle.sampleEvery = sampleEvery ? sampleEvery : 1;
#if TARROW_VERIFY
  PickerWatch = enabled ? watch_picker : nullptr;
#endif
}

int check_full_picker(Position& pos, PlyState& node) {
  PickerOracle.running = true;
  Verdict v;
  {
    SavedNode saved(pos, node);
    Move got[MaxMoves];
    const int n = drain([&] { return NextMove(pos, node); }, got);
    const uint8_t generatedCount = node.generatedCount;
    node = saved.nodeCopy;
    MoveSet plain;
    plain_moves(pos, node, plain);
    const bool check = in_check(node);
    // The late-move rule reads how many moves the node generated: out of check, once both
    // lists are made, every pseudo-legal move of the position (the table moves included,
    // which generation writes before leaving them out), counted in a byte.
    if (!check && generatedCount != uint8_t(plain.count)) {
      v.add(PickerFault::GeneratedCount);
      describe(pos, node, "generated count wrong", NoMove, got, n);
    }
    const Move h1 = node.hashMove, h2 = node.hashMove2;
    // Owed: every move of the position, the table moves included when they are moves here.
    compare_sets(pos, node, got, n, plain, plain, check, v);
    int cls[MaxMoves];
    int64_t rank[MaxMoves];
    for (int i = 0; i < n; ++i) {
      const Move m = got[i];
      rank[i] = 0;
      if (h1 && m == h1) {
        cls[i] = ClassHashMove;
      } else if (h2 && h2 != h1 && m == h2) {
        cls[i] = ClassSecondMove;
      } else if (is_capture_or_promotion(m)) {
        rank[i] = static_exchange(m, pos);
        cls[i] = rank[i] > GoodCaptureThreshold ? ClassGoodCapture : ClassBadCapture;
      } else {
        rank[i] = quiet_rank(pos, node, m);
        cls[i] = is_current_killer(pos, node, m) ? ClassKiller : ClassQuiet;
      }
    }
    // The table moves lead whenever they are moves of the position.
    if (h1 && plain.has(h1) && (n == 0 || got[0] != h1)) {
      v.add(PickerFault::StageOrder);
      describe(pos, node, "hash move not first", h1, got, n);
    }
    compare_order(pos, node, got, n, cls, rank, v);
    PickerOracle.movesCompared += uint64_t(n);
    ++PickerOracle.fullNodes;
    PickerOracle.inCheckNodes += check;
  }
  PickerOracle.running = false;
  PickerOracle.disagreements += v.faults > 0;
  return v.faults;
}

int check_quiescence_picker(Position& pos, PlyState& node, int32_t depth) {
  PickerOracle.running = true;
  Verdict v;
  {
    SavedNode saved(pos, node);
    Move got[MaxMoves];
    const int n = drain([&] { return QuiescencePick(pos, node, depth); }, got);
    node = saved.nodeCopy;
    MoveSet plain;
    plain_moves(pos, node, plain);
    const bool check = in_check(node);
    const Move h = node.hashMove;
    const int ply = node.ply, opponent = node.side ^ 1;

    // Quiet checks: only near the horizon with the evaluation's alert, or deeper when the
    // opponent has been in check earlier and at each of its last three moves. Both read off
    // the ply records' check flags here, not the node's check counters.
    bool quietChecks = false;
    if (!check && Search.quietChecks && depth >= -5 && rule_on(SearchRule::QuiescenceChecks)) {
      bool attack = ply >= 6;
      for (int back = 1; attack && back <= 5; back += 2) attack = in_check(pos.plies[ply - back]);
      bool earlier = false;
      for (int k = 1; k <= ply - 6; ++k)
        earlier |= pos.plies[k].side == opponent && in_check(pos.plies[k]);
      if (ply >= 6 && (pos.plies[ply - 6].checks[opponent] != 0) != earlier) {
        v.add(PickerFault::CheckCounter);
        describe(pos, node, "check counter disagrees with the flags", NoMove, got, n);
      }
      quietChecks = (depth >= 0 && node.evalAlert) || (attack && earlier);
    }
    PickerOracle.quietCheckNodes += quietChecks;

    MoveSet owed;
    if (h && plain.has(h)) owed.add(h);
    for (int i = 0; i < plain.count; ++i) {
      const Move m = plain.moves[i];
      if (m == h || is_underpromotion(m)) continue;
      if (check) {
        owed.add(m);
      } else if (is_capture_or_promotion(m)) {
        if (node.evalAlert || static_exchange(m, pos) > QuiescenceCaptureThreshold) owed.add(m);
      } else if (quietChecks && is_owed_quiet_check(pos, node, m)) {
        owed.add(m);
      }
    }
    compare_sets(pos, node, got, n, owed, plain, check, v);
    int cls[MaxMoves];
    int64_t rank[MaxMoves];
    for (int i = 0; i < n; ++i) {
      const Move m = got[i];
      if (h && m == h) {
        cls[i] = ClassHashMove;
        rank[i] = 0;
      } else if (is_capture_or_promotion(m)) {
        cls[i] = ClassQuiescenceCapture;
        rank[i] = static_exchange(m, pos);
      } else {
        cls[i] = ClassQuiescenceQuiet;
        rank[i] = quiet_rank(pos, node, m);
      }
    }
    if (h && owed.has(h) && (n == 0 || got[0] != h)) {
      v.add(PickerFault::StageOrder);
      describe(pos, node, "hash move not first", h, got, n);
    }
    compare_order(pos, node, got, n, cls, rank, v);
    PickerOracle.movesCompared += uint64_t(n);
    ++PickerOracle.quiescenceNodes;
    PickerOracle.inCheckNodes += check;
  }
  PickerOracle.running = false;
  PickerOracle.disagreements += v.faults > 0;
  return v.faults;
}

void print_picker_oracle_report() {
  const PickerOracleState& o = PickerOracle;
  std::printf("picker oracle: %llu full-width and %llu quiescence picker starts checked (of %llu seen), "
              "%llu in check, %llu with quiet checks owed, %llu moves compared\n",
              (unsigned long long)o.fullNodes, (unsigned long long)o.quiescenceNodes,
              (unsigned long long)o.starts, (unsigned long long)o.inCheckNodes,
              (unsigned long long)o.quietCheckNodes, (unsigned long long)o.movesCompared);
  static const char* const ClassNames[ClassCount] = {"hash move", "second move", "good captures",
                                                      "killers", "bad captures", "quiet moves",
                                                      "qs captures", "qs evasions/checks"};
  std::printf("  moves handed out per stage:");
  for (int c = 0; c < ClassCount; ++c)
    std::printf(" %s %llu%s", ClassNames[c], (unsigned long long)o.handedOut[c], c + 1 < ClassCount ? "," : "\n");
  static const char* const FaultNames[int(PickerFault::Count)] = {
      "missing move", "extra move", "duplicate", "stage order", "score order", "check counter",
      "generated count"};
  std::printf("  faults:");
  for (int f = 0; f < int(PickerFault::Count); ++f)
    std::printf(" %s %llu%s", FaultNames[f], (unsigned long long)o.faults[f],
                f + 1 < int(PickerFault::Count) ? "," : "\n");
}
