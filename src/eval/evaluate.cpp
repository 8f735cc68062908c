#include "eval/evaluate.h"

#include <atomic>

#include "board/setup.h"
#include "core/options.h"
#include "eval/endgame.h"
#include "eval/eval_cache.h"
#include "eval/king_safety.h"
#include "eval/material.h"
#include "eval/pawns.h"
#include "eval/pieces.h"
#include "eval/preparation.h"
#include "eval/square_control.h"
#include "eval/square_names.h"
#include "eval/style.h"
#if TARROW_VERIFY
#include "eval/eval_hooks.h"
#endif

EvaluationState EvalState = {{{-15000}, {-15000}}, {{15000}, {15000}}, -15000, 15000, {0, 0}};

namespace {

constexpr int32_t FullWindow = 30000;
constexpr int32_t exchangeBonus[9] = {0, 0, -2, -4, -6, -8, -10, -12, -14};

// The learned bounds are shared by all search threads without locks; a lost update only makes
// a lazy decision a little less sharp.
inline int32_t shared_load(int32_t& v) {
  return std::atomic_ref<int32_t>(v).load(std::memory_order_relaxed);
}
inline void shared_store(int32_t& v, int32_t x) {
  std::atomic_ref<int32_t>(v).store(x, std::memory_order_relaxed);
}

inline int capped(int n) { return n > 8 ? 8 : n; }

inline int32_t apply_percent(int32_t value, int32_t percent) {
  return percent == 100 ? value : value * percent / 100;
}

// The positional part seen at this node widens the spread of its side (and, negated, that of
// the other side).
void learn_positional(int side, int32_t positional) {
  EvaluationState& s = EvalState;
#if TARROW_VERIFY
  oracle_learned(side, positional);
#endif
  if (positional > s.positionalMax[side]) {
    s.positionalMax[side] = positional;
    s.positionalMin[side ^ 1] = -positional;
  } else if (positional < s.positionalMin[side]) {
    s.positionalMin[side] = positional;
    s.positionalMax[side ^ 1] = -positional;
  }
}

// A side that keeps checking and is behind is probably heading for perpetual check.
bool perpetual_check_likely(const Position& pos, const PlyState& ply) {
  if (ply.ply < 9 || pos.repTop - ply.repStart < 9) return false;
  const PlyState* p = &ply;
  for (int back = 1; back <= 9; back += 2)
    if (!(p[-back].flags & InCheckFlag)) return false;
  return true;
}

// A recognised dead draw: the evaluation answers exactly 0 and stores nothing, but the spread
// learns the positional part that cancels the fast score, so lazy exits do not skip the draw.
int32_t dead_draw(int side, int32_t fast, int32_t depth, bool& isDraw) {
  isDraw = true;
  if (depth >= 0) learn_positional(side, -fast);
  return -fast;
}

}  // namespace

int32_t FastScore(const PlyState& ply) {
  const int side = ply.side;
  return ply.material[side] - ply.material[side ^ 1] + ply.score - EvalState.contempt[side];
}

