#include "eval/square_control.h"

#include "board/tables.h"
#include "board/zobrist.h"
#include "core/options.h"
#include "eval/preparation.h"
#include "eval/side_view.h"
#include "eval/thread_tables.h"
#if TARROW_VERIFY
#include "eval/eval_hooks.h"
#endif

namespace {

// Rings from the edge to the centre: 1, 2, 3, 4 (corners 0).
constexpr int32_t knightSquareWeight[SquareCount] = {
    0,
    0, 1, 1, 1, 1, 1, 1, 0,
    1, 2, 2, 2, 2, 2, 2, 1,
    1, 2, 3, 3, 3, 3, 2, 1,
    1, 2, 3, 4, 4, 3, 2, 1,
    1, 2, 3, 4, 4, 3, 2, 1,
    1, 2, 3, 3, 3, 3, 2, 1,
    1, 2, 2, 2, 2, 2, 2, 1,
    0, 1, 1, 1, 1, 1, 1, 0};
constexpr int32_t bishopMobility[16] = {-20, -13, -5, 2, 4, 6, 8, 10, 11, 11, 12, 12, 13, 13, 14, 14};
constexpr Square CentreRing[8] = {C3, C4, C5, C6, F3, F4, F5, F6};

template <int Us>
[[gnu::always_inline]] inline int32_t knight_mobility(const Position& pos, const PawnEntry& pawns) {
  using V = SideView<Us>;
  constexpr int Them = Us ^ 1;
  const uint64_t enemySpan = V::enemy_span(pawns);
  int32_t v = 0;
  for_each_piece(pos, V::own(3), [&](Square s) {
    bool good = false;
    for (const uint8_t* t = LeaperTargets[LeaperKnight][s]; *t; ++t) {
      const int piece = pos.board[*t];
      if (enemySpan & square_bit(*t)) {
        v -= 3;
      } else if ((piece == Empty || V::enemy_owns(piece)) &&
                 pos.attacks[Them][*t].count < pos.attacks[Us][*t].count) {
        v += knightSquareWeight[*t];
        good = true;
      } else {
        v += 1;
      }
    }
    if (!good) v += RootEval.knightNoSquarePenalty;
  });
  return v;
}

// Squares along the bishop's diagonals that enemy pawns can never attack. Only pawns matter:
// an own pawn ends a diagonal, an enemy pawn is counted and then ends it, other men are looked
// through. So the count depends on the pawns and the bishop's square alone.
template <int Us>
int bishop_safe_squares(const Position& pos, const PawnEntry& pawns, Square s) {
  using V = SideView<Us>;
  const uint64_t enemySpan = V::enemy_span(pawns);
  const uint8_t* next = SliderNext[SliderBishop][s];
  const uint8_t* skip = SliderSkip[SliderBishop][s];
  int count = 0;
  for (Square t = next[s]; t;) {
    const int piece = pos.board[t];
    if (piece == V::own(2)) {
      t = skip[t];
      continue;
    }
    if (!(enemySpan & square_bit(t))) ++count;
    t = piece == V::enemy(2) ? skip[t] : next[t];
  }
  return count;
}

template <int Us>
[[gnu::always_inline]] inline int32_t bishop_mobility(Position& pos, const PlyState& ply,
                                                      const PawnEntry& pawns) {
  using V = SideView<Us>;
  int32_t v = 0;
  BishopMobilityEntry* cache = pos.bishopMobilityCache;
  for_each_piece(pos, V::own(5), [&](Square s) {
    const uint32_t key0 = ZobristIndex[V::own(5)][s] ^ ply.pawnKey;
    const uint32_t key1 = ZobristLock[V::own(5)][s] ^ ply.pawnLock;
    if (cache) {
      BishopMobilityEntry& e = cache[key0 & (BishopMobilityCacheSize - 1)];
      if (((e.word0 ^ key0) & ~0xFFu) == 0 && e.word1 == key1) {
#if TARROW_VERIFY
        oracle_check_bishop(pos, s, int8_t(e.word0 & 0xFF));
#endif
        v += int8_t(e.word0 & 0xFF);
        return;
      }
      const int count = bishop_safe_squares<Us>(pos, pawns, s);
      const int32_t value = bishopMobility[count > 15 ? 15 : count];
      e.word0 = (key0 & ~0xFFu) | uint8_t(int8_t(value));
      e.word1 = key1;
      v += value;
    } else {
      const int count = bishop_safe_squares<Us>(pos, pawns, s);
      v += bishopMobility[count > 15 ? 15 : count];
    }
  });
  return v;
}

}  // namespace

int32_t bishop_mobility_value(int safeSquares) {
  return bishopMobility[safeSquares > 15 ? 15 : safeSquares < 0 ? 0 : safeSquares];
}

int32_t CentreControl(const Position& pos) {
  auto W = [&](Square s) { return pos.attacks[White][s].count; };
  auto B = [&](Square s) { return pos.attacks[Black][s].count; };
  int32_t s = 3 * (W(D5) + W(E5) - B(D4) - B(E4)) +
              2 * (W(D4) + W(E4) + W(D6) + W(E6) - B(D5) - B(E5) - B(D3) - B(E3)) +
              (W(D3) + W(E3) - B(D6) - B(E6)) +
              (W(C7) + W(D7) + W(E7) + W(F7) - B(C2) - B(D2) - B(E2) - B(F2));
  for (Square r : CentreRing) s += W(r) - B(r);
  return 2 * s;
}

int32_t KnightMobility(const Position& pos, const PawnEntry& pawns, int colour) {
  return colour == White ? knight_mobility<White>(pos, pawns) : knight_mobility<Black>(pos, pawns);
}

int32_t BishopMobility(Position& pos, const PlyState& ply, const PawnEntry& pawns, int colour) {
  return colour == White ? bishop_mobility<White>(pos, ply, pawns)
                         : bishop_mobility<Black>(pos, ply, pawns);
}

int32_t SquareControl(Position& pos, const PlyState& ply, const PawnEntry& pawns, bool endgameForm) {
  int32_t v = 0;
  if (!endgameForm) {
    const int32_t centre = CentreControl(pos);
    const int32_t weight = Options.EvalWeights[WeightCenterControl];
    v += weight == 100 ? centre : centre * weight / 100;
  }
  v += knight_mobility<White>(pos, pawns) - knight_mobility<Black>(pos, pawns);
  v += bishop_mobility<White>(pos, ply, pawns) - bishop_mobility<Black>(pos, ply, pawns);
  return v;
}
