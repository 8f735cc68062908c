#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "board/makemove.h"
#include "core/options.h"
#include "eval/eval_cache.h"
#include "eval/evaluate.h"
#include "eval/king_safety.h"
#include "eval/material.h"
#include "eval/pawns.h"
#include "eval/pieces.h"
#include "eval/preparation.h"
#include "eval/square_control.h"
#include "eval/square_names.h"
#include "eval_helpers.h"
#include "support/positions.h"

namespace {

class Evaluation : public ::testing::Test {
 protected:
  void SetUp() override { reset_eval_environment(); }
};

uint64_t flip_bits(uint64_t b) { return __builtin_bswap64(b); }

uint16_t mirrored_pawn_flags(uint16_t f) {
  static const uint16_t pairs[][2] = {{PawnLockQueenSideWhite, PawnLockQueenSideBlack},
                                      {PawnLockKingSideWhite, PawnLockKingSideBlack},
                                      {PawnWhiteAdvancedPasser, PawnBlackAdvancedPasser},
                                      {PawnWhiteLowWeak, PawnBlackHighWeak}};
  uint16_t out = f & (PawnCentreOpen | PawnCentreClosed | PawnWall);
  for (const auto& p : pairs) {
    if (f & p[0]) out |= p[1];
    if (f & p[1]) out |= p[0];
  }
  return out;
}

// The pawn entry of the mirror holds the same facts with colours exchanged.
void expect_mirrored_pawn_entries(const PawnEntry& a, const PawnEntry& b, const char* where) {
  EXPECT_EQ(a.score, -b.score) << where;
  EXPECT_EQ(a.lateScore, -b.lateScore) << where;
  EXPECT_EQ(a.endingScore, -b.endingScore) << where;
  EXPECT_EQ(a.flags, mirrored_pawn_flags(b.flags)) << where;
  EXPECT_EQ(a.whitePassed, flip_bits(b.blackPassed)) << where;
  EXPECT_EQ(a.whiteWeak, flip_bits(b.blackWeak)) << where;
  EXPECT_EQ(a.whiteSpan, flip_bits(b.blackSpan)) << where;
  EXPECT_EQ(a.whiteOutposts, flip_bits(b.blackOutposts)) << where;
  // White's fill runs first and Black's only when White's reaches rank 8, so the regions are
  // comparable when both were filled: exactly when the wall flag is set.
  if (a.flags & PawnWall) {
    EXPECT_EQ(a.whiteReach, flip_bits(b.blackReach)) << where;
    EXPECT_EQ(a.blackReach, flip_bits(b.whiteReach)) << where;
  }
  EXPECT_EQ(a.whiteRookBonus, -b.blackRookBonus) << where;
  EXPECT_EQ(a.whiteBishopPairBonus, -b.blackBishopPairBonus) << where;
  EXPECT_EQ(a.whiteIsolated, b.blackIsolated) << where;
  EXPECT_EQ(a.minorAdjust, -b.minorAdjust) << where;
  EXPECT_EQ(a.spreadScale, b.spreadScale) << where;
  EXPECT_EQ(a.averageFile, b.averageFile) << where;
  // The centre is an average truncated toward a1, so the mirror may sit one rank off.
  if (a.pawnCentre) {
    const int mirroredCentre = ((b.pawnCentre - 1) ^ 56) + 1;
    EXPECT_EQ(file_of(a.pawnCentre), file_of(mirroredCentre)) << where;
    EXPECT_LE(std::abs(rank_of(a.pawnCentre) - rank_of(mirroredCentre)), 1) << where;
  }
}

// The most valuable property of an evaluation: a position and its colour-flipped mirror (board
// upside down, colours, side to move, castling and en passant exchanged) get the same score,
// each with its own root preparation. The engine's colour is the side to move, so it flips too.
// The tables of a mirrored root are the colour mirror of the original's. With "Prefer Open
// Positions" the pawn-lever shifts are not mirror images as specified: for a pawn with lever
// pawns on both sides, White's rule takes the queen-side lever and Black's the king-side one,
// so the +10 on the third (sixth) rank may land on different files. Those entries are exempt
// when `leverRule` is set.
int32_t SavedTable[16][SquareCount];
void expect_mirrored_tables(const char* where, bool leverRule = false) {
  for (int code = 1; code < 16; ++code)
    for (Square s = 1; s <= 64; ++s) {
      const int32_t mirrored = PieceSquareTable[code ^ BlackBit][((s - 1) ^ 56) + 1];
      if (SavedTable[code][s] == mirrored) continue;
      if (leverRule && piece_type(code) == 2 && (rank_of(s) == 3 || rank_of(s) == 6)) continue;
      ADD_FAILURE() << where << ": piece " << code << " square " << s << ": "
                    << SavedTable[code][s] << " against " << mirrored;
    }
}

// Compares the evaluation of random positions with their mirrors; returns how many were compared.
int compare_with_mirrors(uint32_t seed, int runsPerFen, bool engineTerms) {
  std::mt19937 rng(seed);
  EvalPosition game, original, mirror;
  int compared = 0;
  for (const char* fen : TestFens) {
    for (int run = 0; run < runsPerFen; ++run) {
      set_fen(*game, fen);
      PlyState* ply = play_random_moves(*game, rng, int(rng() % 90));
      char where[160];
      std::snprintf(where, sizeof where, "%s after %d plies", fen, int(ply->ply));

      prepare_copy(original, *game, *ply, false);
      if (engineTerms) set_contempt(original.root().side);
      const int32_t rootScore = original.root().score;
      const uint32_t phase = RootEval.PhaseFlags;
      const int32_t a = evaluate_root(original);
      const PawnEntry pawnsA = PawnLookup(*original, original.root());
      std::memcpy(SavedTable, PieceSquareTable, sizeof SavedTable);

      prepare_copy(mirror, *game, *ply, true);
      if (engineTerms) set_contempt(mirror.root().side);
      expect_mirrored_tables(where, engineTerms && Options.PreferOpen);
      EXPECT_EQ(mirror.root().score, rootScore) << where;
      const uint32_t bare = PhaseWhiteBare | PhaseBlackBare;
      const uint32_t mirroredPhase = (phase & ~bare) | ((phase & PhaseWhiteBare) ? PhaseBlackBare : 0) |
                                     ((phase & PhaseBlackBare) ? PhaseWhiteBare : 0);
      EXPECT_EQ(RootEval.PhaseFlags, mirroredPhase) << where;
      const int32_t b = evaluate_root(mirror);
      const PawnEntry pawnsB = PawnLookup(*mirror, mirror.root());

      // Extra promoted men overflow the material signature, whose bishop bits depend on the
      // square colour; such positions are compared only where the signature is not involved.
      if (signature_is_exact(*game)) {
        EXPECT_EQ(a, b) << where;
        EXPECT_EQ(original.root().evalAlert, mirror.root().evalAlert) << where;
        ++compared;
      }
      expect_mirrored_pawn_entries(pawnsA, pawnsB, where);
      take_back_all(*game, ply);
    }
  }
  return compared;
}

// The most valuable property of an evaluation: a position and its colour-flipped mirror (board
// upside down, colours, side to move, castling and en passant exchanged) get the same score,
// each with its own root preparation.
TEST_F(Evaluation, ColourFlippedPositionsScoreTheSame) {
  const int compared = compare_with_mirrors(2024, 40, false);
  EXPECT_GT(compared, int(TestFens.size()) * 40 * 9 / 10);
}

Move mirrored_move(Move m) {
  if (m & NullMoveFlag) return m;
  auto flip_code = [](int code) { return code ? code ^ BlackBit : 0; };
  return encode_move(flip_square(move_from(m)), flip_square(move_to(m)),
                     flip_code(move_promotion(m)), flip_code(move_captured(m)),
                     flip_code(move_piece(m)), m & (EnPassantFlag | CastleFlag | DoublePushFlag));
}

// Below the root the evaluation also reads how the game changed since the root (captures that
// made it an ending, king tables for fewer pieces): a line of moves and its mirrored line
// score the same at every ply, each under its own root preparation.
TEST_F(Evaluation, MirroredLinesScoreTheSameAtEveryPly) {
  std::mt19937 rng(77);
  EvalPosition game, original, mirror;
  int compared = 0;
  auto evaluate_ply = [](EvalPosition& p, PlyState& ply) {
    bool isDraw = false;
    const int32_t fast = FastScore(ply);
    return fast + FullEvaluation(*p, ply, fast, -30000, 30000, isDraw, true, -1);
  };
  for (const char* fen : TestFens) {
    for (int run = 0; run < 12; ++run) {
      set_fen(*game, fen);
      PlyState* start = play_random_moves(*game, rng, int(rng() % 40));
      char where[160];
      std::snprintf(where, sizeof where, "%s after %d plies, run %d", fen, int(start->ply), run);

      // A line from the original root, evaluated at every ply.
      prepare_copy(original, *game, *start, false);
      std::vector<Move> line;
      std::vector<int32_t> scores;
      std::vector<uint8_t> alerts;
      std::vector<bool> exact;
      PlyState* ply = &original.root();
      const int length = 10 + int(rng() % 30);
      for (int i = 0; i < length; ++i) {
        scores.push_back(evaluate_ply(original, *ply));
        alerts.push_back(ply->evalAlert);
        exact.push_back(signature_is_exact(*original));
        const std::vector<Move> moves = legal_moves(*original, *ply);
        if (moves.empty()) break;
        ply->move = moves[rng() % moves.size()];
        line.push_back(ply->move);
        ply = make_move(*original, *ply);
      }

      // The mirrored line from the mirrored root.
      prepare_copy(mirror, *game, *start, true);
      ply = &mirror.root();
      for (size_t i = 0; i < scores.size(); ++i) {
        const int32_t score = evaluate_ply(mirror, *ply);
        if (exact[i]) {
          EXPECT_EQ(score, scores[i]) << where << ", ply " << i;
          EXPECT_EQ(ply->evalAlert, alerts[i]) << where << ", ply " << i;
          ++compared;
        }
        if (i == line.size()) break;
        ply->move = mirrored_move(line[i]);
        ply = make_move(*mirror, *ply);
        ASSERT_NE(ply, nullptr) << where << ", ply " << i;
      }
      take_back_all(*game, start);
    }
  }
  EXPECT_GT(compared, int(TestFens.size()) * 12 * 10 * 9 / 10);
}

// The engine plays the side to move at the root, so its colour flips with the board: the
// terms that depend on it (contempt, "Prefer Open Positions") must keep the symmetry.
TEST_F(Evaluation, EngineColourTermsFlipWithTheBoard) {
  Options.PreferOpen = 1;
  Options.DrawScore = 25;
  EXPECT_GT(compare_with_mirrors(99, 15, true), 0);
  EvalState.contempt[0] = EvalState.contempt[1] = 0;
}

// Formations that switch on the engine-colour structure flags, and their mirrors.
TEST_F(Evaluation, StructureFlagsFollowTheEngineColour) {
  EvalPosition original, mirror;
  const char* fen = "rnbq1rk1/ppp1bppp/4pn2/3p4/3P1P2/2NBPN2/PPP3PP/R1BQK2R b KQ - 0 1";
  // With White to move the engine plays White: not its formation.
  prepare_fen(original, "rnbq1rk1/ppp1bppp/4pn2/3p4/3P1P2/2NBPN2/PPP3PP/R1BQK2R w KQ - 0 1");
  EXPECT_EQ(RootEval.StructureFlags, 0u);
  const int32_t c4WithoutFlag = PieceSquareTable[BlackPawn][C4];
  prepare_fen(original, fen);
  EXPECT_EQ(RootEval.StructureFlags, StructureStonewall);
  EXPECT_EQ(PieceSquareTable[BlackPawn][C4], c4WithoutFlag - 50);
  const int32_t a = evaluate_root(original);
  std::memcpy(SavedTable, PieceSquareTable, sizeof SavedTable);
  prepare_copy(mirror, *original, original.root(), true);
  EXPECT_EQ(RootEval.StructureFlags, StructureStonewall);
  expect_mirrored_tables(fen);
  EXPECT_EQ(evaluate_root(mirror), a);
}

TEST_F(Evaluation, CombinePercentKeepsZeroForNoScaling) {
  EXPECT_EQ(CombinePercent(0, 40), 40);
  EXPECT_EQ(CombinePercent(50, 50), 25);
  EXPECT_EQ(CombinePercent(5, 66), 3);
  EXPECT_EQ(CombinePercent(1, 40), 1);  // never drops to "none"
  EXPECT_EQ(CombinePercent(100, 100), 100);
  EXPECT_EQ(CombinePercent(0, 0), 0);
}

struct CacheFixture : Evaluation {
  EvalPosition p;
  EvalCacheEntry* slot = nullptr;
  int32_t fast = 0, full = 0;
  void SetUp() override {
    Evaluation::SetUp();
    prepare_fen(p, "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10");
    fast = FastScore(p.root());
    full = evaluate_root(p);
    slot = eval_cache_slot(p.root().side, p.root().indexKey);
    ASSERT_NE(slot, nullptr);
  }
  uint32_t lock_base() const { return p.pos->plies[0].lockKey & ~3u; }
  uint32_t data(int32_t score, uint16_t stamp) const {
    return (uint32_t(stamp) << 16) | uint16_t(int16_t(score));
  }
  int32_t narrow() { return Evaluate(*p, p.root(), full - 50, full + 50, 0); }
};

TEST_F(CacheFixture, FullWindowWritesTheCacheButNeverReadsIt) {
  uint32_t check, stored;
  eval_cache_read(slot, check, stored);
  EXPECT_EQ((check ^ stored) & ~EvalCacheAlert, lock_base());  // a complete entry
  EXPECT_EQ(int16_t(stored & 0xFFFF), full - fast);
  EXPECT_EQ(stored >> 16, RootEval.evalStamp);

  // Plant a wrong score under a valid check word: the full window ignores it, a narrow window
  // (ply 0, so no lazy exit) takes it.
  eval_cache_write(slot, lock_base(), data(full - fast + 77, RootEval.evalStamp));
  EXPECT_EQ(evaluate_root(p), full);
  eval_cache_write(slot, lock_base(), data(full - fast + 77, RootEval.evalStamp));
  EXPECT_EQ(narrow(), full + 77);
}

TEST_F(CacheFixture, TornEntriesAndOtherStampsAreMisses) {
  const uint32_t real = data(full - fast, RootEval.evalStamp);
  const uint32_t bogus = data(full - fast + 77, RootEval.evalStamp);
  // First word written for the real score, second word from another write.
  slot->check = lock_base() ^ real;
  slot->data = bogus;
  EXPECT_EQ(narrow(), full);
  // First word from another position's write, second word of ours.
  slot->check = ((lock_base() ^ 0x5A5A5A5Cu) & ~3u) ^ bogus;
  slot->data = real;
  EXPECT_EQ(narrow(), full);
  // A valid entry under another stamp: the settings changed since it was stored.
  eval_cache_write(slot, lock_base(), data(full - fast + 77, uint16_t(RootEval.evalStamp + 1)));
  EXPECT_EQ(narrow(), full);
  // The same entry under the current stamp is a hit, and it carries the alert flag back.
  eval_cache_write(slot, lock_base() | EvalCacheAlert, bogus);
  p.root().evalAlert = 0;
  EXPECT_EQ(narrow(), full + 77);
  EXPECT_EQ(p.root().evalAlert, 1);
}

TEST_F(CacheFixture, PartialEntriesSupplyTheCheapPart) {
  // A partial entry holds the cheap part (side to move's view); the expensive part is added
  // on top, and the result is stored back as a complete entry.
  eval_cache_write(slot, lock_base() | EvalCachePartial, data(full - fast + 40, RootEval.evalStamp));
  EXPECT_EQ(narrow(), full + 40);
  uint32_t check, stored;
  eval_cache_read(slot, check, stored);
  EXPECT_EQ((check ^ stored) & EvalCachePartial, 0u);
}

TEST_F(Evaluation, LazyExitsOnlyFromPlyTwoAndWithinTheLearnedSpread) {
  EvalPosition p;
  prepare_fen(p, "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10");
  std::mt19937 rng(5);
  PlyState* ply = play_random_moves(*p, rng, 2);
  ASSERT_EQ(ply->ply, 2);
  PlyState& one = ply[-1];

  // Nothing learned yet: every node outside ply 0 and 1 would be lazy.
  reset_eval_bounds();
  const int32_t fast2 = FastScore(*ply);
  EXPECT_EQ(Evaluate(*p, *ply, fast2 - 5, fast2 + 5, 0), fast2);
  clear_eval_cache();
  bool isDraw = false;
  const int32_t fast1 = FastScore(one);
  const int32_t positional1 = FullEvaluation(*p, one, fast1, -30000, 30000, isDraw, true, -1);
  reset_eval_bounds();
  EXPECT_EQ(Evaluate(*p, one, fast1 - 5, fast1 + 5, -1), fast1 + positional1);

  // Learn the root, widen, and place alpha just at the edge of the lazy test.
  reset_eval_bounds();
  Evaluate(*p, p.root(), -30000, 30000, 0);
  widen_eval_bounds();
  const int32_t edge = fast2 + EvalState.positionalMax[ply->side] + 40;
  clear_eval_cache();
  EvalCacheEntry* slot = eval_cache_slot(ply->side, ply->indexKey);
  Evaluate(*p, *ply, edge, edge + 1, 0);  // not below alpha: evaluated and stored
  uint32_t check, data;
  eval_cache_read(slot, check, data);
  EXPECT_EQ((check ^ data) & ~3u, ply->lockKey & ~3u);

  // "Knowledge or Speed" -500 makes the margin negative: the same window is now lazy.
  Options.KnowledgeOrSpeed = -500;
  take_back_all(*p, ply);
  prepare_root_evaluation(*p, p.root());
  EXPECT_EQ(RootEval.lazyMargin, -460);
  std::mt19937 again(5);
  ply = play_random_moves(*p, again, 2);
  clear_eval_cache();
  EXPECT_EQ(Evaluate(*p, *ply, edge, edge + 1, 0), fast2);
  eval_cache_read(slot, check, data);
  EXPECT_EQ(check | data, 0u);
}

TEST_F(Evaluation, ContemptShiftsTheFastScoreOfEachSide) {
  EvalPosition p;
  prepare_fen(p, "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10");
  const int32_t plain = FastScore(p.root());
  Options.DrawScore = 40;
  set_contempt(White);
  EXPECT_EQ(FastScore(p.root()), plain - 40);
  set_contempt(Black);
  EXPECT_EQ(FastScore(p.root()), plain + 40);
  // In an ending only a quarter of it counts.
  prepare_fen(p, "4k3/pppp4/8/8/8/8/PPP5/4K3 w - - 0 1");
  set_contempt(White);
  EXPECT_EQ(EvalState.contempt[White], 10);
  EXPECT_EQ(EvalState.contempt[Black], -10);
}

TEST_F(Evaluation, WideningKeepsWhitesBoundsAroundZero) {
  reset_eval_bounds();
  EvalState.positionalMax[White] = -300;
  EvalState.positionalMin[White] = -320;
  EvalState.positionalMax[Black] = 320;
  EvalState.positionalMin[Black] = 300;
  widen_eval_bounds();
  EXPECT_EQ(EvalState.positionalMax[White], 0);
  EXPECT_EQ(EvalState.positionalMin[Black], 0);
  EXPECT_EQ(EvalState.positionalMin[White], -420);
  EXPECT_EQ(EvalState.positionalMax[Black], 420);
  EXPECT_EQ(EvalState.squareControlMax, -15000 + 30);
}

}  // namespace