namespace {

// Each side's knights, bishops, rooks and queens valued one by one by the per-piece terms.
void trace_piece_sides(const Position& pos, const PlyState& ply, const PawnEntry& pawns, bool endgameForm,
                       EvalTrace& trace) {
  for (int c = White; c <= Black; ++c) {
    const uint8_t* list = colour_list(pos, c);
    int32_t sum = 0;
    for (int i = 1; list[i] != 0; ++i)
      if (list[i] != CapturedMark && !is_pawn(pos.board[list[i]]))
        sum += PieceValue(pos, ply, pawns, endgameForm, list[i]);
    trace.side[TermPieces][c] = sum;
  }
  trace.split[TermPieces] = true;
}

// The three forms of the evaluation proper. The search's form reads and writes the evaluation
// cache and learns the spreads; the traced form (for the "eval" command) also writes every term
// into `trace`; the checking form is the search's without the evaluation cache and without
// changing any learned spread, so that it can recompute a value the search took from the cache
// or skipped. Neither of the last two touches the cache; the search's form compiles without
// any of their code.
enum class EvalForm { Search, Traced, Checking };

// What the evaluation cache holds for the position.
struct CacheProbe {
  EvalCacheEntry* slot;  // where the result goes: the search's form only
  uint32_t lockBase;
  bool fullHit, partialHit;
  int32_t stored;  // a full hit's result, or a partial hit's cheap part (side to move's view)
};

template <EvalForm Form>
[[gnu::always_inline]] inline CacheProbe probe_cache(Position& pos, PlyState& ply, bool probe,
                                                     bool endingIndicator, int32_t fast,
                                                     int32_t alpha, int32_t beta) {
  const RootEvaluation& root = RootEval;
  CacheProbe c{Form == EvalForm::Search ? eval_cache_slot(ply.side, ply.indexKey) : nullptr,
               eval_cache_lock(ply.lockKey, ply.flags, endingIndicator) & ~3u, false, false, 0};
  if (!probe || !c.slot) return c;
  uint32_t check, data;
  eval_cache_read(c.slot, check, data);
  const uint32_t word = check ^ data;
  if ((data >> 16) != root.evalStamp) return c;
  if ((word & ~EvalCacheAlert) == c.lockBase) {
    ply.evalAlert = (word & EvalCacheAlert) ? 1 : 0;
#if TARROW_VERIFY
    oracle_check_value(pos, ply, CheckCacheFull, fast, alpha, beta, int16_t(data & 0xFFFF), ply.evalAlert);
#else
    (void)pos, (void)fast, (void)alpha, (void)beta;
#endif
    c.fullHit = true;
    c.stored = int16_t(data & 0xFFFF);
  } else if ((word & ~EvalCacheAlert) == (c.lockBase | EvalCachePartial)) {
    ply.evalAlert = (word & EvalCacheAlert) ? 1 : 0;
    c.partialHit = true;
    c.stored = int16_t(data & 0xFFFF);
  }
  return c;
}

// The cheap part of an evaluation that no ending rule decided, White's view: pawn structure,
// development, the piece terms, endgame corrections, the material table, bishops, style, king
// safety and the tempo. Returns false when the pawn ending is a dead draw.
template <EvalForm Form>
[[gnu::always_inline]] inline bool cheap_terms(Position& pos, PlyState& ply, const PawnEntry& pawns,
                                               uint32_t phase, bool endgameForm,
                                               bool endingIndicator, int32_t endingValue,
                                               int32_t& scale, int32_t& cheap, EvalTrace* trace) {
  constexpr bool Traced = Form == EvalForm::Traced;
  constexpr bool Learns = Form == EvalForm::Search;
  (void)Learns, (void)trace;
  const RootEvaluation& root = RootEval;
  const int side = ply.side;
  int32_t pawnSum = pawns.score + endingValue;
  int32_t materialSum = 0;
  if constexpr (Traced) trace->total[TermPawns] += pawns.score, trace->total[TermEndgame] += endingValue;

  // Opening: a centre pawn still at home with a piece in front of it blocks the development.
  if (phase & PhaseOpening) {
    if (pos.board[D2] == WhitePawn && pos.board[D3] != Empty) materialSum -= 30;
    if (pos.board[E2] == WhitePawn && pos.board[E3] != Empty) materialSum -= 30;
    if (pos.board[D7] == BlackPawn && pos.board[D6] != Empty) materialSum += 30;
    if (pos.board[E7] == BlackPawn && pos.board[E6] != Empty) materialSum += 30;
  }
  if constexpr (Traced) trace->total[TermDevelopment] = materialSum;

  PieceTermSums pieces;
  PieceTerms(pos, ply, pawns, endgameForm, pieces);
  pawnSum += pieces.pawnSum;
  if constexpr (Traced) trace->total[TermPawns] += pieces.pawnSum;
  const int32_t pawnSumBeforeEnding = pawnSum;
  if (endgameForm)
    pawnSum += EndgameCorrections(pos, ply, pawns, pieces.unstoppable, phase & PhasePawnsOnly, scale);

  if (endingIndicator) pawnSum += pawns.lateScore;
  if (phase & PhasePawnsOnly) pawnSum += pawns.endingScore;
  if constexpr (Traced) trace->total[TermEndgame] += pawnSum - pawnSumBeforeEnding;
  if (phase & PhasePawnsOnly) {
    if (PawnEndingIsDraw(pos, pawns)) return false;
  }

  const MaterialEntry& material = MaterialLookup(pos, ply);
#if TARROW_VERIFY
  if constexpr (Learns) oracle_check_material(pos, ply, material);
#endif
  if (material.scale) scale = CombinePercent(scale, material.scale);
  materialSum += material.score;
  if (material.flags & MaterialMinorsEqual) materialSum += pawns.minorAdjust;
  else if (material.flags & MaterialWhiteUpExchange) materialSum -= exchangeBonus[capped(pawns.blackIsolated)];
  else if (material.flags & MaterialBlackUpExchange) materialSum += exchangeBonus[capped(pawns.whiteIsolated)];
  if constexpr (Traced) trace->total[TermImbalance] = materialSum - trace->total[TermDevelopment];

  const BishopTermSums bishops = BishopTerms(pos, ply, pawns);
  pawnSum += bishops.pairSum;
  const int32_t beforeStyle = pawnSum + materialSum;
  if (!endgameForm && root.StructureFlags)
    StyleTerms(pos, ply, pawns, root.StructureFlags, root.engineColour, pawnSum, materialSum);
  if constexpr (Traced) trace->total[TermStyle] = pawnSum + materialSum - beforeStyle;
  int32_t kingSides[2];
  const int32_t kingRaw =
      KingSafetySum(pos, ply, pawns, phase, endingIndicator, Traced ? kingSides : nullptr);
  const int32_t kingSum = apply_percent(kingRaw, Options.EvalWeights[WeightKingSafety]);
  if (FortressHolds(pos, pawns, phase & PhasePawnsOnly, pieces.unstoppable))
    scale = CombinePercent(scale, FortressScale);
  materialSum += side == White ? 10 : -10;  // tempo

  const int32_t pawnWeight =
      Options.EvalWeights[endgameForm ? WeightPawnStructureEnd : WeightPawnStructure];
  cheap = apply_percent(pawnSum, pawnWeight) + materialSum + pieces.pieceSum +
          bishops.colourSum + kingSum;
  if constexpr (Traced) {
    trace->total[TermPawns] += bishops.pairSum;
    trace->total[TermKingSafety] = kingRaw;
    trace->side[TermKingSafety][White] = kingSides[White];
    trace->side[TermKingSafety][Black] = kingSides[Black];
    trace->split[TermKingSafety] = true;
    trace->total[TermTempo] = side == White ? 10 : -10;
    trace->side[TermTempo][side] = 10;
    trace->split[TermTempo] = true;
    trace->total[TermWeights] += apply_percent(pawnSum, pawnWeight) - pawnSum + kingSum - kingRaw;
    trace->total[TermPieces] = pieces.pieceSum;
    trace->total[TermBishopColour] = bishops.colourSum;
    trace_piece_sides(pos, ply, pawns, endgameForm, *trace);
  }
  return true;
}

// The expensive part (square control and mobility) is worth computing only when it could move
// the score across the window. Adds it to `cheap` and returns true, or returns false when it
// was skipped.
template <EvalForm Form>
[[gnu::always_inline]] inline bool add_square_control(Position& pos, PlyState& ply, const PawnEntry& pawns,
                                                      bool endgameForm, int32_t fast, int32_t alpha,
                                                      int32_t beta, int32_t& cheap, EvalTrace* trace) {
  constexpr bool Traced = Form == EvalForm::Traced;
  constexpr bool Learns = Form == EvalForm::Search;
  (void)trace;
  const int side = ply.side;
  const int32_t half = RootEval.lazyMargin / 2;
  const int32_t controlMax = shared_load(EvalState.squareControlMax);
  const int32_t controlMin = shared_load(EvalState.squareControlMin);
  bool skipLow, skipHigh;
  if (side == White) {
    skipLow = half + controlMax + cheap + fast < alpha;
    skipHigh = controlMin - half + cheap + fast > beta;
  } else {
    skipLow = half - controlMin - cheap + fast < alpha;
    skipHigh = fast - half - controlMax - cheap > beta;
  }
  if (skipLow || skipHigh) {
#if TARROW_VERIFY
    if (Learns) oracle_lazy(pos, ply, skipLow ? LazySkipLow : LazySkipHigh, alpha, beta);
#endif
    return false;
  }
  const int32_t expensive = SquareControl(pos, ply, pawns, endgameForm);
  if constexpr (Learns) {
    if (expensive > controlMax) shared_store(EvalState.squareControlMax, expensive);
    if (expensive < controlMin) shared_store(EvalState.squareControlMin, expensive);
  }
  cheap += expensive;
  if constexpr (Traced) {
    for (int c = White; c <= Black; ++c)
      trace->side[TermMobility][c] = KnightMobility(pos, pawns, c) + BishopMobility(pos, ply, pawns, c);
    trace->split[TermMobility] = true;
    trace->total[TermMobility] = trace->side[TermMobility][White] - trace->side[TermMobility][Black];
    trace->total[TermCentre] = expensive - trace->total[TermMobility];
  }
  return true;
}

template <EvalForm Form>
int32_t full_evaluation(Position& pos, PlyState& ply, int32_t fast, int32_t alpha, int32_t beta,
                        bool& isDraw, bool noProbe, int32_t depth, EvalTrace* trace) {
  constexpr bool Traced = Form == EvalForm::Traced;
  constexpr bool Learns = Form == EvalForm::Search;
  const RootEvaluation& root = RootEval;
  const int side = ply.side;
  isDraw = false;

  // The root's first evaluation (full window) always computes. So does a position whose
  // opponent has been checking for five turns: its value may take the perpetual-check damping,
  // which depends on the way here, and the cache holds values of the position alone.
  const bool checkingLine = perpetual_check_likely(pos, ply);
  const bool probe = !noProbe && !(alpha == -FullWindow && beta == FullWindow) && !checkingLine;
  // Whether the captures since the root make an ending: the same board reached by other
  // captures (a promoted piece taken) may be valued in the other form.
  const bool endingIndicator = root.endingIndicator[ply.capturedTypes] != 0;
  const CacheProbe cache = probe_cache<Form>(pos, ply, probe, endingIndicator, fast, alpha, beta);
  if (cache.fullHit) return cache.stored;

  const PawnEntry& pawns = PawnLookup(pos, ply);
#if TARROW_VERIFY
  if constexpr (Learns) oracle_check_pawns(pos, ply, pawns);
#endif
  int32_t scale = 0;
  // The pawn-ending flag follows the board, not the root; kept local so that threads do not
  // write the shared flags.
  uint32_t phase = root.PhaseFlags & ~PhasePawnsOnly;
  if (ply.phase[White] == 0 && ply.phase[Black] == 0) phase |= PhasePawnsOnly;
  const bool endgameForm = (phase & EndgameLikeMask) || endingIndicator;

  // Known endings: a dead draw, an exact value, or scaling and a pawn-structure correction.
  EndingVerdict ending = EndingOpen;
  int32_t endingValue = 0;
  if (!cache.partialHit && endgameForm) {
    ending = RecogniseEnding(pos, ply, pawns, scale, endingValue);
    if (ending == EndingDraw) return dead_draw(side, fast, Learns ? depth : -1, isDraw);
  }

  int32_t cheap;  // White's view
  if (cache.partialHit) {
    cheap = side == White ? cache.stored : -cache.stored;
  } else if (ending == EndingExact) {
    cheap = endingValue;
    if constexpr (Traced) trace->total[TermEndgame] += endingValue;
  } else if (!cheap_terms<Form>(pos, ply, pawns, phase, endgameForm, endingIndicator, endingValue,
                                scale, cheap, trace)) {
    return dead_draw(side, fast, Learns ? depth : -1, isDraw);
  }

  // An exact ending is complete as it is.
  const bool skipExpensive = ending != EndingExact &&
      !add_square_control<Form>(pos, ply, pawns, endgameForm, fast, alpha, beta, cheap, trace);

  int32_t result = side == White ? cheap : -cheap;

  const bool damped = fast + result < 0 && checkingLine;
  if (damped) scale = CombinePercent(scale, 80);
  // Scale the whole score, fast part included, by the percentage.
  const int32_t unscaled = result;
  if (scale) result = (fast * (scale - 100) + result * scale) / 100;
  if constexpr (Traced) trace->total[TermScaling] = side == White ? result - unscaled : unscaled - result;

  if (Learns && !skipExpensive && depth >= 0) learn_positional(side, result);
#if TARROW_VERIFY
  if constexpr (Learns) oracle_check_value(pos, ply, cache.partialHit ? CheckCachePartial : CheckComputed, fast, alpha, beta, result, ply.evalAlert);
#endif
  // A partial entry stands for the cheap part alone: a hit adds the expensive part to it and
  // scales nothing, so a scaled cheap part is not stored.
  if (cache.slot && !damped && !(skipExpensive && scale)) {
    const uint32_t check = cache.lockBase | (skipExpensive ? EvalCachePartial : 0) |
                           (ply.evalAlert ? EvalCacheAlert : 0);
    eval_cache_write(cache.slot, check, (uint32_t(root.evalStamp) << 16) | uint16_t(int16_t(result)));
#if TARROW_VERIFY
    oracle_cache_written(ply, fast, cache.partialHit);
#endif
  }
  return result;
}

}  // namespace

