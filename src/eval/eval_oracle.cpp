#include "eval/eval_oracle.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "board/setup.h"
#include "core/options.h"
#include "eval/evaluate.h"
#include "eval/material.h"
#include "eval/pawns.h"
#include "eval/preparation.h"
#include "eval/square_control.h"
#include "eval/square_names.h"
#include "eval/thread_tables.h"

EvalOracleCounts EvalOracle;

const char* const EvalCheckNames[EvalCheckCount] = {
    "material table",      "pawn hash",         "eval cache full hit", "eval cache partial hit",
    "computed value",      "bishop mobility",   "attack counts",       "bounds mirror",       "bounds learned real"};

const char* const LazyKindNames[LazyKindCount] = {"exit low (fast + max + margin < alpha)",
                                                  "exit high (fast + min - margin > beta)",
                                                  "skip low (expensive part below alpha)",
                                                  "skip high (expensive part above beta)"};

namespace {

// ---- Board walking, independent of the engine's tables ---------------------------------------

// Insertion sort of a short square list (std::sort trips the bounds warning on 16-byte arrays).
void sort_squares(uint8_t* squares, int n) {
  for (int i = 1; i < n; ++i)
    for (int j = i; j > 0 && squares[j - 1] > squares[j]; --j) std::swap(squares[j - 1], squares[j]);
}

inline bool on_board(int file, int rank) { return file >= 1 && file <= 8 && rank >= 1 && rank <= 8; }

constexpr int KnightSteps[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
constexpr int KingSteps[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
constexpr int RookRays[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
constexpr int BishopRays[4][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};

// Calls visit(target, slider) for every square the man on `from` attacks.
template <class Visit>
void walk_attacks(const Position& pos, Square from, Visit visit) {
  const int piece = pos.board[from];
  const int f = file_of(from), r = rank_of(from);
  const int type = piece_type(piece);
  auto steps = [&](const int (*d)[2], int n) {
    for (int i = 0; i < n; ++i)
      if (on_board(f + d[i][0], r + d[i][1])) visit(square_at(f + d[i][0], r + d[i][1]), false);
  };
  auto rays = [&](const int (*d)[2]) {
    for (int i = 0; i < 4; ++i)
      for (int ff = f + d[i][0], rr = r + d[i][1]; on_board(ff, rr); ff += d[i][0], rr += d[i][1]) {
        visit(square_at(ff, rr), true);
        if (pos.board[square_at(ff, rr)] != Empty) break;
      }
  };
  switch (type) {
    case 1: steps(KingSteps, 8); break;
    case 2: {
      const int dr = colour_of(piece) == White ? 1 : -1;
      for (int df : {-1, 1})
        if (on_board(f + df, r + dr)) visit(square_at(f + df, r + dr), false);
      break;
    }
    case 3: steps(KnightSteps, 8); break;
    case 5: rays(BishopRays); break;
    case 6: rays(RookRays); break;
    case 7: rays(BishopRays); rays(RookRays); break;
    default: break;
  }
}

// Every square the pawns of `colour` attack now or after advancing: the neighbouring files
// ahead of each pawn.
uint64_t pawn_span_from_board(const Position& pos, int colour) {
  uint64_t span = 0;
  const int pawn = with_colour(2, colour);
  for (Square s = 1; s <= 64; ++s) {
    if (pos.board[s] != pawn) continue;
    const int f = file_of(s), r = rank_of(s);
    for (int rr = colour == White ? r + 1 : r - 1; rr >= 1 && rr <= 8; rr += colour == White ? 1 : -1)
      for (int df : {-1, 1})
        if (on_board(f + df, rr)) span |= square_bit(square_at(f + df, rr));
  }
  return span;
}

MaterialCounts counts_from_board(const Position& pos, int colour) {
  MaterialCounts c{0, 0, 0, 0, 0, 0, 0, 0};
  for (Square s = 1; s <= 64; ++s) {
    const int piece = pos.board[s];
    if (piece == Empty || colour_of(piece) != colour) continue;
    switch (piece_type(piece)) {
      case 2: ++c.pawns; break;
      case 3: ++c.knights; break;
      case 5: ++(is_dark_square(s) ? c.darkBishops : c.lightBishops); break;
      case 6: ++c.rooks; break;
      case 7: ++c.queens; break;
      default: continue;
    }
    c.weight += PhaseWeight[piece];
    c.material += ExchangeValue[piece];
  }
  return c;
}

int32_t signature_from_board(const Position& pos, int colour) {
  int32_t signature = 0;
  for (Square s = 1; s <= 64; ++s)
    if (pos.board[s] != Empty && colour_of(pos.board[s]) == colour && !is_king(pos.board[s]))
      signature += signature_unit(pos.board[s], s);
  return signature;
}

// What an evaluation-cache entry was written under besides the position itself: the inputs that
// the key does not cover. A disagreement on a hit names the ones that changed.
struct WrittenUnder {
  uint32_t castling;
  uint8_t capturedTypes;
  int32_t fast;
  uint64_t search;  // the search (root) that wrote it
};
uint64_t SearchSerial = 0;
std::unordered_map<uint64_t, WrittenUnder> CacheWrites;

uint64_t write_key(const PlyState& ply) {
  return (uint64_t(ply.side) << 63) ^ (uint64_t(ply.lockKey & ~3u) << 31) ^ ply.indexKey;
}

// ---- Reporting -------------------------------------------------------------------------------

constexpr int MaxPrinted = 12;  // per check

void disagree(int check, const Position& pos, const PlyState& ply, const char* field, long long fast,
              long long slow) {
  ++EvalOracle.disagreed[check];
  if (EvalOracle.printed[check] >= MaxPrinted) return;
  ++EvalOracle.printed[check];
  char fen[100];
  position_fen(pos, ply, fen, sizeof fen);
  std::printf("DISAGREE %s: %s fast %lld slow %lld  fen %s (ply %d)\n", EvalCheckNames[check], field, fast,
              slow, fen, int(ply.ply));
  std::fflush(stdout);
}

// ---- Learned bounds --------------------------------------------------------------------------

// The positional parts that this search learned from, by the side whose bounds they feed (a
// value of one side is, negated, one of the other's), and the values the bounds may hold
// without having learned them: the start values and the widened ones.
struct BoundsRecord {
  std::vector<uint8_t> seen[2];  // by value + 32768
  std::vector<int32_t> anchors;
  int32_t partMax[2], partMin[2];
  bool any;
};
BoundsRecord Bounds;

inline int value_index(int32_t v) { return std::clamp(v, -32768, 32767) + 32768; }

void note_part(int side, int32_t v) {
  if (Bounds.seen[side].empty()) Bounds.seen[side].assign(65536, 0);
  Bounds.seen[side][value_index(v)] = 1;
  if (!Bounds.any || v > Bounds.partMax[side]) Bounds.partMax[side] = v;
  if (!Bounds.any || v < Bounds.partMin[side]) Bounds.partMin[side] = v;
}

bool bound_is_real(int side, int32_t v) {
  if (!Bounds.seen[side].empty() && Bounds.seen[side][value_index(v)]) return true;
  return std::find(Bounds.anchors.begin(), Bounds.anchors.end(), v) != Bounds.anchors.end();
}

void check_bounds(const Position& pos, const PlyState& ply) {
  const EvaluationState& s = EvalState;
  const int32_t maxW = s.positionalMax[White], maxB = s.positionalMax[Black];
  const int32_t minW = s.positionalMin[White], minB = s.positionalMin[Black];
  ++EvalOracle.checked[CheckBoundsMirror];
  if (maxW != -minB) disagree(CheckBoundsMirror, pos, ply, "positionalMax[white] vs -positionalMin[black]", maxW, -minB);
  else if (minW != -maxB) disagree(CheckBoundsMirror, pos, ply, "positionalMin[white] vs -positionalMax[black]", minW, -maxB);

  ++EvalOracle.checked[CheckBoundsReal];
  const int32_t bounds[4] = {maxW, minW, maxB, minB};
  static const char* const names[4] = {"positionalMax[white]", "positionalMin[white]", "positionalMax[black]",
                                       "positionalMin[black]"};
  for (int i = 0; i < 4; ++i)
    if (!bound_is_real(i / 2, bounds[i])) {
      disagree(CheckBoundsReal, pos, ply, names[i], bounds[i], 0);
      break;
    }

  // Not an invariant of the learning rule: a first value that is a new maximum leaves the side's
  // minimum at its start value, and the widening then clamps it to 0, so a side's bounds need
  // not cover even the root's own value. Counted to show how often that happens.
  if (!Bounds.any) return;
  const bool covered = maxW >= Bounds.partMax[White] && minW <= Bounds.partMin[White] &&
                       maxB >= Bounds.partMax[Black] && minB <= Bounds.partMin[Black];
  ++EvalOracle.coverChecked;
  if (!covered) ++EvalOracle.coverMissed;
}

// ---- Recomputation ---------------------------------------------------------------------------

// Evaluate's number for the window, recomputed without any cache or table; `alert` gets the
// alert flag the evaluation raises.
int32_t recomputed_total(Position& pos, PlyState& ply, int32_t alpha, int32_t beta, bool& alert) {
  bool isDraw = false;
  const int32_t fast = FastScore(ply);
  const int32_t positional = RecomputePositional(pos, ply, fast, alpha, beta, isDraw, alert);
  if (isDraw) return 0;
  const int32_t percent = Options.EvalWeights[WeightEvalPercent];
  return fast + (percent == 100 ? positional : positional * percent / 100);
}

}  // namespace

// ---- Slow twins ------------------------------------------------------------------------------

void material_entry_from_board(const Position& pos, MaterialEntry& out) {
  ComputeMaterialFromCounts(out, counts_from_board(pos, White), counts_from_board(pos, Black));
  out.key = (uint32_t(signature_from_board(pos, White)) << 16) | uint32_t(signature_from_board(pos, Black));
}

int attackers_from_board(const Position& pos, int colour, Square target, uint8_t squares[16], int& sliders) {
  int count = 0;
  sliders = 0;
  for (Square from = 1; from <= 64; ++from) {
    const int piece = pos.board[from];
    if (piece == Empty || colour_of(piece) != colour) continue;
    walk_attacks(pos, from, [&](Square t, bool slider) {
      if (t != target) return;
      if (count < 16) squares[count] = uint8_t(from);
      ++count;
      sliders += slider;
    });
  }
  sort_squares(squares, count < 16 ? count : 16);
  return count;
}

int32_t bishop_mobility_from_board(const Position& pos, Square s) {
  const int colour = colour_of(pos.board[s]);
  const uint64_t enemySpan = pawn_span_from_board(pos, colour ^ 1);
  const int ownPawn = with_colour(2, colour), enemyPawn = with_colour(2, colour ^ 1);
  int count = 0;
  for (const auto& d : BishopRays)
    for (int f = file_of(s) + d[0], r = rank_of(s) + d[1]; on_board(f, r); f += d[0], r += d[1]) {
      const Square t = square_at(f, r);
      if (pos.board[t] == ownPawn) break;
      if (!(enemySpan & square_bit(t))) ++count;
      if (pos.board[t] == enemyPawn) break;
    }
  return bishop_mobility_value(count);
}

const char* pawn_entry_difference(const PawnEntry& a, const PawnEntry& b) {
#define PAWN_FIELD(name) \
  if (std::memcmp(&a.name, &b.name, sizeof a.name) != 0) return #name;
  PAWN_FIELD(key) PAWN_FIELD(pawnsOnFile) PAWN_FIELD(whitePawnsOnFile) PAWN_FIELD(blackPawnsOnFile)
  PAWN_FIELD(whiteRearRank) PAWN_FIELD(blackRearRank) PAWN_FIELD(pawnsOnColour) PAWN_FIELD(blockedOnColour)
  PAWN_FIELD(passedOnColour) PAWN_FIELD(whitePawnCount) PAWN_FIELD(blackPawnCount) PAWN_FIELD(whitePassed)
  PAWN_FIELD(blackPassed) PAWN_FIELD(whiteWeak) PAWN_FIELD(blackWeak) PAWN_FIELD(whiteSpan) PAWN_FIELD(blackSpan)
  PAWN_FIELD(whiteOutposts) PAWN_FIELD(blackOutposts) PAWN_FIELD(whiteReach) PAWN_FIELD(blackReach)
  PAWN_FIELD(score) PAWN_FIELD(endingScore) PAWN_FIELD(lateScore) PAWN_FIELD(flags) PAWN_FIELD(whiteRookBonus)
  PAWN_FIELD(blackRookBonus) PAWN_FIELD(whiteBishopPairBonus) PAWN_FIELD(blackBishopPairBonus)
  PAWN_FIELD(averageFile) PAWN_FIELD(openFiles) PAWN_FIELD(whiteIsolated) PAWN_FIELD(blackIsolated)
  PAWN_FIELD(minorAdjust) PAWN_FIELD(spreadScale) PAWN_FIELD(pawnCentre) PAWN_FIELD(pawnCentreHigh)
#undef PAWN_FIELD
  return nullptr;
}

void board_of(const Position& src, const PlyState& ply, bool mirrored, uint8_t* board, GameState& state) {
  state = GameState{};
  board[0] = OffBoard;
  state.side = ply.side;
  state.flags = uint16_t(ply.flags & (CastleMask | EpSquareMask));
  for (Square s = 1; s <= 64; ++s) board[s] = src.board[s];
  if (!mirrored) return;
  for (Square s = 1; s <= 64; ++s) {
    const int piece = src.board[s];
    board[flip_square(s)] = uint8_t(piece == Empty ? Empty : piece ^ BlackBit);
  }
  state.side = uint8_t(ply.side ^ 1);
  uint16_t flags = 0;
  if (ply.flags & CastleWhiteShort) flags |= CastleBlackShort;
  if (ply.flags & CastleWhiteLong) flags |= CastleBlackLong;
  if (ply.flags & CastleBlackShort) flags |= CastleWhiteShort;
  if (ply.flags & CastleBlackLong) flags |= CastleWhiteLong;
  if (ply.flags & EpSquareMask) flags |= uint16_t(flip_square(ply.flags & EpSquareMask));
  state.flags = flags;
}

void prepare_mirror_root(Position& out, const Position& src, const PlyState& ply, bool mirrored) {
  uint8_t board[SquareCount];
  GameState state;
  board_of(src, ply, mirrored, board, state);
  load_board(out, board);
  setup_root_ply(out, state);
  clear_material_table(out);
  clear_pawn_hash(out);
  clear_bishop_mobility_cache(out);
  prepare_root_evaluation(out, out.plies[0]);
  root_score(out, out.plies[0]);
}

bool mirror_evaluations_agree(const Position& src, const PlyState& ply, Position& a, Position& b, char* what,
                              int whatSize) {
  // The roots are prepared one after the other: each preparation replaces the global root
  // tables, so each trace follows its own preparation. Contempt is left out: it is charged to
  // the engine's side, not to a colour.
  const int32_t contempt[2] = {EvalState.contempt[0], EvalState.contempt[1]};
  EvalState.contempt[0] = EvalState.contempt[1] = 0;
  EvalTrace ta, tb;
  prepare_mirror_root(a, src, ply, false);
  TraceEvaluation(a, a.plies[0], ta);
  prepare_mirror_root(b, src, ply, true);
  TraceEvaluation(b, b.plies[0], tb);
  EvalState.contempt[0] = contempt[0];
  EvalState.contempt[1] = contempt[1];
  what[0] = 0;
  for (int t = 0; t < TermCount; ++t) {
    if (ta.total[t] != -tb.total[t] || ta.split[t] != tb.split[t] ||
        (ta.split[t] && (ta.side[t][White] != tb.side[t][Black] || ta.side[t][Black] != tb.side[t][White]))) {
      std::snprintf(what, size_t(whatSize), "%s: %d (%d, %d), mirrored %d (%d, %d)", EvalTermNames[t], ta.total[t],
                    ta.side[t][White], ta.side[t][Black], tb.total[t], tb.side[t][White], tb.side[t][Black]);
      return false;
    }
  }
  if (ta.result != tb.result) {
    std::snprintf(what, size_t(whatSize), "total %d, mirrored %d", ta.result, tb.result);
    return false;
  }
  return true;
}

void position_fen(const Position& pos, const PlyState& ply, char* out, int outSize) {
  static const char letters[16] = {'.', 'K', 'P', 'N', '?', 'B', 'R', 'Q', '.', 'k', 'p', 'n', '?', 'b', 'r', 'q'};
  char text[100];
  int n = 0;
  for (int r = 8; r >= 1; --r) {
    int empty = 0;
    for (int f = 1; f <= 8; ++f) {
      const int piece = pos.board[square_at(f, r)];
      if (piece == Empty) {
        ++empty;
        continue;
      }
      if (empty) text[n++] = char('0' + empty), empty = 0;
      text[n++] = letters[piece & 15];
    }
    if (empty) text[n++] = char('0' + empty);
    if (r > 1) text[n++] = '/';
  }
  text[n++] = ' ';
  text[n++] = ply.side == White ? 'w' : 'b';
  text[n++] = ' ';
  const int before = n;
  if (ply.flags & CastleWhiteShort) text[n++] = 'K';
  if (ply.flags & CastleWhiteLong) text[n++] = 'Q';
  if (ply.flags & CastleBlackShort) text[n++] = 'k';
  if (ply.flags & CastleBlackLong) text[n++] = 'q';
  if (n == before) text[n++] = '-';
  text[n++] = ' ';
  const int ep = int(ply.flags & EpSquareMask);
  if (ep) {
    text[n++] = char('a' + file_of(ep) - 1);
    text[n++] = char('0' + rank_of(ep));
  } else {
    text[n++] = '-';
  }
  text[n] = 0;
  std::snprintf(out, size_t(outSize), "%s 0 1", text);
}

// ---- Checks ----------------------------------------------------------------------------------

void reset_eval_oracle() {
  std::memset(&EvalOracle, 0, sizeof EvalOracle);
  oracle_bounds_reset();
}

uint64_t eval_oracle_disagreements() {
  uint64_t d = 0;
  for (int i = 0; i < EvalCheckCount; ++i) d += EvalOracle.disagreed[i];
  return d;
}

void print_eval_oracle_tables() {
  std::printf("%-26s %14s %13s %s\n", "check", "checked", "disagreements", " (of them stored at an earlier root)");
  for (int i = 0; i < EvalCheckCount; ++i) {
    std::printf("%-26s %14llu %13llu", EvalCheckNames[i], static_cast<unsigned long long>(EvalOracle.checked[i]),
                static_cast<unsigned long long>(EvalOracle.disagreed[i]));
    if (i == CheckCacheFull || i == CheckCachePartial)
      std::printf("  (%llu)", static_cast<unsigned long long>(EvalOracle.fromEarlierRoot[i]));
    std::printf("\n");
  }
  std::printf("(not checked as a fault: at %llu of %llu evaluations the learned bounds of a side did not cover\n"
              " every positional part learned for it in that search; see the learning rule)\n",
              static_cast<unsigned long long>(EvalOracle.coverMissed),
              static_cast<unsigned long long>(EvalOracle.coverChecked));
  std::printf("\n%-42s %12s %12s %9s\n", "lazy decision", "fired", "wrong side", "rate");
  for (int i = 0; i < LazyKindCount; ++i) {
    const uint64_t fired = EvalOracle.lazyFired[i], wrong = EvalOracle.lazyWrong[i];
    std::printf("%-42s %12llu %12llu %8.3f%%\n", LazyKindNames[i], static_cast<unsigned long long>(fired),
                static_cast<unsigned long long>(wrong), fired ? 100.0 * double(wrong) / double(fired) : 0.0);
  }
}

void oracle_at_evaluate(Position& pos, PlyState& ply) {
  ++EvalOracle.evaluations;
  ++EvalOracle.checked[CheckAttacks];
  // Every man's attacks walked once, gathered by target square.
  static uint8_t found[2][SquareCount][16];
  static int foundCount[2][SquareCount], foundSliders[2][SquareCount];
  std::memset(foundCount, 0, sizeof foundCount);
  std::memset(foundSliders, 0, sizeof foundSliders);
  for (Square from = 1; from <= 64; ++from) {
    const int piece = pos.board[from];
    if (piece == Empty) continue;
    const int colour = colour_of(piece);
    walk_attacks(pos, from, [&](Square t, bool slider) {
      int& n = foundCount[colour][t];
      if (n < 16) found[colour][t][n] = uint8_t(from);  // ascending: squares are walked in order
      ++n;
      foundSliders[colour][t] += slider;
    });
  }
  for (int colour = 0; colour < 2; ++colour)
    for (Square s = 1; s <= 64; ++s) {
      const uint8_t* slow = found[colour][s];
      const int sliders = foundSliders[colour][s];
      const int count = foundCount[colour][s];
      const AttackEntry& e = pos.attacks[colour][s];
      uint8_t fast[AttackSlots];
      const int n = std::min<int>(std::max(e.count, 0), AttackSlots);
      std::copy(e.squares, e.squares + n, fast);
      sort_squares(fast, n);
      char field[48];
      std::snprintf(field, sizeof field, "%s attacks on square %d", colour == White ? "white" : "black", s);
      if (e.count != count) return disagree(CheckAttacks, pos, ply, field, e.count, count);
      if (e.sliders != sliders) return disagree(CheckAttacks, pos, ply, field, e.sliders, sliders);
      if (!std::equal(fast, fast + n, slow)) return disagree(CheckAttacks, pos, ply, field, fast[0], slow[0]);
    }
  check_bounds(pos, ply);
}

void oracle_check_material(const Position& pos, const PlyState& ply, const MaterialEntry& used) {
  ++EvalOracle.checked[CheckMaterial];
  MaterialEntry slow;
  material_entry_from_board(pos, slow);
  if (used.key != slow.key) disagree(CheckMaterial, pos, ply, "key", used.key, slow.key);
  else if (used.score != slow.score) disagree(CheckMaterial, pos, ply, "score", used.score, slow.score);
  else if (used.scale != slow.scale) disagree(CheckMaterial, pos, ply, "scale", used.scale, slow.scale);
  else if (used.flags != slow.flags) disagree(CheckMaterial, pos, ply, "flags", used.flags, slow.flags);
}

void oracle_check_pawns(const Position& pos, const PlyState& ply, const PawnEntry& used) {
  ++EvalOracle.checked[CheckPawns];
  static PawnEntry fresh;
  ComputePawnEntry(pos, ply, fresh);
  if (const char* field = pawn_entry_difference(used, fresh)) disagree(CheckPawns, pos, ply, field, 0, 0);
}

void oracle_check_bishop(const Position& pos, Square s, int32_t cached) {
  ++EvalOracle.checked[CheckBishopMobility];
  const int32_t slow = bishop_mobility_from_board(pos, s);
  if (slow != cached) {
    char field[40];
    std::snprintf(field, sizeof field, "bishop on square %d", s);
    // The ply is not at hand here: the FEN shows the board with White to move.
    PlyState plain{};
    disagree(CheckBishopMobility, pos, plain, field, cached, slow);
  }
}

void oracle_check_value(Position& pos, PlyState& ply, int kind, int32_t fast, int32_t alpha, int32_t beta,
                        int32_t result, bool alert) {
  ++EvalOracle.checked[kind];
  bool slowAlert = false;
  bool isDraw = false;
  // A full hit stands for the complete value; the other kinds for this window's value.
  const bool complete = kind == CheckCacheFull;
  const int32_t slow = RecomputePositional(pos, ply, fast, complete ? -30000 : alpha, complete ? 30000 : beta,
                                           isDraw, slowAlert);
  char field[120] = "positional part";
  bool earlierRoot = false;
  if (kind != CheckComputed) {
    const auto it = CacheWrites.find(write_key(ply));
    if (it != CacheWrites.end()) {
      const WrittenUnder& w = it->second;
      earlierRoot = w.search != SearchSerial;
      std::snprintf(field, sizeof field, "positional part (stored %s%s%s%s)",
                    w.search != SearchSerial ? "at an earlier root" : "in this search",
                    w.castling != (ply.flags & CastleMask) ? ", other castling rights" : "",
                    w.capturedTypes != ply.capturedTypes ? ", other captured types" : "",
                    w.fast != fast ? ", another fast score" : "");
    }
  }
  if (isDraw || slow != result) EvalOracle.fromEarlierRoot[kind] += earlierRoot;
  if (isDraw) disagree(kind, pos, ply, "recomputed as a dead draw", result, 0);
  else if (slow != result) disagree(kind, pos, ply, field, result, slow);
  else if (slowAlert != alert) disagree(kind, pos, ply, "alert flag", alert, slowAlert);
}

void oracle_lazy(Position& pos, PlyState& ply, int kind, int32_t alpha, int32_t beta) {
  ++EvalOracle.lazyFired[kind];
  bool alert = false;
  const int32_t complete = recomputed_total(pos, ply, -30000, 30000, alert);
  const bool low = kind == LazyExitLow || kind == LazySkipLow;
  if (low ? complete > alpha : complete < beta) ++EvalOracle.lazyWrong[kind];
}

void oracle_learned(int side, int32_t positional) {
  note_part(side, positional);
  note_part(side ^ 1, -positional);
  Bounds.any = true;
}

void oracle_bounds_reset() {
  ++SearchSerial;  // the search resets the bounds once, at its root
  for (auto& seen : Bounds.seen) seen.clear();
  Bounds.anchors.assign({-15000, 15000});
  Bounds.any = false;
}

void oracle_bounds_widened() {
  const EvaluationState& s = EvalState;
  for (int side = 0; side < 2; ++side) {
    Bounds.anchors.push_back(s.positionalMax[side]);
    Bounds.anchors.push_back(s.positionalMin[side]);
  }
}

void oracle_cache_written(const PlyState& ply, int32_t fast, bool onPartialHit) {
  WrittenUnder& w = CacheWrites[write_key(ply)];
  if (onPartialHit && w.search) return;  // the value keeps the partial entry's origin
  w = WrittenUnder{ply.flags & CastleMask, ply.capturedTypes, fast, SearchSerial};
}
