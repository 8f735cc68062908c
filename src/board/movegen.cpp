#include "board/movegen.h"

#include <cstring>

#include "board/attacks.h"
#include "board/tables.h"

namespace {

constexpr int32_t KillerScore = 0x7FFFFE0B;         // this ply's killers sort first
constexpr int32_t EarlierKillerScore = 0x7FFFFE0A;  // then the killers of two plies back

// Appends moves to one list, never beyond the stack's last usable entry (one stays free for
// the sentinel).
struct ListWriter {
  MoveEntry* end;
  MoveEntry* limit;
  int written = 0;
  void add(Move m, int32_t score) {
    if (end < limit) {
      end->move = m;
      end->score = score;
      ++end;
      ++written;
    }
  }
  MoveEntry* close() {
    end->move = NoMove;
    end->score = SentinelScore;
    return end + 1;
  }
};

constexpr int PromotionOrder[4] = {7, 6, 3, 5};  // queen, rook, knight, bishop

// Does the rank starting at square `first` hold a man of code `piece`? Reads the rank's eight
// board bytes as one word and looks for a zero byte in its XOR with the code (no false
// negatives; a false positive only costs the exact loop that follows).
inline bool rank_holds(const uint8_t* board, Square first, int piece) {
  uint64_t row;
  std::memcpy(&row, board + first, sizeof row);
  const uint64_t x = row ^ (0x0101010101010101ull * uint64_t(piece));
  return ((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) != 0;
}

class Generator {
 public:
  Generator(Position& pos, PlyState& ply, int allPromotions)
      : pos_(pos),
        ply_(ply),
        side_(ply.side),
        enemy_(ply.side ^ 1),
        colourBit_(ply.side ? BlackBit : 0),
        promotionCount_(allPromotions ? 4 : 1),
        history_(pos.history[ply.side]),
        captures_{ply.captureEnd, pos.captureStack + CaptureStackSize - 1},
        quiets_{ply.quietEnd, pos.quietStack + QuietStackSize - 1} {}

  void captures();
  void quiet();
  void all();
  void quiet_checks();
  void evasions();

  void close_captures() {
    ply_.captureEnd = captures_.close();
    ply_.generated |= 1;
  }
  void close_quiets() {
    ply_.quietEnd = quiets_.close();
    ply_.generated |= 2;
  }
  int written() const { return captures_.written + quiets_.written; }

 private:
  bool is_enemy(Square s) const {
    const int p = pos_.board[s];
    return p != Empty && p != OffBoard && colour_of(p) == enemy_;
  }
  bool last_rank(Square s) const { return side_ == White ? s >= 57 : s <= 8; }
  bool start_rank(Square s) const { return side_ == White ? (s >= 9 && s <= 16) : (s >= 49 && s <= 56); }

  void add_capture(Square from, Square to, Move flags = 0) {
    const Move m = encode_move(from, to, 0, pos_.board[to], pos_.board[from], flags);
    captures_.add(m, static_exchange(m, pos_));
  }
  void add_en_passant(Square from, Square to) {
    const Move m = encode_move(from, to, 0, with_colour(2, enemy_), pos_.board[from], EnPassantFlag);
    captures_.add(m, static_exchange(m, pos_));
  }
  void add_promotions(Square from, Square to) {
    const int captured = pos_.board[to];
    for (int i = 0; i < promotionCount_; ++i) {
      const Move m = encode_move(from, to, PromotionOrder[i] | colourBit_, captured, pos_.board[from]);
      captures_.add(m, static_exchange(m, pos_));
    }
  }
  void add_quiet(Square from, Square to, Move flags = 0) {
    const Move m = encode_move(from, to, 0, 0, pos_.board[from], flags);
    quiets_.add(m, history_[history_index(m)]);
  }
  void add_castling();
  // Every square a slider on `s` reaches along its rays: `onEmpty` for the empty ones, then
  // `onOccupied` for the first occupied square of each ray.
  template <typename OnEmpty, typename OnOccupied>
  void walk_slider(int piece, Square s, OnEmpty onEmpty, OnOccupied onOccupied) const {
    const int kind = slider_kind(piece);
    const uint8_t* next = SliderNext[kind][s];
    const uint8_t* skip = SliderSkip[kind][s];
    for (Square t = next[s]; t;) {
      if (pos_.board[t]) {
        onOccupied(t);
        t = skip[t];
      } else {
        onEmpty(t);
        t = next[t];
      }
    }
  }
  void pawn_advances(Square s);

  Position& pos_;
  PlyState& ply_;
  const int side_, enemy_, colourBit_, promotionCount_;
  const int32_t* history_;
  ListWriter captures_, quiets_;
};

void Generator::add_castling() {
  const uint32_t rights = ply_.flags;
  if (side_ == White) {
    if (rights & CastleWhiteShort) quiets_.add(WhiteShortCastle, history_[history_index(WhiteShortCastle)]);
    if (rights & CastleWhiteLong) quiets_.add(WhiteLongCastle, history_[history_index(WhiteLongCastle)]);
  } else {
    if (rights & CastleBlackShort) quiets_.add(BlackShortCastle, history_[history_index(BlackShortCastle)]);
    if (rights & CastleBlackLong) quiets_.add(BlackLongCastle, history_[history_index(BlackLongCastle)]);
  }
}

// Single and double advances of a pawn that does not reach the last rank.
void Generator::pawn_advances(Square s) {
  const Square ahead = PawnPush[side_][s];
  if (pos_.board[ahead] != Empty || last_rank(ahead)) return;
  add_quiet(s, ahead);
  if (start_rank(s) && pos_.board[PawnPush[side_][ahead]] == Empty)
    add_quiet(s, PawnPush[side_][ahead], DoublePushFlag);
}

void Generator::captures() {
  const AttackEntry* own = pos_.attacks[side_];
  for (const uint8_t* t = colour_list(pos_, enemy_) + 1; *t; ++t) {
    if (*t == CapturedMark || !own[*t].count) continue;
    const AttackEntry& e = own[*t];
    for (int i = 0; i < e.count; ++i) {
      const Square s = e.squares[i];
      if (last_rank(*t) && is_pawn(pos_.board[s])) add_promotions(s, *t);
      else add_capture(s, *t);
    }
  }
  const Square ep = ply_.flags & EpSquareMask;
  if (ep) {
    const AttackEntry& e = own[ep];
    for (int i = 0; i < e.count; ++i)
      if (is_pawn(pos_.board[e.squares[i]])) add_en_passant(e.squares[i], ep);
  }
  const int pawn = with_colour(2, side_);
  const Square first = side_ == White ? 49 : 9;
  if (rank_holds(pos_.board, first, pawn)) {
    for (Square s = first; s < first + 8; ++s)
      if (pos_.board[s] == pawn && pos_.board[PawnPush[side_][s]] == Empty)
        add_promotions(s, PawnPush[side_][s]);
  }
  close_captures();
}

void Generator::quiet() {
  add_castling();
  for (const uint8_t* sp = colour_list(pos_, side_); *sp; ++sp) {
    if (*sp == CapturedMark) continue;
    const Square s = *sp;
    const int piece = pos_.board[s];
    if (is_slider(piece)) {
      walk_slider(piece, s, [&](Square t) { add_quiet(s, t); }, [](Square) {});
    } else if (is_pawn(piece)) {
      pawn_advances(s);
    } else {
      for (const uint8_t* t = LeaperTargets[LeaperKindOf[piece]][s]; *t; ++t)
        if (pos_.board[*t] == Empty) add_quiet(s, *t);
    }
  }
  close_quiets();
}

void Generator::all() {
  add_castling();
  const Square ep = ply_.flags & EpSquareMask;
  for (const uint8_t* sp = colour_list(pos_, side_); *sp; ++sp) {
    if (*sp == CapturedMark) continue;
    const Square s = *sp;
    const int piece = pos_.board[s];
    if (is_slider(piece)) {
      walk_slider(piece, s, [&](Square t) { add_quiet(s, t); }, [&](Square t) {
        if (is_enemy(t) && !is_king(pos_.board[t])) add_capture(s, t);
      });
    } else if (is_pawn(piece)) {
      for (const uint8_t* t = LeaperTargets[LeaperKindOf[piece]][s]; *t; ++t) {
        if (is_enemy(*t) && !is_king(pos_.board[*t])) {
          if (last_rank(*t)) add_promotions(s, *t);
          else add_capture(s, *t);
        } else if (*t == ep && ep) {
          add_en_passant(s, *t);
        }
      }
      const Square ahead = PawnPush[side_][s];
      if (pos_.board[ahead] == Empty && last_rank(ahead)) add_promotions(s, ahead);
      else pawn_advances(s);
    } else {
      for (const uint8_t* t = LeaperTargets[LeaperKindOf[piece]][s]; *t; ++t) {
        if (pos_.board[*t] == Empty) add_quiet(s, *t);
        else if (is_enemy(*t) && !is_king(pos_.board[*t])) add_capture(s, *t);
      }
    }
  }
  close_captures();
  close_quiets();
}

void Generator::quiet_checks() {
  const Square king = king_square(pos_, enemy_);
  auto checks = [this, king](int piece, Square to) {
    if (!attack_type_allows(piece, to, king)) return false;
    if (!is_slider(piece)) return true;
    const int step = Direction[to][king];
    for (Square s = to + step; s != king; s += step)
      if (pos_.board[s]) return false;
    return true;
  };
  for (const uint8_t* sp = colour_list(pos_, side_) + 1; *sp; ++sp) {
    if (*sp == CapturedMark) continue;
    const Square s = *sp;
    const int piece = pos_.board[s];
    if (is_slider(piece)) {
      walk_slider(piece, s, [&](Square t) {
        if (checks(piece, t)) add_quiet(s, t);
      }, [](Square) {});
    } else if (is_pawn(piece)) {
      const Square ahead = PawnPush[side_][s];
      if (pos_.board[ahead] != Empty || last_rank(ahead)) continue;
      if (checks(piece, ahead)) {
        add_quiet(s, ahead);
      } else if (start_rank(s)) {
        const Square two = PawnPush[side_][ahead];
        if (pos_.board[two] == Empty && checks(piece, two)) add_quiet(s, two, DoublePushFlag);
      }
    } else {
      for (const uint8_t* t = LeaperTargets[LeaperKindOf[piece]][s]; *t; ++t)
        if (pos_.board[*t] == Empty && checks(piece, *t)) add_quiet(s, *t);
    }
  }
  close_quiets();
}

void Generator::evasions() {
  const Square king = king_square(pos_, side_);
  const AttackEntry* own = pos_.attacks[side_];
  const AttackEntry* enemy = pos_.attacks[enemy_];
  const AttackEntry& checkers = enemy[king];
  const Square first = checkers.squares[0];
  const bool single = checkers.count == 1;

  // 1. Capture the (first) checker: any man in single check, the king only if it is undefended.
  const AttackEntry& takers = own[first];
  for (int i = 0; i < takers.count; ++i) {
    const Square s = takers.squares[i];
    const bool kingTakes = s == king;
    if (last_rank(first) && is_pawn(pos_.board[s])) {
      if (single) add_promotions(s, first);
    } else if ((single && !kingTakes) || (kingTakes && !enemy[first].count)) {
      add_capture(s, first);
    }
  }

  // 2. King steps to unattacked squares, never along a checking slider's line away from it.
  const Square behindFirst = is_slider(pos_.board[first]) ? Beyond[king][first][0] : 0;
  Square behindSecond = 0;
  if (!single && is_slider(pos_.board[checkers.squares[1]]))
    behindSecond = Beyond[king][checkers.squares[1]][0];
  for (const uint8_t* t = LeaperTargets[LeaperKing][king]; *t; ++t) {
    const Square to = *t;
    if (enemy[to].count || to == behindFirst || to == behindSecond || to == first) continue;
    if (pos_.board[to] == Empty) add_quiet(king, to);
    else if (is_enemy(to)) add_capture(king, to);
  }
  if (!single) {
    close_captures();
    close_quiets();
    return;
  }

  // 3. Interpose against a single sliding checker.
  if (is_slider(pos_.board[first])) {
    const int step = Direction[first][king];
    const int pawn = with_colour(2, side_);
    for (Square b = first + step; b != king; b += step) {
      const AttackEntry& blockers = own[b];
      for (int i = 0; i < blockers.count; ++i) {
        const Square s = blockers.squares[i];
        const int piece = pos_.board[s];
        if (!is_pawn(piece) && !is_king(piece)) add_quiet(s, b);
      }
      const Square behind = PawnPush[enemy_][b];  // one square back, seen from the mover
      if (pos_.board[behind] == pawn) {
        if (last_rank(b)) add_promotions(behind, b);
        else add_quiet(behind, b);
      } else if (pos_.board[behind] == Empty) {
        const Square twoBehind = PawnPush[enemy_][behind];
        if (pos_.board[twoBehind] == pawn && start_rank(twoBehind))
          add_quiet(twoBehind, b, DoublePushFlag);
      }
    }
  }

  // 4. En passant (make_move decides whether it resolves the check).
  const Square ep = ply_.flags & EpSquareMask;
  if (ep) {
    const AttackEntry& e = own[ep];
    for (int i = 0; i < e.count; ++i)
      if (is_pawn(pos_.board[e.squares[i]])) add_en_passant(e.squares[i], ep);
  }
  close_captures();
  close_quiets();
}

}  // namespace

void generate_moves(Position& pos, PlyState& ply, int kind, int allPromotions) {
  Generator gen(pos, ply, allPromotions);
  const bool inCheck = in_check(ply);
  if (!inCheck && kind == GenCaptures) {
    // Captures are ordered by their exchange values alone: the history table is not read, so
    // the killers need no lift (this is the quiescence search's one generation per node).
    gen.captures();
  } else {
    // Killers are lifted to the top by giving their history counters a temporary score; all
    // four counters are restored afterwards, so the history table is unchanged.
    int32_t* history = pos.history[ply.side];
    const Killers& current = pos.killers[ply.ply];
    const Killers& earlier = pos.killers[ply.ply >= 2 ? ply.ply - 2 : 0];
    const int k[4] = {history_index(earlier.move[0]), history_index(earlier.move[1]),
                      history_index(current.move[0]), history_index(current.move[1])};
    int32_t saved[4];
    for (int i = 0; i < 4; ++i) saved[i] = history[k[i]];
    history[k[0]] = history[k[1]] = EarlierKillerScore;
    history[k[2]] = history[k[3]] = KillerScore;

    if (inCheck) gen.evasions();
    else if (kind == GenQuiet) gen.quiet();
    else if (kind == GenAll) gen.all();
    else gen.quiet_checks();

    for (int i = 3; i >= 0; --i) history[k[i]] = saved[i];
  }
  ply.generatedCount = uint8_t(ply.generatedCount + gen.written());
  if (ply.hashMove) remove_move(ply, ply.hashMove);
  if (ply.hashMove2Tried) remove_move(ply, ply.hashMove2Tried);
}