int32_t FullEvaluation(Position& pos, PlyState& ply, int32_t fast, int32_t alpha, int32_t beta,
                       bool& isDraw, bool noProbe, int32_t depth) {
  return full_evaluation<EvalForm::Search>(pos, ply, fast, alpha, beta, isDraw, noProbe, depth, nullptr);
}

int32_t RecomputePositional(Position& pos, PlyState& ply, int32_t fast, int32_t alpha, int32_t beta,
                            bool& isDraw, bool& alert) {
  MaterialEntry* const material = pos.materialTable;
  PawnEntry* const pawns = pos.pawnHash;
  BishopMobilityEntry* const bishops = pos.bishopMobilityCache;
  const uint8_t alertBefore = ply.evalAlert;
  pos.materialTable = nullptr;
  pos.pawnHash = nullptr;
  pos.bishopMobilityCache = nullptr;
  ply.evalAlert = 0;
  const int32_t positional =
      full_evaluation<EvalForm::Checking>(pos, ply, fast, alpha, beta, isDraw, true, -1, nullptr);
  alert = ply.evalAlert != 0;
  ply.evalAlert = alertBefore;
  pos.materialTable = material;
  pos.pawnHash = pawns;
  pos.bishopMobilityCache = bishops;
  return positional;
}

int32_t Evaluate(Position& pos, PlyState& ply, int32_t alpha, int32_t beta, int32_t depth) {
  const int32_t fast = FastScore(ply);
  const int side = ply.side;
#if TARROW_VERIFY
  oracle_at_evaluate(pos, ply);
#endif
  if (ply.ply >= 2 && (ply.ply >= 7 || !RootEval.minorEnding)) {
    const int32_t margin = RootEval.lazyMargin;
    if (fast + EvalState.positionalMax[side] + margin < alpha) {
#if TARROW_VERIFY
      oracle_lazy(pos, ply, LazyExitLow, alpha, beta);
#endif
      return fast;
    }
    if (fast + EvalState.positionalMin[side] - margin > beta) {
#if TARROW_VERIFY
      oracle_lazy(pos, ply, LazyExitHigh, alpha, beta);
#endif
      return fast;
    }
  }
  bool isDraw;
  const int32_t positional = FullEvaluation(pos, ply, fast, alpha, beta, isDraw, false, depth);
  if (isDraw) return 0;
  return fast + apply_percent(positional, Options.EvalWeights[WeightEvalPercent]);
}