namespace {

TEST_F(Evaluation, BlockedCentrePawnsInTheOpening) {
  // The same root with a bishop in front of the d2 pawn (d6 pawn for Black): the positional
  // part without the terms of where the pieces stand (pawns, material, tempo) is unchanged
  // except for the blocked-centre term.
  EvalPosition p;
  bool isDraw = false;
  auto positional = [&](const char* fen) {
    prepare_fen(p, fen);
    EXPECT_EQ(RootEval.PhaseFlags, PhaseOpening) << fen;
    const int32_t full =
        FullEvaluation(*p, p.root(), FastScore(p.root()), -30000, 30000, isDraw, true, 0);
    const PawnEntry& pawns = PawnLookup(*p, p.root());
    PieceTermSums pieces;
    PieceTerms(*p, p.root(), pawns, false, pieces);
    const BishopTermSums bishops = BishopTerms(*p, p.root(), pawns);
    const int32_t placed = pieces.pawnSum + pieces.pieceSum + bishops.colourSum +
                           bishops.pairSum + KingSafetySum(*p, p.root(), pawns, PhaseOpening, false) +
                           SquareControl(*p, p.root(), pawns, false);
    return full - (p.root().side == White ? placed : -placed);
  };
  const int32_t start = positional("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  EXPECT_EQ(positional("rnbqkbnr/pppppppp/8/8/8/3B4/PPPPPPPP/RNBQK1NR w KQkq - 0 1"), start - 30);
  EXPECT_EQ(positional("rnbqk1nr/pppppppp/3b4/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"), start + 30);
  // The tempo: the side to move gets 10, so the mirror of the start position agrees.
  EXPECT_EQ(positional("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1"), start);
}

TEST_F(Evaluation, PerpetualCheckDampingForTheSideBehind) {
  // White (to move) is a queen for a rook down. Pretend that the last five White turns were
  // all spent in check at ply 10 with nine reversible moves behind.
  EvalPosition p;
  prepare_fen(p, "6k1/5ppp/8/8/8/2q5/5PPP/3R2K1 w - - 0 1");
  ASSERT_EQ(MaterialLookup(*p, p.root()).scale, 0);
  PlyState& node = p->plies[10];
  node = p.root();
  node.ply = 10;
  const int32_t fast = FastScore(node);
  ASSERT_LT(fast, 0);
  bool isDraw = false;
  const int32_t plain = FullEvaluation(*p, node, fast, -30000, 30000, isDraw, true, 0);
  for (int back : {1, 3, 5, 7, 9}) p->plies[10 - back].flags |= InCheckFlag;
  p->repTop = p->repStack + 9;
  node.repStart = p->repStack;
  const int32_t damped = FullEvaluation(*p, node, fast, -30000, 30000, isDraw, true, 0);
  EXPECT_EQ(damped, (fast * (80 - 100) + plain * 80) / 100);
  // Eight positions since the last irreversible move are not enough; neither is a gap in the
  // checks.
  p->repTop = p->repStack + 8;
  EXPECT_EQ(FullEvaluation(*p, node, fast, -30000, 30000, isDraw, true, 0), plain);
  p->repTop = p->repStack + 9;
  p->plies[5].flags &= ~InCheckFlag;
  EXPECT_EQ(FullEvaluation(*p, node, fast, -30000, 30000, isDraw, true, 0), plain);
  p->repTop = p->repStack;
}

TEST_F(Evaluation, APositionWithoutItsTablesEvaluatesTheSame) {
  EvalPosition p;
  prepare_fen(p, "r1bq1rk1/pp2bppp/2n1pn2/3p4/3P4/2NBPN2/PP3PPP/R1BQ1RK1 w - - 0 9");
  const int32_t withTables = evaluate_root(p);
  auto bare = new_position();
  set_fen(*bare, "r1bq1rk1/pp2bppp/2n1pn2/3p4/3P4/2NBPN2/PP3PPP/R1BQ1RK1 w - - 0 9");
  root_score(*bare, bare->plies[0]);
  reset_eval_bounds();
  clear_eval_cache();
  EXPECT_EQ(Evaluate(*bare, bare->plies[0], -30000, 30000, 0), withTables);
}

}  // namespace

namespace {

// A FEN may give a side more than eight pawns (and so more isolated pawns, a larger pawn
// surplus) than any game can: every table index stays inside its table, and the mirror agrees.
TEST_F(Evaluation, MoreThanEightPawnsStayInsideTheTables) {
  EvalPosition p, mirror;
  prepare_fen(p, "4k3/8/P1P1P1P1/8/P1P1P1P1/8/P1P5/4K3 w - - 0 1");
  ASSERT_EQ(p.root().signature[White] & 15, 10);
  const int32_t a = evaluate_root(p);
  const PawnEntry& e = PawnLookup(*p, p.root());
  EXPECT_EQ(e.whiteIsolated, 10);
  prepare_copy(mirror, *p, p.root(), true);
  EXPECT_EQ(evaluate_root(mirror), a);
}

}  // namespace
