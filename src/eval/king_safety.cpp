#include "eval/king_safety.h"

#include "board/tables.h"
#include "core/options.h"
#include "eval/preparation.h"
#include "eval/side_view.h"

namespace {

struct ZoneTable {
  uint8_t s[SquareCount][12];
};

// Neighbours first (rank below, own rank, rank above), then the three squares two ranks ahead.
constexpr ZoneTable build_zones() {
  ZoneTable t{};
  for (Square k = 1; k <= 64; ++k) {
    int n = 0;
    const int kf = file_of(k), kr = rank_of(k);
    for (int dr = -1; dr <= 2; ++dr)
      for (int df = -1; df <= 1; ++df) {
        const int f = kf + df, r = kr + dr;
        if ((dr == 0 && df == 0) || f < 1 || f > 8 || r < 1 || r > 8) continue;
        t.s[k][n++] = uint8_t(square_at(f, r));
      }
  }
  return t;
}
constexpr ZoneTable Zones = build_zones();

// The zone as the middlegame king safety walks it, per colour and real king square: the real
// square of each zone square and what its place relative to the king contributes.
struct ZoneSquare {
  uint8_t real;     // 0 ends the zone
  uint8_t front;    // ahead of the king's rank, or on it to the right (counts defenders)
  uint8_t beyond;   // further ahead than that (a piece there adds to the pressure)
  uint8_t shield;   // weight of an own pawn here in the shield: 2 just ahead, 1 beside or two ahead
};
struct ZoneSquareTable {
  ZoneSquare z[2][SquareCount][12];
};
constexpr ZoneSquareTable build_zone_squares() {
  ZoneSquareTable t{};
  for (int colour = 0; colour < 2; ++colour)
    for (Square king = 1; king <= 64; ++king) {
      const Square relKing = colour == White ? king : flip_square(king);
      const int kingRank = rank_of(relKing);
      for (int i = 0; Zones.s[relKing][i]; ++i) {
        const Square z = Zones.s[relKing][i];
        const int r = rank_of(z);
        ZoneSquare& q = t.z[colour][king][i];
        q.real = uint8_t(colour == White ? z : flip_square(z));
        q.front = z > relKing + 1;
        q.beyond = z > relKing + 2;
        q.shield = r == kingRank + 1 ? 2 : r >= kingRank ? 1 : 0;
      }
    }
  return t;
}
constexpr ZoneSquareTable ZoneSquares = build_zone_squares();

// What the man on a zone square means to the side whose king it is, by piece code: bit 0 an
// own piece (it keeps all its defenders), bit 1 an own pawn (shield), bit 2 a square the king
// could flee to if unattacked (empty or enemy), bit 3 the man is no pawn (the zone pressure
// counts pieces two ranks ahead). One load instead of a chain of tests per square.
constexpr uint8_t ZoneOwnPiece = 1, ZoneOwnPawn = 2, ZoneFlight = 4, ZoneNotPawn = 8;
struct ZoneManTable {
  uint8_t m[2][16];
};
constexpr ZoneManTable build_zone_men() {
  ZoneManTable t{};
  for (int colour = 0; colour < 2; ++colour)
    for (int piece = 0; piece < 16; ++piece) {
      const bool own = piece != Empty && colour_of(piece) == colour;
      uint8_t m = 0;
      if (own && !is_pawn(piece)) m |= ZoneOwnPiece;
      if (own && is_pawn(piece)) m |= ZoneOwnPawn;
      if (!own) m |= ZoneFlight;
      if (!is_pawn(piece)) m |= ZoneNotPawn;
      t.m[colour][piece] = m;
    }
  return t;
}
constexpr ZoneManTable ZoneMen = build_zone_men();

constexpr int32_t kingAttackTable[14] = {6,   2,   -3,  -9,  -16, -24,  -33,
                                         -43, -54, -66, -79, -93, -108, -124};
constexpr int32_t shieldTable[8] = {-50, -35, -25, -12, 0, 0, 0, 0};
constexpr int32_t queenContactTable[12] = {-20, -20, -10, -5, -2, -2, -2, -2, -2, -2, -2, -2};
constexpr int32_t queenContactAloneTable[12] = {-5, -5, -4, -2, -2, -2, -2, -2, -2, -2, -2, -2};

inline int capped(int n, int limit) { return n > limit ? limit : n; }

// The bit of an enemy man on a that counts among the king's distinct attackers: every man,
// or the pieces alone under the pieces-only reading. The enemy king's own bit is taken out once
// after the zone walk.

// Pawns in front of the king: one for each own pawn in the zone not below the king's rank, two
// on the rank just above it.
template <int Us>
int shield_count(const Position& pos, Square relKing) {
  using V = SideView<Us>;
  int shield = 0;
  const int kingRank = rank_of(relKing);
  for (const uint8_t* z = Zones.s[relKing]; *z; ++z) {
    if (pos.board[V::rel(*z)] != V::own(2)) continue;
    const int r = rank_of(*z);
    if (r == kingRank + 1) shield += 2;
    else if (r >= kingRank) shield += 1;
  }
  return shield;
}

// True when an enemy slider stands behind the queen on q on the line through q to z, so that a
// queen contact on z is backed up.
template <int Us>
bool queen_backed(const Position& pos, Square q, Square z) {
  const int32_t d = Direction[q][z];
  const AttackEntry& onQueen = pos.attacks[Us ^ 1][q];
  if (!onQueen.sliders || d == 0) return false;
  for (int i = 0; i < onQueen.count; ++i) {
    const Square a = onQueen.squares[i];
    if (is_slider(pos.board[a]) && Direction[a][q] == d) return true;
  }
  return false;
}

template <int Us>
int32_t endgame_king_safety(const Position& pos, Square relKing, int enemyAttack, bool enemyQueen) {
  using V = SideView<Us>;
  constexpr int Them = Us ^ 1;
  if (!enemyQueen && enemyAttack < 2) return 0;
  int sum = 0, outnumbered = 0;
  for (const uint8_t* z = Zones.s[relKing]; *z; ++z) {
    const Square real = V::rel(*z);
    const int att = pos.attacks[Them][real].count;
    sum += att;
    if (att > pos.attacks[Us][real].count) ++outnumbered;
  }
  if (!enemyQueen) {
    const int f = file_of(relKing), r = rank_of(relKing);
    const bool edge = f == 1 || f == 8 || r == 1 || r == 8;
    return edge ? -(6 * sum + 20 * outnumbered) * enemyAttack / 10
                : -enemyAttack * (outnumbered + sum) / 2;
  }
  const int shield = shield_count<Us>(pos, relKing);
  return (shieldTable[capped(shield, 7)] - 21 * outnumbered - 6 * sum) * enemyAttack / 10;
}

// Inlined into KingSafetySum (both sides once per evaluation): the two calls' register saves
// and argument set-up were a measurable share of a function this hot.
template <int Us>
[[gnu::always_inline]] inline int32_t king_safety(const Position& pos, PlyState& ply,
                                                  const PawnEntry& pawns, bool endgameForm) {
  using V = SideView<Us>;
  constexpr int Them = Us ^ 1;
  const Square king = king_square(pos, Us);
  const Square relKing = V::rel(king);
  const int enemyAttack = ply.phase[Them];
  const bool enemyQueen = pos.pieceCount[V::enemy(7)] != 0;
  if ((endgameForm || RootEval.kingEndgameFlag) && !(enemyQueen && enemyAttack >= 9))
    return endgame_king_safety<Us>(pos, relKing, enemyAttack, enemyQueen);

  const AttackEntry* own = pos.attacks[Us];
  const AttackEntry* enemy = pos.attacks[Them];
  int32_t result = 0;
  // The queen's contact terms count only for an enemy queen that stands in the zone itself.
  bool queenContacts = false;
  if (enemyQueen)
    for (const ZoneSquare* zp = ZoneSquares.z[Us][king]; zp->real; ++zp)
      queenContacts |= pos.board[zp->real] == V::enemy(7);
  int defence = 0, pressure = 0, outnumbered = 0, shield = 0;
  uint64_t attackers = 0;
  bool flight = false, backedContact = false;
  const int kingRank = rank_of(relKing);

  for (const ZoneSquare* zp = ZoneSquares.z[Us][king]; zp->real; ++zp) {
    const Square real = zp->real;
    const int piece = pos.board[real];
    const int att = enemy[real].count;
    const int def = own[real].count;
    // The squares in front: defenders beyond the king itself (a square holding an own piece
    // keeps them all).
    const uint8_t man = ZoneMen.m[Us][piece];
    defence += zp->front ? def - 1 + (man & ZoneOwnPiece) : 0;
    shield += (man & ZoneOwnPawn) ? zp->shield : 0;
    if (att == 0) {
      flight |= (man & ZoneFlight) != 0;
      continue;
    }
    pressure += att + (zp->beyond & (man >> 3));  // bit 3: no pawn
    outnumbered += def < att;
    for (int i = 0; i < att; ++i) {
      const Square a = enemy[real].squares[i];
      attackers |= square_bit(a);
      if (!queenContacts || pos.board[a] != V::enemy(7)) continue;
      const bool alone = att == 1 && !queen_backed<Us>(pos, a, real);
      if (alone) {
        result += queenContactAloneTable[capped(def, 11)];
      } else {
        result += queenContactTable[capped(def, 11)];
        backedContact = true;
        if (Options.CombinationFlags[0] && ply.side == Them && def <= 1) ply.evalAlert = 1;
      }
    }
  }
  if (!flight) result += backedContact ? -27 : -12;

  // A king on its back rank in a corner is also reached through the squares two and three
  // ranks ahead on its wing.
  int backRank3 = 0, backRank4 = 0;
  if (kingRank == 1 && (file_of(relKing) <= 3 || file_of(relKing) >= 6)) {
    const Square first = file_of(relKing) <= 3 ? A3 : F3;
    for (int i = 0; i < 3; ++i)
      for (int step = 0; step <= 8; step += 8) {
        const Square real = V::rel(first + i + step);
        const AttackEntry& e = enemy[real];
        (step ? backRank4 : backRank3) += e.count;
        for (int j = 0; j < e.count; ++j) attackers |= square_bit(e.squares[j]);
      }
  }
  // The enemy king is no attacker of its own: its square is the only one it can have added.
  attackers &= ~square_bit(king_square(pos, Them));

  int distinct = 0, weight = 0;
  for (uint64_t b = attackers; b; b &= b - 1) {
    ++distinct;
    weight += PhaseWeight[pos.board[__builtin_ctzll(b) + 1]];
  }
  const int32_t danger = kingAttackTable[capped(distinct, 13)] - weight;
  defence -= 3 * pressure + 2 * backRank3;
  const int32_t v = shieldTable[capped(shield, 7)];
  if (pawns.flags & PawnCentreClosed) result += danger;
  else if (pawns.flags & PawnCentreOpen) result += danger / 2;
  else result += 2 * danger / 3;
  result += (2 * defence + v - (danger + 10) * v / 64 - 21 * outnumbered - backRank4 - 4) *
            enemyAttack / 10;

  // An enemy pawn right in front of the king screens it.
  const Square shelter = king_shelter_square(relKing);
  if (shelter && pos.board[V::rel(shelter)] == V::enemy(2)) result += 30;

  // The castled wing: seen from the queen side; a king on the king side mirrors the files.
  const bool kingSide = file_of(relKing) >= 5;
  auto sq = [&](Square s) {
    return V::rel(kingSide ? square_at(9 - file_of(s), rank_of(s)) : s);
  };
  auto wing_file = [&](int f) { return kingSide ? 9 - f : f; };
  const int kingFile = wing_file(file_of(relKing));
  if (enemyQueen && kingFile <= 3 && kingRank <= 2) {
    const int enemyKingFile = wing_file(file_of(king_square(pos, Them)));
    const int pawn = V::own(2);
    if (enemyKingFile <= 5) {
      if (pos.board[sq(B2)] == pawn) result += 14;
      else if (pos.board[sq(A2)] == pawn) result += 20;
      else if (pos.board[sq(A3)] == pawn) result += 8;
    } else {
      if (pos.board[sq(B2)] == pawn) result += 21;
      else if (pos.board[sq(A2)] == pawn) result += 26;
      else if (V::own_pawns(pawns, wing_file(1))) result += 3;
    }
  }
  if (!V::own_pawns(pawns, wing_file(2))) result -= enemyAttack;
  if (!enemyQueen || !pos.pieceCount[V::enemy(6)]) return result;
  // Enemy heavy pieces and half-open files towards the king.
  if (RootEval.openFileFlag) {
    const int edge = wing_file(1);
    const int queenFile = wing_file(file_of(first_man(pos, V::enemy(7))));
    if (!V::own_pawns(pawns, edge) && !V::enemy_pawns(pawns, edge) && queenFile <= 2) result -= 20;
  } else {
    if (!V::enemy_pawns(pawns, wing_file(2))) result -= 15;
    if (!V::enemy_pawns(pawns, wing_file(1))) result -= V::own_pawns(pawns, wing_file(1)) ? 15 : 30;
  }
  if (pos.board[sq(C3)] == V::enemy(2) && pos.board[sq(C2)] == V::own(2)) result -= 6;
  return result;
}

// Files next to each king file whose lack of pawns opens lines at the king (1..8 = a..h).
constexpr uint8_t FileGroups[9][4] = {{0},       {2, 3, 0}, {1, 3, 0}, {1, 2, 4, 0}, {3, 5, 0},
                                      {4, 6, 0}, {5, 7, 8, 0}, {6, 8, 0}, {6, 7, 0}};

int open_lines_at(const PawnEntry& pawns, Square king) {
  const int f = file_of(king);
  int x = pawns.pawnsOnFile[f] == 0 ? -3 : pawns.pawnsOnFile[f] == 1 ? -2 : 0;
  for (const uint8_t* g = FileGroups[f]; *g; ++g)
    if (pawns.pawnsOnFile[*g] < 2) --x;
  return x;
}

// A king that has lost its castling rights between its two rooks blocks them in.
template <int Us>
int32_t king_between_rooks(const Position& pos, const PlyState& ply) {
  using V = SideView<Us>;
  constexpr int Them = Us ^ 1;
  const uint32_t rights = Us == White ? (CastleWhiteShort | CastleWhiteLong)
                                      : (CastleBlackShort | CastleBlackLong);
  if (ply.phase[Them] <= 7 || pos.pieceCount[V::own(6)] != 2 || (ply.flags & rights)) return 0;
  int files[2] = {0, 0}, n = 0;
  for_each_piece(pos, V::own(6), [&](Square s) {
    if (n < 2) files[n++] = file_of(s);
  });
  if (n < 2) return 0;
  const int kf = file_of(king_square(pos, Us));
  const int lo = files[0] < files[1] ? files[0] : files[1];
  const int hi = files[0] < files[1] ? files[1] : files[0];
  if (kf <= lo || kf >= hi) return 0;
  return (pos.pieceCount[V::enemy(7)] ? -4 : -2) * ply.phase[Them];
}

}  // namespace