const char* const EvalTermNames[TermCount] = {
    "material",       "piece-square", "square offset", "contempt",       "imbalance", "development",
    "tempo",          "pawn structure", "king safety", "pieces",         "bishop colour",
    "centre control", "mobility",     "style",         "endgame",        "scaling",   "weights",
    "draw"};

int32_t TraceEvaluation(Position& pos, PlyState& ply, EvalTrace& trace) {
  trace = EvalTrace{};
  const int side = ply.side;
  const int32_t fast = FastScore(ply);
  auto white_view = [side](int32_t v) { return side == White ? v : -v; };
  trace.side[TermMaterial][White] = ply.material[White];
  trace.side[TermMaterial][Black] = ply.material[Black];
  trace.total[TermMaterial] = ply.material[White] - ply.material[Black];
  trace.split[TermMaterial] = true;
  for (int c = White; c <= Black; ++c) trace.side[TermPieceSquare][c] = piece_square_sum(pos, c);
  trace.total[TermPieceSquare] = trace.side[TermPieceSquare][White] - trace.side[TermPieceSquare][Black];
  trace.split[TermPieceSquare] = true;
  trace.total[TermSquareOffset] = white_view(ply.score) - trace.total[TermPieceSquare];
  trace.total[TermContempt] = white_view(-EvalState.contempt[side]);
  bool isDraw;
  // Depth -1: the evaluation learns no spread from this call.
  const int32_t positional =
      full_evaluation<EvalForm::Traced>(pos, ply, fast, -FullWindow, FullWindow, isDraw, true, -1, &trace);
  trace.result = isDraw ? 0 : fast + apply_percent(positional, Options.EvalWeights[WeightEvalPercent]);
  if (!isDraw) trace.total[TermWeights] += white_view(trace.result - fast - positional);
  int32_t terms = 0;
  for (int t = 0; t < TermCount; ++t) terms += trace.total[t];
  if (isDraw) trace.total[TermDraw] = -terms;
  return trace.result;
}

void reset_eval_bounds() {
  EvaluationState& s = EvalState;
  s.positionalMax[White] = s.positionalMax[Black] = -15000;
  s.positionalMin[White] = s.positionalMin[Black] = 15000;
  s.squareControlMax = -15000;
  s.squareControlMin = 15000;
#if TARROW_VERIFY
  oracle_bounds_reset();
#endif
}

void widen_eval_bounds() {
  EvaluationState& s = EvalState;
  s.squareControlMax += 30;
  s.squareControlMin -= 30;
  for (int side = 0; side < 2; ++side) {
    s.positionalMax[side] += 100;
    s.positionalMin[side] -= 100;
  }
  if (s.positionalMin[White] > 0) s.positionalMin[White] = s.positionalMax[Black] = 0;
  if (s.positionalMax[White] < 0) s.positionalMax[White] = s.positionalMin[Black] = 0;
#if TARROW_VERIFY
  oracle_bounds_widened();
#endif
}

void set_contempt(int engineColour) {
  int32_t value = Options.DrawScore;
  if (RootEval.PhaseFlags & EndgameLikeMask) value /= 4;
  EvalState.contempt[engineColour] = value;
  EvalState.contempt[engineColour ^ 1] = -value;
}
