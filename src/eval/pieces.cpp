#include "eval/pieces.h"

#include "board/tables.h"
#include "eval/preparation.h"
#include "eval/side_view.h"

namespace {

constexpr int32_t knightKingProximity[9] = {8, 8, 8, 8, 5, 3, 1, 0, 0};
constexpr int32_t kingEscortBonus[9] = {0, 0, 60, 35, 11, 11, 35, 60, 6};
constexpr int32_t bishopColourPenalty[17] = {44, 35, 27, 20, 14, 9,   5,   2,  0,
                                             -2, -5, -9, -14, -20, -27, -35, -44};
constexpr uint64_t Rank7 = 0x00FF000000000000ull;

inline bool diagonal(Square a, Square b) {
  const int32_t d = Direction[a][b];
  return d == 7 || d == -7 || d == 9 || d == -9;
}

// Where a side's queens stand, gathered once per evaluation for the terms of every rook.
struct QueenFacts {
  uint32_t files;  // bit f set for each file f (1..8) holding a queen
};

QueenFacts queen_facts(const Position& pos, int colour) {
  QueenFacts q{0};
  for_each_piece(pos, with_colour(7, colour), [&](Square s) { q.files |= 1u << file_of(s); });
  return q;
}

// Everything a side's terms read besides the board.
struct Context {
  const Position& pos;
  const PlyState& ply;
  const PawnEntry& pawns;
  const RootEvaluation& root;
  bool endgameForm;
  QueenFacts queens[2];
};

// A man on s that an enemy slider attacks, with a more valuable own man right behind it on
// that line, is pinned or about to be skewered.
template <int Us>
[[gnu::noinline]] bool pinned_by_slider(const Position& pos, Square s) {
  using V = SideView<Us>;
  const AttackEntry& e = pos.attacks[Us ^ 1][s];
  for (int i = 0; i < e.count; ++i) {
    const Square a = e.squares[i];
    const int slider = pos.board[a];
    if (!is_slider(slider)) continue;
    for (const uint8_t* t = Beyond[s][a]; *t; ++t) {
      const int behind = pos.board[*t];
      if (behind == Empty) continue;
      if (V::owns(behind) && ExchangeValue[behind] > ExchangeValue[slider]) return true;
      break;
    }
  }
  return false;
}
// Most men are attacked by no enemy slider at all: that test stays inline.
template <int Us>
inline bool pinned(const Position& pos, Square s) {
  return pos.attacks[Us ^ 1][s].sliders && pinned_by_slider<Us>(pos, s);
}

// Value of a passed pawn on s beyond its table value: blockaders, rooks behind and in front,
// control of the stop square and of the whole path, the enemy king ahead of it.
template <int Us>
[[gnu::noinline]] int32_t passed_pawn_dynamics(const Context& c, Square s) {
  using V = SideView<Us>;
  constexpr int Them = Us ^ 1;
  const Position& pos = c.pos;
  const int r = V::rank(s);
  if (r < 4) return 0;
  const Square rs = V::rel(s);
  const Square stop = V::rel(rs + 8);
  int32_t v = 0;
  const int blockader = pos.board[stop];
  if (blockader == V::enemy(3)) v -= 10;
  else if (blockader == V::enemy(5)) v -= 5;
  else if (blockader == V::enemy(6)) v += 4;
  else if (blockader == V::enemy(7)) v += 6;

  bool supported = false;
  const AttackEntry& ours = pos.attacks[Us][s];
  if (ours.sliders)
    for (int i = 0; i < ours.count; ++i) {
      const Square a = ours.squares[i];
      if (file_of(a) != file_of(s)) continue;
      const bool behind = V::rank(a) < r;
      if (pos.board[a] == V::own(6)) {
        if (behind) {
          v += 10;
          supported = true;
        } else {
          v -= 10;
        }
      } else if (pos.board[a] == V::own(7) && behind) {
        supported = true;
      }
    }
  const AttackEntry& theirs = pos.attacks[Them][s];
  if (theirs.sliders)
    for (int i = 0; i < theirs.count; ++i) {
      const Square a = theirs.squares[i];
      if (file_of(a) != file_of(s) || pos.board[a] != V::enemy(6)) continue;
      if (V::rank(a) < r) {
        v -= 10;
        supported = false;
      } else {
        v += 10;
      }
    }

  const int32_t* passed = c.endgameForm ? c.root.passedEnd : c.root.passedMid;
  const int32_t* freePath = c.endgameForm ? c.root.freePathEnd : c.root.freePathMid;
  bool stopFree = false;
  if (pos.board[stop] == Empty &&
      pos.attacks[Us][stop].count + (supported ? 1 : 0) >= pos.attacks[Them][stop].count) {
    stopFree = true;
    v += (passed[r + 1] - passed[r]) / 3;
  }
  bool pathFree = true;
  for (Square t = rs + 8; t <= 64 && pathFree; t += 8) {
    const Square real = V::rel(t);
    const int piece = pos.board[real];
    const int w = pos.attacks[Us][real].count, b = pos.attacks[Them][real].count;
    if (piece == Empty) pathFree = b <= w;
    else pathFree = V::enemy_owns(piece) && w > b;
  }
  if (pathFree) {
    v += freePath[r];
    if (stopFree) v += (freePath[r + 1] - freePath[r]) / 3;
  }
  const Square enemyKing = king_square(pos, Them);
  if (file_distance(enemyKing, s) <= 1 && V::rank(enemyKing) >= r) v -= 20;
  return v;
}

template <int Us>
[[gnu::always_inline]] inline int32_t pawn_terms(const Context& c, Square s, int& unstoppable) {
  using V = SideView<Us>;
  constexpr int Them = Us ^ 1;
  const Position& pos = c.pos;
  const uint64_t bit = square_bit(s);
  const Square rs = V::rel(s);
  int32_t v = 0;
  if (V::own_passed(c.pawns) & bit) {
    v += passed_pawn_dynamics<Us>(c, s);
    const int r = rank_of(rs);
    if (c.endgameForm && r > 4 && square_distance(king_square(pos, Us), V::rel(rs + 8)) <= 1)
      v += kingEscortBonus[r];
    const Square promotion = V::rel(square_at(file_of(s), 8));
    const int pawnDistance = (c.ply.side == Us ? 8 : 9) - r;
    if (square_distance(king_square(pos, Them), promotion) > pawnDistance) {
      ++unstoppable;
      v += c.ply.phase[Them] == 0 ? 400 : 30;
    }
  }
  const int attackers = pos.attacks[Them][s].count;
  if (V::own_weak(c.pawns) & bit) {
    if (attackers) v += 4 * (pos.attacks[Us][s].count - 3 * attackers);
    if (rank_of(rs) < 8) v -= 3 * pos.attacks[Them][V::rel(rs + 8)].count;
  }
  if (attackers && !pos.attacks[Us][s].count) v -= 7;
  return v;
}

// The per-piece terms below are forced inline into their side's type loops: each runs for
// a few men per evaluation, and a call per man cost more than its body saves in code size.
template <int Us>
[[gnu::always_inline]] inline int32_t knight_terms(const Context& c, Square s) {
  using V = SideView<Us>;
  constexpr int Them = Us ^ 1;
  const Position& pos = c.pos;
  const Square rs = V::rel(s);
  const int r = rank_of(rs);
  const uint64_t bit = square_bit(s);
  int32_t v = 0;
  if (c.pawns.flags & PawnCentreClosed) v += 5;
  if (r >= 5 && pos.board[V::rel(rs - 8)] == V::own(2)) v -= 10;
  const bool inSpan = (V::own_span(c.pawns) & bit) != 0;
  if (!(c.root.outpostZone[Us] & bit)) {
    // The knight in front of the c-pawn of a queen's-gambit structure, with the king castled
    // on the other wing (files e to h).
    if (rs == C3 && !c.endgameForm && pos.board[V::rel(C2)] == V::own(2) &&
        pos.board[V::rel(D4)] == V::own(2) && pos.board[V::rel(D5)] == V::enemy(2) &&
        file_of(king_square(pos, Us)) > 4)
      v -= 20;
  } else {
    if (V::own_outposts(c.pawns) & bit) {
      const int colourBits = is_dark_square(s) ? SignatureDarkBishops : SignatureLightBishops;
      const bool noEnemyMinor =
          pos.pieceCount[V::enemy(3)] == 0 && !(c.ply.signature[Them] & colourBits);
      v += inSpan && noEnemyMinor ? 15 : 5;
    }
    if (inSpan) v += 14;
    else if (r < 7 && pos.board[V::rel(rs + 8)] == V::enemy(2)) v += 5;
  }
  const Square enemyKing = king_square(pos, Them);
  if (pos.pieceCount[V::own(7)] && wing_of(s) == wing_of(enemyKing))
    v += knightKingProximity[rank_distance(s, enemyKing)];
  if (!inSpan && pinned<Us>(pos, s)) v -= 10;
  return v;
}

template <int Us>
[[gnu::always_inline]] inline int32_t bishop_terms(const Context& c, Square s) {
  using V = SideView<Us>;
  constexpr int Them = Us ^ 1;
  const Position& pos = c.pos;
  const Square rs = V::rel(s);
  const int r = rank_of(rs);
  int32_t v = 0;
  if (c.pawns.flags & PawnCentreOpen) v += 6;
  v -= 3 * c.pawns.blockedOnColour[(Us == White ? 0 : 2) + (is_dark_square(s) ? 1 : 0)];
  if (r >= 5 && pos.board[V::rel(rs - 8)] == V::own(2)) v -= 10;
  if (!c.endgameForm) {
    if (diagonal(s, king_square(pos, Them))) v += 5;
    bool onQueen = false;
    for_each_piece(pos, V::enemy(7), [&](Square q) { onQueen = onQueen || diagonal(s, q); });
    if (onQueen) v += 3;
  } else {
    v += 3;
  }

  // Bishops shut in on the wings, and bishops biting on enemy pawns on the long diagonals.
  auto at = [&](Square relative) { return pos.board[V::rel(relative)]; };
  const int ownPawn = V::own(2), enemyPawn = V::enemy(2);
  const int f = file_of(rs);
  if (f == 1 || f == 8) {
    // Written for the a-file; `m` mirrors a square to the h-file when needed.
    auto m = [&](Square a) { return f == 1 ? a : square_at(9 - file_of(a), rank_of(a)); };
    const bool caught = rs == m(A7) && at(m(B6)) == enemyPawn;
    if (caught) v -= at(m(C7)) == enemyPawn ? 120 : 60;
    else if (r > 2 && at(rs - 8 + (f == 1 ? 1 : -1)) == ownPawn) v -= 12;
    if (rs == m(A1) && at(m(C3)) == enemyPawn)
      v -= at(m(B4)) == enemyPawn || at(m(D4)) == enemyPawn ? 65 : 15;
    if (rs == m(A2) && at(m(C4)) == enemyPawn)
      v -= (V::enemy_span(c.pawns) & square_bit(V::rel(m(C4)))) ? 24 : 14;
  }
  return v;
}

template <int Us>
[[gnu::always_inline]] inline int32_t rook_terms(const Context& c, Square s, int32_t& queenSum) {
  using V = SideView<Us>;
  constexpr int Them = Us ^ 1;
  const Position& pos = c.pos;
  const PawnEntry& pawns = c.pawns;
  const Square rs = V::rel(s);
  const int r = rank_of(rs), f = file_of(s);
  int32_t v = 0;

  // Hemmed in between neighbours.
  auto occupied = [&](Square relative) { return pos.board[V::rel(relative)] != Empty; };
  if (f == 1 ? occupied(rs + 1) : f == 8 ? occupied(rs - 1) : occupied(rs - 1) && occupied(rs + 1))
    v -= 8;
  auto own_pawn_at = [&](Square relative) { return pos.board[V::rel(relative)] == V::own(2); };
  if (rs == A2 && own_pawn_at(B2)) v -= own_pawn_at(B3) ? 28 : 20;
  if (rs == H2 && own_pawn_at(G2)) v -= own_pawn_at(H3) ? 28 : 20;

  const Square enemyKing = king_square(pos, Them);
  if (r == 7) {
    const int kingRank = V::rank(enemyKing);
    if (kingRank >= 7) {
      if (kingRank == 7) {
        v += c.root.rookSeventhKingOn7;
      } else {
        v += c.root.rookSeventhKingOn8;
        if (V::bits(V::own_passed(pawns)) & Rank7) v += 20;
      }
      bool queenOn7 = false;
      for_each_piece(pos, V::own(7), [&](Square q) { queenOn7 = queenOn7 || V::rank(q) == 7; });
      if (queenOn7) v += 18;
    }
  }

  // Rooks that defend each other on a rank or along a file free of own pawns.
  if (pos.pieceCount[V::own(6)] >= 2) {
    const AttackEntry& e = pos.attacks[Us][s];
    for (int i = 0; i < e.count; ++i) {
      const Square o = e.squares[i];
      if (pos.board[o] != V::own(6)) continue;
      if (rank_of(o) == rank_of(s)) {
        if (r == 1) v += c.root.rooksDoubledFirstRank;
        else if (r >= 7) v += c.root.rooksDoubledSeventh;
      } else if (!V::own_pawns(pawns, f)) {
        v += V::enemy_pawns(pawns, f) ? c.root.rooksDoubledFileHalfOpen : c.root.rooksDoubledFile;
      }
      break;
    }
  }

  const int ownPawns = V::own_pawns(pawns, f), enemyPawns = V::enemy_pawns(pawns, f);
  const bool enemyQueenOnFile = (c.queens[Them].files >> f) & 1;
  if (!c.endgameForm) {
    const int d = file_distance(s, enemyKing);
    const int w = c.ply.phase[Us];
    const bool edgeFile = f <= 2 || f >= 7;
    const int kingWing = wing_of(enemyKing);
    const bool edgeOfKingWing = (f <= 2 && kingWing == 0) || (f >= 7 && kingWing == 2);
    // The queen that works with this rook: one on the enemy king's wing when the rook stands
    // on that wing's edge files, else (open file) one behind the rook on its file. With two
    // queens the better one counts, whichever the piece list holds first.
    auto queen_bonus = [&](bool openFile) {
      int32_t best = 0;
      for_each_piece(pos, V::own(7), [&](Square queen) {
        int32_t bonus = 0;
        if (edgeOfKingWing && wing_of(queen) == kingWing) bonus = 20 - 2 * rank_distance(queen, enemyKing);
        else if (openFile && file_of(queen) == f && V::rank(queen) < r) bonus = 8;
        if (bonus > best) best = bonus;
      });
      return best;
    };
    if (ownPawns == 0 && enemyPawns == 0) {
      if (enemyQueenOnFile) v += 12;
      v += 20 - pawns.openFiles;
      if (d < 3) v += 2 * w - 4 * d + (edgeFile ? 26 : 7);
      queenSum += queen_bonus(true);
    } else if (ownPawns == 0) {
      const int behind = V::enemy_rear_rank(pawns, f) + 1;
      const bool guarded = (V::enemy_span(pawns) & square_bit(V::rel(square_at(f, behind)))) != 0;
      v += guarded ? 4 : 10;
      if (d < 3) v += w - 2 * d + (edgeFile ? 15 : 4);
      queenSum += queen_bonus(false);
    } else if (r > V::own_rear_rank(pawns, f)) {
      if (!enemyPawns) v += 10;
      else if (edgeOfKingWing) v += 5;
    }
  } else {
    v += 3;
    if (ownPawns == 0 && enemyPawns == 0) {
      v += 16 - pawns.openFiles;
      if (enemyQueenOnFile) v += 10;
    } else if (ownPawns == 0) {
      v += pawns.openFiles < 5 ? 5 - pawns.openFiles : 0;
    } else {
      const int pawnRank = V::own_rear_rank(pawns, f);
      const Square pawn = V::rel(square_at(f, pawnRank));
      if (r < pawnRank && !(V::own_passed(pawns) & square_bit(pawn))) {
        const bool rammed = pos.board[V::rel(square_at(f, pawnRank + 1))] == V::enemy(2);
        v -= 4 * ((rammed ? 10 : 8) - pawnRank);
      } else if (r > pawnRank && V::enemy_rear_rank(pawns, f) > r) {
        v -= 5;
      }
    }
  }
  if (!(V::own_span(pawns) & square_bit(s)) && pinned<Us>(pos, s)) v -= 10;
  return v;
}

template <int Us>
[[gnu::always_inline]] inline int32_t queen_terms(const Context& c, Square s) {
  using V = SideView<Us>;
  constexpr int Them = Us ^ 1;
  const Position& pos = c.pos;
  const PawnEntry& pawns = c.pawns;
  const Square enemyKing = king_square(pos, Them);
  const int f = file_of(s);
  int32_t v = 0;
  if (!c.root.queenFlag && wing_of(s) == wing_of(enemyKing)) v += 18 - 2 * rank_distance(s, enemyKing);
  if (square_distance(s, enemyKing) <= 2) v += 13;
  if (!V::own_pawns(pawns, f)) {
    if (V::enemy_pawns(pawns, f)) v += 5;
    else if (!pos.pieceCount[V::enemy(6)]) v += 16 - 2 * pawns.openFiles;
  }
  // A queen on the rim behind its own pawns.
  const Square rs = V::rel(s);
  if ((f == 1 || f == 8) && rank_of(rs) > 1) {
    const int toCentre = f == 1 ? 1 : -1;
    const Square around[3] = {Square(rs - 8), Square(rs - 8 + toCentre), Square(rs + toCentre)};
    int n = 0;
    for (Square a : around) n += pos.board[V::rel(a)] == V::own(2);
    if (n >= 2) v -= 10;
  }
  return v;
}

// The man on s, of side Us: its value goes to the pawn or the piece sum.
template <int Us>
void man_terms(const Context& c, Square s, int32_t& pawnSum, int32_t& pieceSum, int& unstoppable) {
  switch (piece_type(c.pos.board[s])) {
    case 2: pawnSum += pawn_terms<Us>(c, s, unstoppable); break;
    case 3: pieceSum += knight_terms<Us>(c, s); break;
    case 5: pieceSum += bishop_terms<Us>(c, s); break;
    case 6: {
      int32_t queenSum = 0;
      pieceSum += rook_terms<Us>(c, s, queenSum);
      pieceSum += queenSum;
      break;
    }
    case 7: pieceSum += queen_terms<Us>(c, s); break;
    default: break;
  }
}

// One side's men; values from that side's view. The pawns hold the first slots of the colour
// list after the king (the lists are built so), and a pawn that has promoted reads its new piece
// there: it is valued with that piece's type list instead. Going type by type keeps each term's
// code in one straight loop instead of a branch on every man's type.
template <int Us>
void side_terms(const Context& c, int32_t& pawnSum, int32_t& pieceSum, int& unstoppable) {
  using V = SideView<Us>;
  const Position& pos = c.pos;
  int32_t pawns = 0, pieces = 0;
  int free = 0;
  for (int slot = Us * ColourListSize + 1; pos.slotCode[slot] == V::own(2); ++slot) {
    const uint8_t s = pos.slotSquare[slot];
    if (s != CapturedMark && pos.board[s] == V::own(2)) pawns += pawn_terms<Us>(c, s, free);
  }
  for_each_piece(pos, V::own(3), [&](Square s) { pieces += knight_terms<Us>(c, s); });
  for_each_piece(pos, V::own(5), [&](Square s) { pieces += bishop_terms<Us>(c, s); });
  for_each_piece(pos, V::own(6), [&](Square s) {
    int32_t queenSum = 0;
    pieces += rook_terms<Us>(c, s, queenSum);
    pieces += queenSum;
  });
  for_each_piece(pos, V::own(7), [&](Square s) { pieces += queen_terms<Us>(c, s); });
  pawnSum += pawns;
  pieceSum += pieces;
  unstoppable += free;
}

template <int Us>
int32_t bishop_colour(const Position& pos, const PlyState& ply, const PawnEntry& pawns) {
  using V = SideView<Us>;
  const int dark = (ply.signature[Us] & SignatureDarkBishops) ? 1 : 0;
  const int own = Us == White ? 0 : 2, enemy = 2 - own;
  int diff = pawns.pawnsOnColour[own + dark] - pawns.pawnsOnColour[own + 1 - dark];
  diff = diff < -8 ? -8 : diff > 8 ? 8 : diff;
  int32_t v = bishopColourPenalty[diff + 8];
  if (!pos.pieceCount[V::own(3)] && !pos.pieceCount[V::enemy(5)]) {
    // Enemy passed pawns the bishop cannot stop: passedOnColour holds minus their count.
    const int onColour = -pawns.passedOnColour[enemy + dark];
    const int offColour = -pawns.passedOnColour[enemy + 1 - dark];
    v += (offColour - onColour) * (ply.phase[Us] == 1 ? 4 : 2);
  }
  return v;
}

}  // namespace

