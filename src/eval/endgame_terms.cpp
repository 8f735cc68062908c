// Endgame terms that go with the ordinary evaluation: the kings' way to the pawns, rook and two
// pawns against rook, runners against a lone minor, rook-pawn corners in pawn endings and the
// fortress of a locked pawn chain.
#include <cstdlib>
#include <initializer_list>

#include "eval/endgame.h"
#include "eval/endgame_geometry.h"
#include "eval/pawns.h"
#include "eval/percent.h"

namespace {

constexpr int32_t RookValue = 541, PawnValue = 100;

// By the king's distance to the square just in front of the pawn mass (0..7).
constexpr int32_t kingToPawnsTable[8] = {1, -2, -7, -16, -28, -40, -55, -65};
// By the king's file distance to the average pawn file (0..7).
constexpr int32_t kingFileTable[8] = {0, 0, -6, -11, -25, -40, -50, -60};
constexpr int32_t kingFileTablePawnEnding[8] = {0, 0, -6, -20, -40, -55, -70, -90};

// Rook and two connected or split pawns against a rook: the defender's king and rook
// placements that hold. Returns the correction from the attacker's view (0 or negative).
int32_t rook_two_pawns_against_rook(const EndingSides& v, int32_t& scale) {
  const int a = v.attacker;
  const Square enemyKing = v.king(v.defender);
  const auto on = [&](int file) { return v.has_pawn_on_file(a, file); };
  // Split pawns (f and h, or a and c).
  if ((on(6) && on(8)) || (on(1) && on(3))) {
    scale = CombinePercent(scale, 80);
    return EndingSides::relative_rank(enemyKing, a) < 8 ? -50 : -25;
  }
  // Connected rook and knight pawns (g and h, or a and b).
  if (!((on(7) && on(8)) || (on(1) && on(2)))) return 0;

  // The king blockades one pawn while the other stands beside it.
  const int kingRank = EndingSides::relative_rank(enemyKing, a);
  const int ownPawn = with_colour(2, a);
  if (kingRank >= 3 && kingRank <= 7) {
    const Square below = a == White ? enemyKing - 8 : enemyKing + 8;  // seen from the attacker
    const int f = file_of(enemyKing);
    const bool besideLeft = f > 1 && v.pos.board[enemyKing - 1] == ownPawn;
    const bool besideRight = f < 8 && v.pos.board[enemyKing + 1] == ownPawn;
    if (v.pos.board[below] == ownPawn && (besideLeft || besideRight)) {
      scale = CombinePercent(scale, 80);
      return -25;
    }
  }
  // The defending rook attacks the pawns from behind.
  const Square rook = v.men[v.defender].rookSquare;
  const int rf = file_of(rook);
  if (rook && v.has_pawn_on_file(a, rf) &&
      EndingSides::relative_rank(rook, a) > v.rear_rank(rf, a)) {
    scale = CombinePercent(scale, 80);
    return -25;
  }
  return 0;
}

}  // namespace

int32_t EndgameCorrections(const Position& pos, const PlyState& ply, const PawnEntry& pawns,
                           const int unstoppable[2], bool pawnEnding, int32_t& scale) {
  int32_t total = 0;
  const Square wk = king_square(pos, White), bk = king_square(pos, Black);

  const int32_t mw = ply.material[White], mb = ply.material[Black];
  if (unstoppable[White] + unstoppable[Black] == 0) {
    if (mw == RookValue + 2 * PawnValue && mb == RookValue)
      total += rook_two_pawns_against_rook(EndingSides(pos, ply, pawns, White), scale);
    else if (mb == RookValue + 2 * PawnValue && mw == RookValue)
      total -= rook_two_pawns_against_rook(EndingSides(pos, ply, pawns, Black), scale);
  }

  // Each king belongs just in front of the pawn mass as seen from its own side. The centre's
  // rank is an average: White measures from it rounded down, Black from it rounded up, so that
  // the colour-mirrored position gets the mirrored targets.
  if (pawns.pawnCentre) {
    const int low = pawns.pawnCentre, high = pawns.pawnCentreHigh;
    const Square whiteTarget = low < 57 ? low + 8 : low;
    const Square blackTarget = high > 8 ? high - 8 : high;
    total += kingToPawnsTable[distance(wk, whiteTarget)] - kingToPawnsTable[distance(bk, blackTarget)];
  }

  // Kings far from the pawns' files arrive too late.
  if (pawns.averageFile) {
    const int32_t* table = pawnEnding ? kingFileTablePawnEnding : kingFileTable;
    const int a = pawns.averageFile;
    total += table[std::abs(file_of(wk) - a)] - table[std::abs(file_of(bk) - a)];
  }

  // Two runners against a lone minor piece cannot both be stopped.
  if (unstoppable[White] >= 2 && ply.phase[Black] == 1) total += 50;
  if (unstoppable[Black] >= 2 && ply.phase[White] == 1) total -= 50;
  return total;
}

bool PawnEndingIsDraw(const Position& pos, const PawnEntry& pawns) {
  for (int attacker = White; attacker <= Black; ++attacker) {
    const int own = attacker == White ? pawns.whitePawnCount : pawns.blackPawnCount;
    const int other = attacker == White ? pawns.blackPawnCount : pawns.whitePawnCount;
    if (own == 0 || other != 0) continue;
    const uint8_t* onFile = attacker == White ? pawns.whitePawnsOnFile : pawns.blackPawnsOnFile;
    const Square defender = king_square(pos, attacker ^ 1);
    const int lastRank = attacker == White ? 8 : 1;
    for (int file : {1, 8})
      if (onFile[file] == own && distance(defender, square_at(file, lastRank)) <= 1) return true;
  }
  return false;
}

bool FortressHolds(const Position& pos, const PawnEntry& pawns, bool pawnEnding,
                   const int unstoppable[2]) {
  if (!(pawns.flags & PawnWall)) return false;
  if (!(pawns.whiteReach & square_bit(king_square(pos, White)))) return false;
  if (!(pawns.blackReach & square_bit(king_square(pos, Black)))) return false;
  const bool allPawnsLocked = pawns.whitePawnCount + pawns.blackPawnCount == 16 && pawns.openFiles == 0;
  return allPawnsLocked || (pawnEnding && unstoppable[White] + unstoppable[Black] == 0);
}