const uint8_t* king_zone(Square s) { return Zones.s[s]; }

int32_t KingSafety(const Position& pos, PlyState& ply, int colour, const PawnEntry& pawns,
                   bool endgameForm) {
  return colour == White ? king_safety<White>(pos, ply, pawns, endgameForm)
                         : king_safety<Black>(pos, ply, pawns, endgameForm);
}

int32_t KingSafetySum(const Position& pos, PlyState& ply, const PawnEntry& pawns, uint32_t phase,
                      bool endingIndicator, int32_t* bySide) {
  const bool endgameForm = (phase & EndgameLikeMask) || endingIndicator;
  // Each side's part from its own view; the sum is White's minus Black's.
  int32_t part[2] = {king_safety<White>(pos, ply, pawns, endgameForm),
                     king_safety<Black>(pos, ply, pawns, endgameForm)};
  auto finish = [&]() {
    if (bySide) bySide[White] = part[White], bySide[Black] = part[Black];
    return part[White] - part[Black];
  };
  const RootEvaluation& root = RootEval;
  const Square wk = king_square(pos, White), bk = king_square(pos, Black);

  // King placement: the root tables were chosen for the material at the root; these correct
  // them when the game has changed its character since.
  if (endingIndicator) {
    part[White] += root.kingEndingTable[White][wk];
    part[Black] += root.kingEndingTable[Black][bk];
  } else if (!(phase & EndgameLikeMask)) {
    const bool closed = (pawns.flags & PawnCentreClosed) != 0;
    auto few_pieces = [&](int colour) {
      const int b = colour << 3;
      return pos.pieceCount[WhiteQueen | b] == 0 &&
             pos.pieceCount[WhiteRook | b] + pos.pieceCount[WhiteBishop | b] +
                     pos.pieceCount[WhiteKnight | b] < 6;
    };
    if (few_pieces(Black)) part[White] += root.kingFewPiecesTable[White][wk];
    else if (!closed) part[White] += root.kingManyPiecesTable[White][wk];
    if (few_pieces(White)) part[Black] += root.kingFewPiecesTable[Black][bk];
    else if (!closed) part[Black] += root.kingManyPiecesTable[Black][bk];
  }
  if (endgameForm) return finish();

  part[White] += king_between_rooks<White>(pos, ply);
  part[Black] += king_between_rooks<Black>(pos, ply);

  // Locked wings keep a king at home safe from pawn storms.
  const int wr = rank_of(wk), br = rank_of(bk);
  if (((pawns.flags & PawnLockKingSideBlack) && wr >= 7) ||
      ((pawns.flags & PawnLockQueenSideBlack) && wr <= 2))
    part[White] += 20;
  if (((pawns.flags & PawnLockKingSideWhite) && br <= 2) ||
      ((pawns.flags & PawnLockQueenSideWhite) && br >= 7))
    part[Black] += 20;

  part[White] += open_lines_at(pawns, wk) * ply.phase[Black];
  part[Black] += open_lines_at(pawns, bk) * ply.phase[White];
  return finish();
}
