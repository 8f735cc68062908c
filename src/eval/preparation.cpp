#include "eval/preparation.h"

#include <cstddef>
#include <initializer_list>

#include "board/setup.h"
#include "board/zobrist.h"
#include "core/options.h"
#include "eval/root_census.h"
#include "eval/root_pawn_structure.h"
#include "eval/root_piece_squares.h"
#include "eval/square_names.h"

RootEvaluation RootEval;
SearchSwitchValues SearchSwitches;

namespace {

void set_stage_values(bool endgameLike) {
  RootEvaluation& r = RootEval;
  r.bishopPairBonus =
      28 * Options.EvalWeights[endgameLike ? WeightBishopPairEnd : WeightBishopPair] / 100;
  r.rookSeventhKingOn7 = endgameLike ? 5 : 12;
  r.rookSeventhKingOn8 = endgameLike ? 24 : 14;
  r.knightNoSquarePenalty = endgameLike ? -45 : -30;
  r.rooksDoubledFirstRank = endgameLike ? 0 : 5;
  r.rooksDoubledSeventh = endgameLike ? 24 : 28;
  r.rooksDoubledFile = endgameLike ? 7 : 10;
  r.rooksDoubledFileHalfOpen = endgameLike ? 5 : 7;
  r.lazyMargin = 40 + Options.KnowledgeOrSpeed;

  // By the pawn's own rank 1..8.
  static const int32_t passedMid[8] = {0, 10, 14, 20, 28, 54, 77, 101};
  static const int32_t passedEnd[8] = {0, 15, 22, 32, 44, 69, 93, 117};
  static const int32_t connectedMid[8] = {0, 0, 0, 21, 53, 100, 160, 0};
  static const int32_t connectedEnd[8] = {0, 0, 0, 30, 70, 125, 175, 0};
  static const int32_t freePath[8] = {0, 0, 0, 60, 90, 130, 190, 250};
  const int32_t p = Options.EvalWeights[WeightPassedPawns];
  const int32_t pe = Options.EvalWeights[WeightPassedPawnsEnd];
  for (int rank = 1; rank <= 8; ++rank) {
    const int k = rank - 1;
    r.passedMid[rank] = passedMid[k] * p / 100;
    r.passedEnd[rank] = passedEnd[k] * pe / 100;
    r.connectedMid[rank] = connectedMid[k] * p / 100;
    r.connectedEnd[rank] = connectedEnd[k] * pe / 100;
    r.freePathMid[rank] = freePath[k] * p / 100;
    r.freePathEnd[rank] = freePath[k] * pe / 100;
  }
  r.passedMid[0] = r.passedEnd[0] = r.connectedMid[0] = r.connectedEnd[0] = 0;
  r.freePathMid[0] = r.freePathEnd[0] = 0;
}

void set_search_switches(const Census& c, const PlyState& root, uint32_t phase) {
  const bool endgameLike = (phase & EndgameLikeMask) != 0;
  SearchSwitchValues& s = SearchSwitches;
  const int pieces = c.pieces(0) + c.pieces(1);
  const int majors = c.majors(0) + c.majors(1);
  const int minors = c.minors(0) + c.minors(1);
  s.pawnEndingExtOn = pieces <= 4;
  s.zugzwangRisk = (majors == 0 && minors <= 2) || (majors == 1 && minors <= 1) ||
                   (phase & (PhaseWhiteBare | PhaseBlackBare)) != 0;
  if (!Options.StyleFlags[2]) s.multiCutOn = 0;
  else if (!endgameLike) s.multiCutOn = 1;
  else s.multiCutOn = c.pieces(0) >= 2 && c.pieces(1) >= 2 && root.phase[0] >= 6 &&
                      root.phase[1] >= 6 && c.pawns[0] + c.pawns[1] >= 7;
  const bool armed = (c.pieces(0) >= 2 || c.majors(0) >= 1) && (c.pieces(1) >= 2 || c.majors(1) >= 1);
  s.hangingPlyLimit = Options.StyleFlags[1] && armed ? 4 : 99;
  s.singularOn = Options.CombinationFlags[1] && !endgameLike;
  s.nullAllowed = 1;
  s.checkExtPlyLimit =
      (phase & PhaseEndgame) && c.queens[0] + c.queens[1] == 0 && c.rooks[0] + c.rooks[1] <= 2 ? 4 : 99;
  if (Options.ForwardPruning == 0) s.futilityOn = 0;
  else if (!endgameLike) s.futilityOn = 1;
  else s.futilityOn = (c.pieces(0) >= 3 && c.pieces(1) >= 3) ||
                      (c.queens[0] >= 1 && c.queens[1] >= 1 && c.pieces(0) >= 2 && c.pieces(1) >= 2);
}

// The root facts that switch single king-safety and queen terms. None is set: setting them
// from the root (a queenless middle game, an open file, the opening) played no stronger.
void set_term_flags() {
  RootEvaluation& r = RootEval;
  r.kingEndgameFlag = false;
  r.openFileFlag = false;
  r.queenFlag = false;
}

// The two fingerprints: each mixed value is multiplied by the next fixed random number.
struct Fingerprints {
  int serialCount = 0, secondCount = 0;
  void serial(int32_t x) {
    ++serialCount;
    RootEval.evalSerial += uint32_t(x) * table_random(serialCount);
  }
  void second(int32_t x) {
    ++secondCount;
    RootEval.secondFingerprint += uint32_t(x) * table_random(secondCount);
  }
  void both(int32_t x) { serial(x); second(x); }
};

// FNV-1a over raw table bytes: the tables hold plain integers, so equal contents hash equally.
struct ByteHash {
  uint32_t h = 2166136261u;
  void add(const void* data, size_t bytes) {
    const unsigned char* b = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < bytes; ++i) h = (h ^ b[i]) * 16777619u;
  }
  template <typename T> void add(const T& value) { add(&value, sizeof value); }
};

