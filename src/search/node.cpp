#include <algorithm>
#include <cstdlib>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/tables.h"
#include "eval/evaluate.h"
#include "eval/pawns.h"
#include "search/ablation.h"
#include "search/control.h"
#include "search/params.h"
#include "search/picker.h"
#include "search/prefetch.h"
#include "search/repetition.h"
#include "search/rule_oracle.h"
#include "search/search.h"
#include "search/stats.h"
#include "search/tablebase_search.h"
#include "search/transposition.h"
#if TARROW_MP
#include "core/options.h"
#include "search/move_table.h"
#endif

namespace {

constexpr int32_t KnightValue = 325;
constexpr int32_t QueenValue = 1055;
constexpr int32_t KingZoneThreat = 2110;
constexpr int32_t HistoryCap = 0x3FFFFFFF;  // far below the killers' order scores

// Counts the nodes searched during its lifetime for `kind` in the statistics, unless an outer
// subtree is already being counted.
class SubtreeCounter {
 public:
  SubtreeCounter(Position& pos, Subtree kind)
      : pos_(pos), start_(pos.nodes), outermost_(stats_of(pos).open == Subtree::None) {
    if (outermost_) stats_of(pos).open = kind;
  }
  ~SubtreeCounter() {
    if (!outermost_) return;
    stats_of(pos_).subtreeNodes[uint32_t(stats_of(pos_).open)] += pos_.nodes - start_;
    stats_of(pos_).open = Subtree::None;
  }
  SubtreeCounter(const SubtreeCounter&) = delete;
  SubtreeCounter& operator=(const SubtreeCounter&) = delete;