void PieceTerms(const Position& pos, const PlyState& ply, const PawnEntry& pawns, bool endgameForm,
                PieceTermSums& out) {
  const Context c{pos, ply, pawns, RootEval, endgameForm,
                  {queen_facts(pos, White), queen_facts(pos, Black)}};
  int32_t whitePawns = 0, whitePieces = 0, blackPawns = 0, blackPieces = 0;
  out.unstoppable[White] = out.unstoppable[Black] = 0;
  side_terms<White>(c, whitePawns, whitePieces, out.unstoppable[White]);
  side_terms<Black>(c, blackPawns, blackPieces, out.unstoppable[Black]);
  out.pawnSum = whitePawns - blackPawns;
  out.pieceSum = whitePieces - blackPieces;
  if (pos.pieceCount[WhiteRook]) out.pawnSum += pawns.whiteRookBonus;
  if (pos.pieceCount[BlackRook]) out.pawnSum += pawns.blackRookBonus;
}

int32_t PieceValue(const Position& pos, const PlyState& ply, const PawnEntry& pawns, bool endgameForm,
                   Square s) {
  const Context c{pos, ply, pawns, RootEval, endgameForm,
                  {queen_facts(pos, White), queen_facts(pos, Black)}};
  const int piece = pos.board[s];
  int32_t pawnSum = 0, pieceSum = 0;
  int unstoppable = 0;
  if (piece == Empty) return 0;
  if (colour_of(piece) == White) man_terms<White>(c, s, pawnSum, pieceSum, unstoppable);
  else man_terms<Black>(c, s, pawnSum, pieceSum, unstoppable);
  return pawnSum + pieceSum;
}

BishopTermSums BishopTerms(const Position& pos, const PlyState& ply, const PawnEntry& pawns) {
  BishopTermSums out{0, 0};
  if (pos.pieceCount[WhiteBishop] == 1) out.colourSum += bishop_colour<White>(pos, ply, pawns);
  else if (pos.pieceCount[WhiteBishop] >= 2) out.pairSum += pawns.whiteBishopPairBonus;
  if (pos.pieceCount[BlackBishop] == 1) out.colourSum -= bishop_colour<Black>(pos, ply, pawns);
  else if (pos.pieceCount[BlackBishop] >= 2) out.pairSum += pawns.blackBishopPairBonus;
  return out;
}