uint32_t pawn_terms_fingerprint(const RootEvaluation& r) {
  ByteHash f;
  f.add(r.PhaseFlags);
  f.add(r.engineColour);
  f.add(Options.PreferOpen);
  f.add(r.passedMid);
  f.add(r.passedEnd);
  f.add(r.connectedMid);
  f.add(r.connectedEnd);
  f.add(r.pawnSquareLate);
  return f.h;
}

// Facts of the root that single terms read: the outpost zones, whether the side ahead in
// pieces has pawns to lose, the kings' wings, and the ending of one minor each.
void set_root_facts(const Census& c, bool endgameLike) {
  RootEvaluation& r = RootEval;
  // Central squares: ranks 4-6 for White's outposts, ranks 3-5 for Black's.
  r.outpostZone[White] = r.outpostZone[Black] = 0;
  for (int f = 3; f <= 6; ++f) {
    for (int rank = 4; rank <= 6; ++rank) r.outpostZone[White] |= square_bit(square_at(f, rank));
    for (int rank = 3; rank <= 5; ++rank) r.outpostZone[Black] |= square_bit(square_at(f, rank));
  }
  const int leader = c.pieceMaterial[White] > c.pieceMaterial[Black] ? White : Black;
  const int32_t lead = c.pieceMaterial[leader] - c.pieceMaterial[leader ^ 1];
  r.noPawnImbalance = !(lead > 0 && lead <= 325 && c.pawns[leader] == 0 && c.pawns[leader ^ 1] > 0);
  r.KingsSameWing = (c.kingFile[White] < 4 && c.kingFile[Black] < 4) ||
                    (c.kingFile[White] >= 6 && c.kingFile[Black] >= 6);
  r.minorEnding = endgameLike && c.pawns[0] + c.pawns[1] < 5 && c.pieceMaterial[White] == 325 &&
                  c.pieceMaterial[Black] == 325 && c.bishops[White] + c.bishops[Black] >= 1;
}