 private:
  Position& pos_;
  uint64_t start_;
  bool outermost_;
};

const uint8_t* king_neighbours(const Position& pos, int colour) {
  return LeaperTargets[LeaperKing][king_square(pos, colour)];
}

// The man that just moved stands where we attack it and nobody defends it. A capture that won
// at least about as much as the man is worth, or a double check, leaves no time to take it.
bool last_mover_hangs(const Position& pos, const PlyState& node) {
  if (node.ply == 0) return false;
  const Move last = pos.plies[node.ply - 1].move;
  const Square to = move_to(last);
  if (to == NoSquare) return false;
  const int side = node.side;
  if (pos.attacks[side][to].count == 0 || pos.attacks[side ^ 1][to].count != 0) return false;
  if (move_captured(last) != 0 &&
      ExchangeValue[move_captured(last)] + 216 >= ExchangeValue[move_piece(last)])
    return false;
  if (pos.attacks[side ^ 1][king_square(pos, side)].count >= 2) return false;
  return true;
}

// What the side to move threatens: the enemy king's zone, or its most valuable attacked man.
int32_t threat_value(const Position& pos, const PlyState& node) {
  const int side = node.side;
  for (const uint8_t* t = king_neighbours(pos, side ^ 1); *t; ++t)
    if (pos.attacks[side][*t].count != 0) return KingZoneThreat;
  int32_t best = 0;
  const uint8_t* list = colour_list(pos, side ^ 1);
  for (int i = 1; list[i] != 0; ++i) {
    const Square s = list[i];
    if (s == CapturedMark) continue;
    if (pos.attacks[side][s].count != 0) best = std::max(best, ExchangeValue[pos.board[s]]);
  }
  return best;
}

// The pawn structure holds no advanced passed pawn of the side to move (as far as this
// thread's pawn hash already knows the structure): a passer on the sixth or seventh rank is a
// threat of its own that the depth cut must not overlook.
bool no_passer_support(const Position& pos, const PlyState& node) {
  if (pos.pawnHash == nullptr) return false;
  const PawnEntry& e = pos.pawnHash[node.pawnKey & (PawnHashSize - 1)];
  if (e.key != node.pawnLock) return false;
  return !(e.flags & (node.side == White ? PawnWhiteAdvancedPasser : PawnBlackAdvancedPasser));
}

// Passing is unsafe in zugzwang-prone positions: without pieces (or near the root in the
// material classes that need it) the side must have two safe pawn moves in reserve, and in
// endings a king boxed in by its own men must not pass either.
bool null_move_safe(const Position& pos, const PlyState& node) {
  const int side = node.side, opponent = side ^ 1;
  if (Search.endgame) {
    bool freeSquare = false;
    for (const uint8_t* t = king_neighbours(pos, side); *t && !freeSquare; ++t) {
      const int p = pos.board[*t];
      const bool own = p != Empty && colour_of(p) == side;
      if (pos.attacks[opponent][*t].count == 0 && !own) freeSquare = true;
    }
    if (!freeSquare) return false;
  }
  if ((node.phase[White] == 0 && node.phase[Black] == 0) || node.ply < Search.nullPlyLimit) {
    int safePushes = 0;
    const uint8_t* list = colour_list(pos, side);
    for (int i = 1; list[i] != 0 && safePushes < 2; ++i) {
      const Square s = list[i];
      if (s == CapturedMark || !is_pawn(pos.board[s])) continue;
      const Square stop = PawnPush[side][s];
      if (pos.board[stop] == Empty && pos.attacks[opponent][stop].count == 0) ++safePushes;
    }
    if (safePushes < 2) return false;
  }
  return true;
}

// An enemy queen in contact with our king's zone: an empty square next to our king that a
// queen attacks with help (a second attacker, or a slider behind the queen) while only the
// king defends it.
bool queen_contact_threat(const Position& pos, const PlyState& node) {
  const int side = node.side, opponent = side ^ 1;
  const int enemyQueen = with_colour(7, opponent);
  for (const uint8_t* z = king_neighbours(pos, side); *z; ++z) {
    if (pos.board[*z] != Empty) continue;
    const AttackEntry& enemy = pos.attacks[opponent][*z];
    if (enemy.sliders == 0 || pos.attacks[side][*z].count > 1) continue;
    for (int i = 0; i < enemy.count; ++i) {
      const Square q = enemy.squares[i];
      if (pos.board[q] != enemyQueen) continue;
      if (enemy.count > 1) return true;
      for (const uint8_t* s = Beyond[q][*z]; *s; ++s) {
        const int p = pos.board[*s];
        if (p == Empty) continue;
        if (colour_of(p) == opponent && is_slider(p) && attack_type_allows(p, *s, q)) return true;
        break;
      }
    }
  }
  return false;
}

// Whether playing `m` here reaches a position seen before on the key stack.
bool move_repeats(Position& pos, PlyState& node, Move m) {
  if (m == NoMove || !move_is_possible(pos, node, m)) return false;
  node.move = m;
  PlyState* child = make_move(pos, node);
  if (child == nullptr) return false;
  const bool repeats = is_repetition(pos, *child, 1);
  unmake_move(pos, *child);
  return repeats;
}

bool quiet_piece_move(Move m) {
  return !is_capture_or_promotion(m) && !is_pawn_move(m) && !(m & (CastleFlag | EnPassantFlag));
}

// Everything the steps of one node share.
struct Node {
  Position& pos;
  PlyState& node;
  int ply, side;
  bool inCheck;
  int32_t a, b, a0;
  int32_t depth, e, q, h;
  bool futile;
  bool fifty;
  int mateExt;
  int shrink;
  bool singularAllowed;
  bool deepened;
  bool entryCurrent;  // a usable entry made under the current evaluation
  TTEntry entry;
  int32_t best;
  // The entry was searched at least as deep as this node and passed the repetition test, so
  // its bound holds here: only such a bound may stand in for a score of this search.
  bool entryBinding = false;

  void mate_threat_extension() {
    if (rule_on(SearchRule::MateThreat) && q >= a - 75 && pos.nullDepth == 0 &&
        pos.refutationDepth == 0 && e == 0 && mateExt <= 1 && ply < Search.iterationDepth) {
      depth += 1;
      mateExt += 1;
    }
  }

  // Futility: a move that cannot lift the optimistic score to alpha is not searched.
  bool futile_move(Move m) const {
    return futile && rule_on(SearchRule::Futility) &&
           a >= ExchangeValue[move_captured(m)] + ExchangeValue[move_promotion(m)] + h &&
           !gives_direct_check(pos, m);
  }

  int32_t child_search(PlyState& child, int32_t alpha, int32_t beta, int32_t d) {
    return -SearchNode(pos, child, -beta, -alpha, d, Search.nullAllowed, mateExt);
  }

  // Searches the moves in picker order at depth d with the window (b, b + 1) and returns the
  // first that beats b, or 0. The picker is reset afterwards.
  Move find_refutation(int32_t d) {
    Move found = NoMove;
    while (const Move m = NextMove(pos, node)) {
      node.move = m;
      PlyState* child = make_move_prefetched(pos, node);
      if (child == nullptr) continue;
      pos.refutationDepth += 1;
      const int32_t v = child_search(*child, b, b + 1, d);
      pos.refutationDepth -= 1;
      unmake_move(pos, *child);
      if (Control.StopRequested) break;
      if (v > b) {
        found = m;
        break;
      }
    }
    reset_picker(node);
    return found;
  }

  void store(int32_t score, Move move2 = NoMove) {
    if (Control.StopRequested) return;
    TableBound bound = score >= b ? BoundLower : score <= a0 ? BoundUpper : BoundExact;
    // A result that meets the stored bound from the other side pins the score: the entry said
    // "at most s" and this search proved "at least s" (or the reverse).
    if (entryBinding && entry.score_at(ply) == score &&
        ((entry.upper() && bound == BoundLower) || (entry.lower() && bound == BoundUpper)))
      bound = BoundExact;
    StoreRequest req{bound, score, depth, node.bestMove, move2, (node.flags & SingularFlag) != 0,
                     (node.flags & MateThreatFlag) != 0};
    store_entry(node, req);
  }