// Everything besides the root's own tables that changes what the evaluation or the search
// computes: the weights, the search switches and the style options.
void mix_settings(Fingerprints& mix, int engine) {
  const RootEvaluation& r = RootEval;
  for (int i = 0; i < EvalWeightCount; ++i) mix.both(Options.EvalWeights[i]);
  const SearchSwitchValues& s = SearchSwitches;
  for (int32_t v : {s.pawnEndingExtOn, s.zugzwangRisk, s.multiCutOn, s.hangingPlyLimit,
                    s.singularOn, s.nullAllowed, s.checkExtPlyLimit, s.futilityOn})
    mix.both(v);
  mix.both(Options.ForwardPruning);
  for (int32_t f : Options.StyleFlags) mix.both(f);
  for (int32_t f : Options.CombinationFlags) mix.both(f);
  mix.both(Options.Selectivity);
  mix.both(r.lazyMargin);
  mix.both(Options.PreferOpen);
  // The draw score shifts the scaled part of stored evaluations; with the default of 0 the
  // engine's colour does not disturb the evaluation cache.
  mix.second(engine == White ? Options.DrawScore : -Options.DrawScore);
  const int32_t termFlags = r.kingEndgameFlag | r.openFileFlag << 1 | r.queenFlag << 2;
  if (termFlags) mix.both(termFlags);
}

}  // namespace

void prepare_root_evaluation(Position& pos, PlyState& root) {
  RootEvaluation& r = RootEval;
  const Census c = take_census(pos, root);
  const int engine = root.side;
  r.engineColour = engine;
  r.StructureFlags = 0;
  r.evalSerial = r.secondFingerprint = 0;
  Fingerprints mix;

  // Pawn limits of the bishop-pair bonus: it grows when pawns come off a crowded board.
  if (c.pawns[White] > 5 && c.pawns[Black] > 5) {
    r.pawnLimitWhite = c.pawns[White];
    r.pawnLimitBlack = c.pawns[Black];
  } else {
    r.pawnLimitWhite = r.pawnLimitBlack = -1;
  }
  const int32_t limitFactor =
      (c.bishops[White] > 1 || c.bishops[Black] > 1) && c.pawns[White] > 5 && c.pawns[Black] > 5;
  mix.second(r.pawnLimitWhite * limitFactor);
  mix.second(r.pawnLimitBlack * limitFactor);

  const uint32_t phase = classify_stage(c);
  const bool endgameLike = (phase & EndgameLikeMask) != 0;
  r.PhaseFlags = phase;
  fill_ending_indicator(c, endgameLike);
  set_root_facts(c, endgameLike);

  mix.both(int32_t(phase));
  set_term_flags();

  bool activeKing[2];
  fill_base_tables(c, phase, activeKing);
  adjust_for_formation(pos, root, c, phase, activeKing);

  const int32_t pawnsBefore = root_pawn_score(pos);
  adjust_pawn_structure(pos, c, phase);
  // The root keeps the pawn values it had before the structure shifts; only later pawn moves
  // feel them.
  PieceSquareOffset = pawnsBefore - root_pawn_score(pos);
  set_structure_flags(pos, c, phase, engine);
  adjust_for_structure_flags(pos, c, engine);
  mix.both(int32_t(r.StructureFlags));

  apply_piece_weights(endgameLike);
  set_stage_values(endgameLike);
  fill_switch_tables(endgameLike, activeKing);
  set_search_switches(c, root, phase);

  mix_settings(mix, engine);
  r.pawnTermsFingerprint = pawn_terms_fingerprint(r);
  // An evaluation-cache entry holds a positional part that depends on the root as well as on
  // the settings: the root's tables (passed-pawn, late pawn and king tables, and the
  // piece-square values, which the scaling of endings mixes in) and its material, from which
  // the captures that make an ending are counted. Entries made at another root are misses.
  ByteHash stamp;
  stamp.add(r.secondFingerprint);
  stamp.add(root_tables_fingerprint());
  stamp.add(r.endingIndicator);
  stamp.add(root.signature);
  r.evalStamp = uint16_t(stamp.h ^ (stamp.h >> 16));
}

uint32_t root_tables_fingerprint() {
  const RootEvaluation& r = RootEval;
  ByteHash tables;
  tables.add(PieceSquareTable);
  tables.add(PieceSquareOffset);
  tables.add(r.passedMid, offsetof(RootEvaluation, evalSerial) - offsetof(RootEvaluation, passedMid));
  tables.add(r.pawnTermsFingerprint);
  return tables.h;
}

int32_t root_score(Position& pos, PlyState& root) {
  root.score = piece_square_score(pos, root.side);
  return root.score;
}