  enum class Outcome { Searched, Cut, Return };
  Outcome search_first_move(int32_t& result);
  Outcome search_later_moves(int32_t& result);
  // The move loop: Searched when every move was tried, Cut on a beta cut-off, Return with
  // `result` when the node ends otherwise (mate, stalemate, fifty moves, a stop).
  Outcome search_moves(int32_t& result) {
    const Outcome first = search_first_move(result);
    return first == Outcome::Searched ? search_later_moves(result) : first;
  }

#if TARROW_MP
  // With several threads: a move that another thread is searching here right now is put off
  // (at most one at a time) while there are others to search, so that the threads spread
  // over different moves. Deferring pays where every move must be searched anyway: at nodes
  // the table expects to fail low, among the quiet moves, and always for a worker.
  bool parallel = false;
  Move held = NoMove;
  bool may_defer() const {
    return (node.flags & AllNodeFlag) || node.pickStage >= PickQuiet || pos.threadIndex != 0;
  }
  // The next move to search: the held-back one when nobody else searches it any more (or the
  // picker has run dry), else the picker's next move unless that one is to be held back.
  // Sets `exhausted` when nothing is left.
  Move next_parallel_move(bool& exhausted) {
    exhausted = false;
    if (held != NoMove && !move_busy_elsewhere(pos, held, node.lockKey)) {
      const Move m = held;
      held = NoMove;
      return m;
    }
    for (;;) {
      const Move m = NextMove(pos, node);
      if (m == NoMove) {
        const Move last = held;
        held = NoMove;
        exhausted = last == NoMove;
        return last;
      }
      if (!may_defer() || !move_busy_elsewhere(pos, m, node.lockKey)) return m;
      const Move earlier = held;
      held = m;
      if (earlier != NoMove) return earlier;
    }
  }
  // Another thread may have finished this node meanwhile: a deep enough bound in the table
  // now narrows the window or ends the node. Near the root, where the repetition rules make
  // table scores doubtful, the node goes on without it.
  bool reread_table(int32_t& result) {
    if (ply < 3) return false;
    TTEntry e;
    if (!probe_table(node, e) || !entry_is_current(e) || e.depth() < depth) return false;
    const int32_t s = e.score_at(ply);
    if (e.lower()) {
      a = std::max(a, s);
      if (s >= b) return result = s, true;
    } else if (e.upper()) {
      b = std::min(b, s);
      if (s <= a) return result = s, true;
    } else {
      return result = s, true;
    }
    return false;
  }
#endif
};

// The first legal move, searched with the full window; searched again after an expected cut
// node deepened for a refutation.
Node::Outcome Node::search_first_move(int32_t& result) {
  const int32_t aAtStart = a;
  for (;;) {
    Move m = NoMove;
    PlyState* child = nullptr;
    bool prunable = false;
    while ((m = NextMove(pos, node)) != NoMove) {
      prunable = futile_move(m);
      node.move = m;
      child = make_move_prefetched(pos, node);
      if (child != nullptr) break;
    }
    if (m == NoMove) {
      result = inCheck ? ply - MateScore : 0;
      return Outcome::Return;
    }
    if (fifty) {
      unmake_move(pos, *child);
      result = 0;
      return Outcome::Return;
    }
    node.movesTried += 1;
    VERIFY_HOOK(if (prunable) { note_node_rule(ply, CheckedRule::FutileNode); check_dropped_move(pos, *child, CheckedRule::FutileFirstMove, a, a, depth - 1, mateExt); })
    int32_t score = prunable ? h : child_search(*child, a, b, depth - 1);
    stats_of(pos).futilePrunedMoves += prunable;
    unmake_move(pos, *child);
    if (Control.StopRequested) {
      result = 0;
      return Outcome::Return;
    }
    if (entryBinding && entry.lower()) score = std::max(score, entry.score_at(ply));
    best = score;
    node.bestMove = m;
    if (score > a) {
      if (score >= b) return ++stats_of(pos).firstMoveCuts, Outcome::Cut;
      a = score;
    }

    // An expected cut node whose first move did not cut: deepen step by step for a refutation
    // and start again with it.
    if (depth >= 4 && (node.flags & LowerBoundFlag) && !deepened && rule_on(SearchRule::CutNodeDeepening)) {
      deepened = true;
      reset_picker(node);
      SubtreeCounter counted(pos, Subtree::CutNodeDeepening);
      for (int32_t i = depth % 2 == 0 ? 1 : 2; i <= depth - 3; i += 2) {
        const Move r = find_refutation(i);
        if (Control.StopRequested) {
          result = 0;
          return Outcome::Return;
        }
        if (r != NoMove) node.hashMove = r;
      }
      a = aAtStart;
      continue;
    }
    return Outcome::Searched;
  }
}

// The other moves: zero window first, re-searched when they beat alpha.
Node::Outcome Node::search_later_moves(int32_t& result) {
  const bool reductions = Search.lateMoveReductions && rule_on(SearchRule::LateMoveReduction) &&
                          depth - shrink >= 3 && !inCheck;
  const int32_t d = depth - shrink - 1;
#if TARROW_MP
  held = NoMove;
  // Clears this thread's mark of the move being searched (a no-op with one thread).
  auto done_with = [this](Move m) {
    if (parallel) clear_move_in_progress(pos, m, node.lockKey);
  };
#else
  auto done_with = [](Move) {};
#endif
  for (;;) {
#if TARROW_MP
    Move m;
    if (parallel) {
      bool exhausted;
      m = next_parallel_move(exhausted);
      if (exhausted) break;
      if (Control.StopRequested) {
        result = 0;
        return Outcome::Return;
      }
      mark_move_in_progress(pos, m, node.lockKey);
      if (reread_table(result)) {
        done_with(m);
        return Outcome::Return;
      }
    } else {
      m = NextMove(pos, node);
      if (m == NoMove) break;
    }
#else
    const Move m = NextMove(pos, node);
    if (m == NoMove) break;
#endif
    const bool checks = (futile || reductions) && gives_direct_check(pos, m);
    if (futile && !checks && rule_on(SearchRule::Futility) &&
        a >= ExchangeValue[move_captured(m)] + ExchangeValue[move_promotion(m)] + h) {
      ++stats_of(pos).futilePrunedMoves;
      VERIFY_HOOK(note_node_rule(ply, CheckedRule::FutileNode); check_skipped_move(pos, node, m, CheckedRule::FutileLaterMove, a, d, mateExt));
      done_with(m);
      continue;
    }
    node.move = m;
    PlyState* child = make_move_prefetched(pos, node);
    if (child == nullptr) {
      done_with(m);
      continue;
    }
    node.movesTried += 1;
    const bool lateEnough = node.movesTried >= 5 && int(node.movesTried) * 4 > int(node.generatedCount);
    if (reductions && node.generated == 3 && lateEnough && !checks) {
      int32_t v;
      {
        SubtreeCounter counted(pos, Subtree::ReducedLateMove);
        v = child_search(*child, a, a + 1, std::max(0, depth - shrink - 3));
      }
      if (Control.StopRequested || v <= best) {
        VERIFY_HOOK(if (!Control.StopRequested) check_dropped_move(pos, *child, CheckedRule::LateMoveReduction, a, best, d, mateExt));
        unmake_move(pos, *child);
        done_with(m);
        if (Control.StopRequested) {
          result = 0;
          return Outcome::Return;
        }
        continue;
      }
    }
    const int32_t v = child_search(*child, a, a + 1, d);
    if (v > best) {
      bool take = true;
      int32_t score = v;
      if (a < v && v < b && !Control.StopRequested) {
        SubtreeCounter counted(pos, Subtree::ReSearch);
        const int32_t w = child_search(*child, v - 1, b, d);
        if (w >= v) {
          score = w;
        } else if (w > a && !Control.StopRequested) {
          const int32_t x = child_search(*child, a, b, d);
          take = x > best;
          score = x;
        }
      }
      if (take && !Control.StopRequested) {
        best = score;
        node.bestMove = m;
        if (score > a) {
          if (score >= b) {
            ++stats_of(pos).laterMoveCuts;
            unmake_move(pos, *child);
            done_with(m);
            return Outcome::Cut;
          }
          a = score;
        }
      }
    } else if (best <= a && pos.singularDepth == 0 && !is_capture_or_promotion(m)) {
      pos.history[side][history_index(m)] -= 1;
    }
    unmake_move(pos, *child);
    done_with(m);
    if (Control.StopRequested) {
      result = 0;
      return Outcome::Return;
    }
  }
  return Outcome::Searched;
}

int32_t search_node(Position& pos, PlyState& node, int32_t alpha, int32_t beta, int32_t depth,
                    int nullAllowed, int mateExtensions) {
  // Stop requests, the clock and the input.
  if (pos.threadIndex != 0 || pos.nodes < Search.nextPoll) {
    if (Control.StopRequested) return 0;
  } else if (poll_search(pos, node)) {
    return 0;
  }

  const int ply = node.ply;
  node.flags &= ~(MateThreatFlag | UpperBoundFlag | LowerBoundFlag | SingularFlag | AllNodeFlag);
  const bool inCheck = in_check(node);

  // Draws by repetition (near the root only a threefold one) and by the fifty-move rule; a
  // side in check may still be mated on the hundredth ply.
  if (is_repetition(pos, node, ply <= 2 ? 2 : 1)) return repetition_score(pos, node);
  bool fifty = false;
  if (reversible_plies(pos, node) >= 100) {
    if (!inCheck) return 0;
    fifty = true;
  }
  // The tablebases, where few enough men are left.
  if (node.pieces <= Search.tbMaxMen) {
    const int32_t known = probe_tablebase_in_tree(pos, node, fifty);
    if (known != NoTablebaseValue) return known;
  }
  // No pawns and at most one minor piece on the board cannot mate; the ply stack ends.
  if (node.pawnKey == 0 && node.phase[White] + node.phase[Black] < 2) return 0;
  if (ply >= MaxPly - 1) return alpha;

  // The node's state, its quick score, and whether the man that just moved hangs.
  Node n{pos, node, ply, node.side, inCheck, alpha, beta, alpha, depth, 0, 0, 0,
         false, fifty, mateExtensions, 0, Search.singularOn, false, false, TTEntry{}, 0};
#if TARROW_MP
  n.parallel = Options.ThreadCount > 1;
#endif
  n.q = FastScore(node);
  node.hanging = last_mover_hangs(pos, node);

  // Extensions, and the cuts of quiet nodes that stand far below alpha.
  n.e = rule_on(SearchRule::Extensions) ? ExtensionFor(pos, node, n.depth, n.a, n.q) : 0;
  n.depth += n.e;
  if (!inCheck && n.e == 0) {
    if (node.hanging && ply > Search.hangingPlyLimit && rule_on(SearchRule::HangingCut)) {
      n.depth -= 1;
      VERIFY_HOOK(note_node_rule(ply, CheckedRule::HangingCut));
    }
    if (Search.futilityOn) {
      n.h = n.q + EvalState.positionalMax[n.side];
      if (n.h < n.a) {
        const int32_t t = threat_value(pos, node);
        if (n.h + t < n.a &&
            (t >= QueenValue || no_passer_support(pos, node) || n.h + QueenValue < n.a) &&
            rule_on(SearchRule::DepthCut)) {
          n.depth -= 2;
          VERIFY_HOOK(note_node_rule(ply, CheckedRule::DepthCut));
        }
      }
      n.h += KnightValue;
      n.futile = n.depth <= Search.futilityDepth && n.h < n.a;
    }
  }
  // At the horizon, the quiescence search.
  if (n.depth < 1) return QuiescenceNode(pos, node, n.a, n.b, n.depth);

  // The table: its moves go to the picker, its bound ends the node or narrows the window
  // where it was searched deep enough.
  pos.nodes += 1;
  stats_of(pos).moveLoopNodes += stats_of(pos).open == Subtree::None;
  node.hashMove = NoMove;
  node.hashMove2 = NoMove;
  reset_picker(node);  // a re-search of the same child starts the picker afresh
  bool nullPossible = nullAllowed != 0;
  TTEntry& entry = n.entry;
  if (probe_table(node, entry)) {
    ++stats_of(pos).tableHits;
    bool usable = reversible_plies(pos, node) + entry.depth() < 100;
    if (usable && ply < 3)
      usable = !is_repetition(pos, node, 1) && !move_repeats(pos, node, entry.best_move());
    if (usable) {
      node.hashMove = entry.best_move();
      node.hashMove2 = entry.second_move();
      if (entry.mate_threat()) {
        node.flags |= MateThreatFlag;
        n.mate_threat_extension();
      }
      if (entry_is_current(entry)) {
        n.entryCurrent = true;
        const int32_t s = entry.score_at(ply);
        const int32_t stored = entry.depth();
        if (entry.upper() && stored > 0) node.flags |= UpperBoundFlag | AllNodeFlag;
        if (entry.lower() && stored > 0) node.flags |= LowerBoundFlag;
        if (entry.singular()) {
          node.flags |= SingularFlag;
          n.singularAllowed = false;
          if (Search.singularOn && rule_on(SearchRule::Singular) && ply < Search.singularPlyLimit &&
              pos.refutationDepth == 0 &&
              pos.nullDepth == 0 && n.e == 0) {
            n.depth += 1;
            n.shrink = 1;
            VERIFY_HOOK(note_node_rule(ply, CheckedRule::SingularVerdict));
          }
        }
        if (stored >= n.depth) {
          bool allowed = true;
          if (s != 0 && quiet_piece_move(node.hashMove) && move_repeats(pos, node, node.hashMove))
            allowed = (entry.lower() && s <= 0) || (entry.upper() && s >= 0);
          if (allowed) {
            n.entryBinding = true;
            if (entry.lower()) {
              n.a = std::max(n.a, s);
              if (s >= n.b) {
                node.bestMove = node.hashMove;
                return s;
              }
            } else if (entry.upper()) {
              n.b = std::min(n.b, s);
              if (s <= n.a) return s;
            } else {
              return s;
            }
          }
        }
        if (entry.upper() && s < n.b && stored >= n.depth - 3) nullPossible = false;
      }
    }
  }

  // Null move: if passing still fails high, the position is good enough.
  if (nullPossible && rule_on(SearchRule::NullMove) && n.depth > 1 && !(node.flags & (InCheckFlag | MateThreatFlag | UpperBoundFlag)) &&
      n.a < n.q + EvalState.positionalMax[n.side] &&
      (ply >= Search.nullPlyLimit || node.phase[n.side] > 0) && null_move_safe(pos, node)) {
    node.move = NullMoveFlag;
    PlyState* child = make_move_prefetched(pos, node);
    if (child != nullptr) {
      pos.nullDepth += 1;
      ++stats_of(pos).nullTries;
      int32_t reduced = n.depth - 3;
      if (n.e == 0 && (n.depth - 3 >= Search.bigReductionDepth ||
                       n.b + KnightValue < n.q + EvalState.positionalMin[n.side]))
        reduced = n.depth - 4;
      reduced = std::max(0, reduced);
      const int32_t nb = std::abs(n.b) >= MateBound ? n.b : n.b - std::min(ply - 1, 5);
      int32_t v;
      {
        SubtreeCounter counted(pos, Subtree::NullMove);
        v = -SearchNode(pos, *child, -nb, 1 - nb, reduced, 0, n.mateExt);
      }
      unmake_move(pos, *child);
      pos.nullDepth -= 1;
      if (Control.StopRequested) return 0;
      if (v < nb) {
        if (v <= -MateBound) {
          node.flags |= MateThreatFlag;
          n.mate_threat_extension();
        }
      } else if (n.a + 1 == n.b &&
                 !(reduced == 0 && !Search.endgame && queen_contact_threat(pos, node))) {
        const int32_t result = std::max(n.b, v);
        node.bestMove = NoMove;
        ++stats_of(pos).nullCuts;
        VERIFY_HOOK(note_node_rule(ply, CheckedRule::NullMove));
        n.store(result);
        return result;
      }
    }
  }

  // Multi-cut: at an expected cut node, several moves failing high at reduced depth are
  // taken as proof enough.
  bool sweepBlocked = false;
  if (Search.multiCutOn && rule_on(SearchRule::MultiCut) && n.depth > 2 && (node.flags & LowerBoundFlag) &&
      !(node.flags & (InCheckFlag | MateThreatFlag | SingularFlag)) &&
      (ply < 2 || !(in_check(pos.plies[ply - 1]) || in_check(pos.plies[ply - 2]))) &&
      n.a + 1 == n.b && n.e == 0) {
    if (queen_contact_threat(pos, node)) {
      sweepBlocked = true;
    } else {
      ++stats_of(pos).multiCutTries;
      int32_t r = std::max(0, n.depth - 3);
      if (r >= Search.bigReductionDepth || n.b + KnightValue < n.q + EvalState.positionalMin[n.side])
        r -= 1;
      Move first = NoMove;
      int legal = 0;
      while (legal < 10) {
        const Move m = NextMove(pos, node);
        if (m == NoMove) break;
        node.move = m;
        PlyState* child = make_move_prefetched(pos, node);
        if (child == nullptr) continue;
        ++legal;
        pos.multiCutDepth += 1;
        int32_t v;
        {
          SubtreeCounter counted(pos, Subtree::MultiCut);
          v = n.child_search(*child, n.b, n.b + 1, r);
        }
        pos.multiCutDepth -= 1;
        unmake_move(pos, *child);
        if (Control.StopRequested) return 0;
        if (v <= -MateBound) break;
        if (v > n.b) {
          if (first == NoMove) first = m;
          if (m != first || v > MateBound - 1) {
            node.bestMove = first;
            ++stats_of(pos).multiCutCuts;
            VERIFY_HOOK(note_node_rule(ply, CheckedRule::MultiCut));
            n.store(n.b, m);
            return n.b;
          }
        }
      }
      if (first != NoMove) node.hashMove = first;
      reset_picker(node);
    }
  }

  // Without a table move, a cheap search finds a refutation to try first.
  if (!sweepBlocked && rule_on(SearchRule::RefutationSweep) && n.depth > 3 && node.hashMove == NoMove) {
    Move r;
    {
      SubtreeCounter counted(pos, Subtree::RefutationSweep);
      r = n.find_refutation(std::min(n.depth - 3, n.depth / 2));
    }
    if (Control.StopRequested) return 0;
    if (r != NoMove) node.hashMove = r;
    VERIFY_HOOK(if (r != NoMove) { note_node_rule(ply, CheckedRule::RefutationSweep); RuleOracle.sweepMove[ply] = r; })
  }

  // The move loop (Node::search_moves); then the result is stored, a quiet best move earns its
  // killer slot and history, and a singular best move sends the node through its moves again,
  // one ply deeper.
  for (;;) {
    int32_t result = 0;
    const Node::Outcome outcome = n.search_moves(result);
    if (outcome == Node::Outcome::Return) return result;
    const int32_t best = n.best;
    if (n.futile) ++stats_of(pos).futileNodes, stats_of(pos).futileFailLows += best <= n.a0;
    n.store(best);
    const Move bestMove = node.bestMove;
    if (best <= n.a0 || bestMove == NoMove || Control.StopRequested) return best;

    const bool quiet = !is_capture_or_promotion(bestMove);
    if (quiet) {
      if (best >= n.b) record_killer(pos.killers[ply], bestMove);
      int32_t& hist = pos.history[n.side][history_index(bestMove)];
      const int32_t bonus = (n.depth + 1) * (n.depth + 1) * (n.depth + 1);
      hist = hist > HistoryCap - bonus ? HistoryCap : hist + bonus;
    }

    // Singular test: is every other move clearly worse than the best one?
    const int32_t plyLimit = quiet ? Search.singularPlyLimit : Search.singularPlyLimit / 2;
    if (!(n.singularAllowed && rule_on(SearchRule::Singular) && n.depth > 3 && pos.refutationDepth == 0 && pos.singularDepth == 0 &&
          !node.hanging && std::abs(best) < MateBound && pos.nullDepth == 0 && n.e == 0 &&
          ply < plyLimit))
      return best;
    n.singularAllowed = false;
    pos.singularDepth += 1;
    ++stats_of(pos).singularTests;
    reset_picker(node);
    const int32_t d = n.depth - 3 >= Search.bigReductionDepth ? n.depth - 4 : n.depth - 3;
    bool singular = true;
    while (const Move m = NextMove(pos, node)) {
      if (m == bestMove) continue;
      node.move = m;
      PlyState* child = make_move_prefetched(pos, node);
      if (child == nullptr) continue;
      int32_t v;
      {
        SubtreeCounter counted(pos, Subtree::SingularTest);
        v = n.child_search(*child, best - 100, best - 99, d);
      }
      unmake_move(pos, *child);
      if (Control.StopRequested || v > best - 100) {
        singular = false;
        break;
      }
    }
    pos.singularDepth -= 1;
    VERIFY_HOOK(if (singular) check_singular_move(pos, node, bestMove, best, d, n.depth - 1, n.mateExt));
    if (!singular) {
      reset_picker(node);
      return Control.StopRequested ? 0 : best;
    }
    node.flags |= SingularFlag;
    ++stats_of(pos).singularFound;
    VERIFY_HOOK(note_node_rule(ply, CheckedRule::SingularVerdict));
    n.depth += 1;
    n.shrink = 1;
    node.hashMove = bestMove;
    n.a = n.a0;
    reset_picker(node);
  }
}

}  // namespace

int32_t SearchNode(Position& pos, PlyState& node, int32_t alpha, int32_t beta, int32_t depth,
                   int nullAllowed, int mateExtensions) {
#if TARROW_VERIFY
  // The verify build notes which pruning rules fired at this node and searches a sample of
  // them again without the rule once the node has its result.
  if (rule_oracle_over_cap(pos)) stop_rule_research();
  RuleOracle.firedAt[node.ply] = 0;
  TTEntry before[2];
  if (RuleOracle.enabled && RuleOracle.reSearching == 0) save_node_slots(node, before);
  const int32_t v = search_node(pos, node, alpha, beta, depth, nullAllowed, mateExtensions);
  if (RuleOracle.firedAt[node.ply] & NodeRules)
    check_node_rules(pos, node, alpha, beta, depth, nullAllowed, mateExtensions, v, before);
  return v;
#else
  return search_node(pos, node, alpha, beta, depth, nullAllowed, mateExtensions);
#endif
}
