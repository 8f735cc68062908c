#include "eval/pawns.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "core/options.h"
#include "eval/preparation.h"
#include "eval/square_names.h"

namespace {

constexpr int32_t doubledPenalty = -7;
constexpr int32_t weakPenalty[10] = {0, -3, -6, -8, -10, -10, -8, -6, -3, 0};
constexpr int32_t isolatedCountPenalty[9] = {0, 0, -2, -4, -8, -14, -20, -28, -34};
constexpr int32_t isolatedBishopShift[9] = {0, -2, -4, -6, -8, -10, -13, -16, -20};
constexpr int32_t pawnSurplus[17] = {49, 39, 30, 22, 15, 9, 4, 0, 0, 0, -4, -9, -15, -22, -30, -39, -49};

constexpr uint64_t Rank1 = 0xFFull;
constexpr uint64_t Rank8 = 0xFFull << 56;
constexpr uint64_t FileA = 0x0101010101010101ull;
constexpr uint64_t FileH = FileA << 7;

// For a white pawn on each square: the squares of the neighbouring files ahead of it, which it
// attacks now or after advancing. Black's are the same masks seen upside down.
struct SpanTable {
  uint64_t mask[SquareCount];
  constexpr SpanTable() : mask() {
    for (int s = 1; s <= 64; ++s) {
      const int f = (s - 1) % 8 + 1, r = (s - 1) / 8 + 1;
      uint64_t m = 0;
      for (int rr = r + 1; rr <= 8; ++rr) {
        if (f > 1) m |= uint64_t(1) << ((rr - 1) * 8 + f - 2);
        if (f < 8) m |= uint64_t(1) << ((rr - 1) * 8 + f);
      }
      mask[s] = m;
    }
  }
};
constexpr SpanTable WhiteSpan;

// Table indices and byte fields: a FEN may put more than eight pawns on one side.
inline int capped(int n) { return n > 8 ? 8 : n; }
inline int8_t saturate8(int32_t v) { return int8_t(v > 127 ? 127 : v < -128 ? -128 : v); }

inline uint64_t flip(uint64_t b) { return __builtin_bswap64(b); }
inline bool has(uint64_t b, Square s) { return s >= 1 && s <= 64 && (b >> (s - 1)) & 1; }

uint64_t king_steps(uint64_t b) {
  const uint64_t side = ((b << 1) & ~FileA) | ((b >> 1) & ~FileH);
  const uint64_t row = b | side;
  return side | (row << 8) | (row >> 8);
}

uint64_t flood(uint64_t allowed, uint64_t seeds) {
  uint64_t fill = seeds & allowed;
  for (;;) {
    const uint64_t next = (fill | king_steps(fill)) & allowed;
    if (next == fill) return fill;
    fill = next;
  }
}

// Running sums of the weighted pawn centre.
struct CentreSum {
  int32_t rankSum = 0, fileSum = 0, count = 0;
  void add(Square s, int times) {
    rankSum += rank_of(s) * times;
    fileSum += file_of(s) * times;
    count += times;
  }
};

// What one side's pawns give, worked out with the side moving up the board: for Black every
// mask and square here is the board seen upside down. Scores are the side's own view.
struct SideResult {
  int32_t score, lateScore, endingScore, phaseTarget;
  int32_t enemyRookBonus;  // what the enemy's rooks gain, as a negative own-view value
  int32_t bishopPairBonus;
  uint64_t passed, weak, span, outposts;
  int immobileCount, passedCount, nonPassedMobile;
  bool advancedPasser, lowWeak;
  int outsideMax;
  int8_t passedOnColour[2];  // by the real square colour: light, dark
  uint16_t wingLocks;        // 1 queen side, 4 king side
};

struct FileInfo {
  int own[11], opp[11];       // pawns per file, index 0 and 9..10 empty
  int ownRear[11];            // lowest rank, 9 when none
  int oppRear[11];            // highest rank (the enemy's rearmost), 0 when none
};

FileInfo file_info(uint64_t own, uint64_t opp) {
  FileInfo fi;
  for (int f = 0; f < 11; ++f) { fi.own[f] = fi.opp[f] = 0; fi.ownRear[f] = 9; fi.oppRear[f] = 0; }
  for (uint64_t b = own; b; b &= b - 1) {
    const Square s = __builtin_ctzll(b) + 1;
    ++fi.own[file_of(s)];
    if (rank_of(s) < fi.ownRear[file_of(s)]) fi.ownRear[file_of(s)] = rank_of(s);
  }
  for (uint64_t b = opp; b; b &= b - 1) {
    const Square s = __builtin_ctzll(b) + 1;
    ++fi.opp[file_of(s)];
    if (rank_of(s) > fi.oppRear[file_of(s)]) fi.oppRear[file_of(s)] = rank_of(s);
  }
  return fi;
}

// Walks a locked wing: from the rearmost pawn of `file` up the file until an enemy pawn stands
// right in front (locked) or rank 7 is reached; an enemy pawn diagonally in front on one of the
// `lever` files on the way means the wing can still open.
bool wing_file_locked(uint64_t opp, const FileInfo& fi, int file, int leverA, int leverB) {
  for (Square c = square_at(file, fi.ownRear[file]);; c += 8) {
    if ((leverA && has(opp, c + 8 + (leverA - file))) || (leverB && has(opp, c + 8 + (leverB - file))))
      return false;
    if (has(opp, c + 8) || rank_of(c) >= 7) return true;
  }
}

uint16_t wing_locks(uint64_t opp, const FileInfo& fi) {
  uint16_t locks = 0;
  if (fi.own[1] && fi.own[2] && (fi.opp[1] || fi.opp[2]) && wing_file_locked(opp, fi, 1, 2, 0) &&
      wing_file_locked(opp, fi, 2, 3, 1))
    locks |= 1;
  if (fi.own[8] && fi.own[7] && (fi.opp[8] || fi.opp[7]) && wing_file_locked(opp, fi, 8, 7, 0) &&
      wing_file_locked(opp, fi, 7, 6, 8))
    locks |= 4;
  return locks;
}

SideResult analyse_side(int colour, uint64_t own, uint64_t opp, const FileInfo& fi,
                        int averageFile, CentreSum& centre) {
  const RootEvaluation& root = RootEval;
  const uint32_t phase = root.PhaseFlags;
  const bool middlegame = (phase & PhaseMiddlegame) != 0;
  const bool endgame = (phase & PhaseEndgame) != 0;
  SideResult out;
  std::memset(&out, 0, sizeof out);
  int32_t& target = endgame ? out.score : out.lateScore;
  auto real = [colour](Square s) { return colour == White ? s : flip_square(s); };
  auto split = [&](int32_t mid, int32_t end) {
    if (middlegame) { out.score += mid; out.lateScore += end - mid; }
    else out.score += end;
  };

  for (uint64_t b = own; b; b &= b - 1) {
    const Square s = __builtin_ctzll(b) + 1;
    const int r = rank_of(s), f = file_of(s);
    const Square front = s + 8;
    const bool leftOk = f > 1, rightOk = f < 8;
    const bool enemyDiagonal = (leftOk && has(opp, front - 1)) || (rightOk && has(opp, front + 1));
    bool immobile = (has(own, front) || has(opp, front)) && !enemyDiagonal;

    out.lateScore += root.pawnSquareLate[colour][real(s)];
    out.span |= WhiteSpan.mask[s];

    // Passed: no enemy pawn ahead on this or a neighbouring file, and no own pawn ahead.
    const uint64_t ahead = (FileA << (f - 1)) & ~((uint64_t(2) << (s - 1)) - 1);
    const bool passed = !(phase & PhaseOpening) && fi.oppRear[f] < r && fi.oppRear[f - 1] <= r &&
                        fi.oppRear[f + 1] <= r && !(own & ahead);
    if (!passed) {
      centre.add(real(s), 1);
    } else {
      out.passed |= square_bit(s);
      ++out.passedCount;
      if (r >= 6) out.advancedPasser = true;
      --out.passedOnColour[is_dark_square(real(s)) ? 1 : 0];
      out.bishopPairBonus += 10;
      const int outside = std::abs(f - averageFile) + 1;
      if (outside > out.outsideMax) out.outsideMax = outside;
      split(root.passedMid[r], root.passedEnd[r]);
      centre.add(real(s), 4);
      centre.add(real(square_at(f, 8)), 1);
      if (r >= 4 && ((leftOk && has(own, s - 9)) || (rightOk && has(own, s - 7)))) {
        out.endingScore += 24;
        target += 10;
      }
      if (f <= 7) {
        if (has(own, s + 1) && fi.oppRear[f + 2] <= r) {
          split(root.connectedMid[r], root.connectedEnd[r]);
        } else if (has(own, s + 9) && fi.oppRear[f + 2] <= r + 1) {
          split(root.connectedMid[r] / 2, root.connectedEnd[r] / 2);
        } else if (has(own, s - 7) && r >= 5 && fi.oppRear[f + 1] < r && fi.oppRear[f + 2] <= r - 1) {
          split(root.connectedMid[r - 1] / 2, root.connectedEnd[r - 1] / 2);
        }
      }
    }

    if (fi.own[f] >= 2) {
      out.score += doubledPenalty;
      if (fi.opp[f] == 0) {
        out.score -= 2;
        out.enemyRookBonus -= 2;
      } else if (!immobile && r == fi.ownRear[f]) {
        // The rear pawn of a doubled pair is stuck when the front one cannot move either.
        for (Square c = s;;) {
          const int cf = file_of(c);
          if ((cf > 1 && has(opp, c + 7)) || (cf < 8 && has(opp, c + 9))) break;
          c += 8;
          if (c > 64 || has(opp, c)) break;
          if (has(own, c)) { immobile = true; break; }
        }
      }
      if (fi.own[f - 1] == 0 && fi.own[f + 1] == 0)
        out.score -= (fi.opp[f] > 0 && fi.opp[f - 1] == 0 && fi.opp[f + 1] == 0) ? 20 : 15;
    }

    const bool weak = fi.ownRear[f - 1] != r && fi.ownRear[f - 1] != r - 1 &&
                      fi.ownRear[f + 1] != r && fi.ownRear[f + 1] != r - 1;
    if (weak) {
      out.weak |= square_bit(s);
      if (r < 4) out.lowWeak = true;
      centre.add(real(s), 1);
      out.score += weakPenalty[f];
      if ((f == 1 || (fi.opp[f - 1] && r >= fi.oppRear[f - 1])) &&
          (f == 8 || (fi.opp[f + 1] && r >= fi.oppRear[f + 1])))
        out.score -= (fi.oppRear[f - 1] == r || fi.oppRear[f + 1] == r) ? 12 : 25;
      bool done = false;
      if (has(opp, front)) {
        out.score -= 2;
      } else {
        const int attackers = (leftOk && has(opp, front + 7)) + (rightOk && has(opp, front + 9));
        out.score -= 10 * attackers;
        if (attackers && r < 4) {
          out.score -= 4;
          if (!fi.opp[f]) out.enemyRookBonus -= 5;
          done = true;
        }
      }
      if (!done && !fi.opp[f]) {
        out.score -= 2;
        out.enemyRookBonus -= 7;
      }
    }

    if (immobile) ++out.immobileCount;
    else if (!passed) ++out.nonPassedMobile;
  }

  // Pawn masses on a wing are slow to advance.
  if (fi.own[1] + fi.own[2] > 2) out.score -= 10;
  if (fi.own[7] + fi.own[8] > 2) out.score -= 10;
  out.wingLocks = wing_locks(opp, fi);

  // Outposts: central squares no enemy pawn can ever attack.
  for (int f = 3; f <= 6; ++f)
    for (int r = 4; r <= 6; ++r)
      if (fi.oppRear[f - 1] <= r && fi.oppRear[f + 1] <= r) out.outposts |= square_bit(square_at(f, r));
  return out;
}

// How open the centre is, from the pawns of files c to f.
uint16_t centre_type(const PawnEntry& e, uint64_t white, uint64_t black) {
  auto blocked_file = [&](int f) {
    if (!e.whitePawnsOnFile[f] || !e.blackPawnsOnFile[f]) return false;
    for (int r = 2; r <= 6; ++r) {
      const Square s = square_at(f, r);
      if (has(white, s) && has(black, s + 8)) return true;
    }
    return false;
  };
  int c = 0;
  for (int f = 3; f <= 6; ++f) c += blocked_file(f);
  const int m = e.pawnsOnFile[4] + e.pawnsOnFile[5];
  const int eCount = m + e.pawnsOnFile[3];
  const int fCount = m + e.pawnsOnFile[6];
  const bool deFree = !blocked_file(4) && !blocked_file(5);
  if (c > 1 && eCount > 3 && fCount > 3) return PawnCentreClosed;
  if (m == 3 && c == 0) return (eCount < 5 || fCount < 5) ? PawnCentreOpen : 0;
  if (m > 2 && eCount > 3 && fCount > 3 && eCount > 4) {
    if (fCount > 4) return PawnCentreClosed;
    return c == 0 ? PawnCentreOpen : 0;
  }
  if (m > 2) return deFree ? PawnCentreOpen : 0;
  if (m == 2 && c > 0 && eCount >= 4 && fCount >= 4) return 0;
  return PawnCentreOpen;
}

// Both sides' pawns as bit sets (Black's the right way up) and the files they span.
struct PawnSets {
  uint64_t white, black;
  int lowFile, highFile;
};

// Counts the pawns into the entry: per file, per square colour (and blocked ones), the rear
// ranks, the totals and the average file.
PawnSets count_pawns(const Position& pos, PawnEntry& e) {
  for (int f = 0; f < 10; ++f) e.whiteRearRank[f] = 9;
  PawnSets p{0, 0, 9, 0};
  int fileSum = 0;
  for (int colour = 0; colour < 2; ++colour) {
    const uint8_t* list = colour_list(pos, colour);
    const int pawnCode = with_colour(2, colour);
    for (int slot = 1; list[slot] != 0; ++slot) {
      const Square s = list[slot];
      if (s == CapturedMark || pos.board[s] != pawnCode) continue;
      const int f = file_of(s), r = rank_of(s);
      const int colourIndex = colour * 2 + (is_dark_square(s) ? 1 : 0);
      ++e.pawnsOnFile[f];
      ++e.pawnsOnColour[colourIndex];
      if (pos.board[s + (colour == White ? 8 : -8)] == with_colour(2, colour ^ 1))
        ++e.blockedOnColour[colourIndex];
      if (colour == White) {
        ++e.whitePawnsOnFile[f];
        if (r < e.whiteRearRank[f]) e.whiteRearRank[f] = uint8_t(r);
        p.white |= square_bit(s);
        ++e.whitePawnCount;
      } else {
        ++e.blackPawnsOnFile[f];
        if (r > e.blackRearRank[f]) e.blackRearRank[f] = uint8_t(r);
        p.black |= square_bit(s);
        ++e.blackPawnCount;
      }
      fileSum += f;
      if (f < p.lowFile) p.lowFile = f;
      if (f > p.highFile) p.highFile = f;
    }
  }
  const int total = e.whitePawnCount + e.blackPawnCount;
  if (total) e.averageFile = uint8_t(fileSum / total);
  return p;
}

// The entry's sums while it is worked out, all White's view.
struct PawnTotals {
  int32_t score, lateScore, endingScore;
  // Weak and doubled pawns on half-open files are targets for the enemy rooks.
  int32_t whiteRook, blackRook;
  int32_t whitePair, blackPair;
  uint16_t flags;
};

// What each side's analysis found, stored in the entry with Black's sets turned back the
// right way up; returns the sums it starts the totals with.
PawnTotals take_side_results(PawnEntry& e, const SideResult& w, const SideResult& b) {
  // The rook bonuses are White's view, so Black's shows up negated.
  PawnTotals t{w.score - b.score, w.lateScore - b.lateScore, w.endingScore - b.endingScore,
               -b.enemyRookBonus, w.enemyRookBonus, w.bishopPairBonus, -b.bishopPairBonus, 0};
  e.whitePassed = w.passed;
  e.blackPassed = flip(b.passed);
  e.whiteWeak = w.weak;
  e.blackWeak = flip(b.weak);
  e.whiteSpan = w.span;
  e.blackSpan = flip(b.span);
  e.whiteOutposts = w.outposts;
  e.blackOutposts = flip(b.outposts);
  e.passedOnColour[0] = w.passedOnColour[0];
  e.passedOnColour[1] = w.passedOnColour[1];
  e.passedOnColour[2] = b.passedOnColour[0];
  e.passedOnColour[3] = b.passedOnColour[1];
  uint16_t& flags = t.flags;
  if (w.advancedPasser) flags |= PawnWhiteAdvancedPasser;
  if (w.lowWeak) flags |= PawnWhiteLowWeak;
  if (b.advancedPasser) flags |= PawnBlackAdvancedPasser;
  if (b.lowWeak) flags |= PawnBlackHighWeak;
  flags |= (w.wingLocks & 1 ? PawnLockQueenSideWhite : 0) | (w.wingLocks & 4 ? PawnLockKingSideWhite : 0);
  flags |= (b.wingLocks & 1 ? PawnLockQueenSideBlack : 0) | (b.wingLocks & 4 ? PawnLockKingSideBlack : 0);
  return t;
}

// File terms: isolated pawns, open files, rook pawns and the surplus of pawns.
void file_terms(PawnEntry& e, PawnTotals& t) {
  for (int f = 1; f <= 8; ++f) {
    if (e.whitePawnsOnFile[f] && !e.whitePawnsOnFile[f - 1] && !e.whitePawnsOnFile[f + 1])
      e.whiteIsolated += e.whitePawnsOnFile[f];
    if (e.blackPawnsOnFile[f] && !e.blackPawnsOnFile[f - 1] && !e.blackPawnsOnFile[f + 1])
      e.blackIsolated += e.blackPawnsOnFile[f];
    if (!e.pawnsOnFile[f]) ++e.openFiles;
  }
  // Rook pawns are worth a little less, except in pawn endings where they are hard to stop.
  for (int f : {1, 8}) {
    if (e.whitePawnsOnFile[f]) { t.score -= 3; t.endingScore += 3; }
    if (e.blackPawnsOnFile[f]) { t.score += 3; t.endingScore -= 3; }
  }
  t.score += isolatedCountPenalty[capped(e.whiteIsolated)] - isolatedCountPenalty[capped(e.blackIsolated)];
  t.blackPair += isolatedBishopShift[capped(e.whiteIsolated)];
  t.whitePair -= isolatedBishopShift[capped(e.blackIsolated)];
  const int surplus = e.whitePawnCount - e.blackPawnCount;
  t.score += pawnSurplus[surplus > 8 ? 16 : surplus < -8 ? 0 : surplus + 8];
}

// The outside passed pawn decides pawn endings.
void outside_passer(const PawnEntry& e, const SideResult& w, const SideResult& b, PawnTotals& t) {
  if (e.whitePawnCount < 2 || e.blackPawnCount < 2) return;
  const int d = w.outsideMax - b.outsideMax;
  const bool endgame = (RootEval.PhaseFlags & PhaseEndgame) != 0;
  if (d > 0) {
    if (endgame) t.score += 12;
    else if (!b.passed) { t.score += 4; t.lateScore += 8; }
    else t.lateScore += 12;
    t.endingScore += 4 * d + 45;
  } else if (d < 0) {
    if (endgame) t.score -= 12;
    else if (!w.passed) { t.score -= 4; t.lateScore -= 8; }
    else t.lateScore -= 12;
    t.endingScore += 4 * d - 45;
  }
}

// Minor piece against pawns: what the last pawns are worth when minors are equal.
int8_t minor_adjust(const PawnEntry& e, const SideResult& w, const SideResult& b) {
  const int wc = e.whitePawnCount, bc = e.blackPawnCount;
  int adjust = 0;
  if (wc == 0 && bc == 1) adjust = 34;
  else if (wc == 1 && bc == 0) adjust = -34;
  else if (wc == 1 && bc == 2) adjust = b.passed ? 17 : 34;
  else if (wc == 2 && bc == 1) adjust = w.passed ? -17 : -34;
  else if (wc == 2 && bc == 3) adjust = b.passed ? 7 : 17;
  else if (wc == 3 && bc == 2) adjust = w.passed ? -7 : -17;
  return int8_t(adjust);
}

// An open centre favours the bishops; "Prefer Open Positions" dislikes a closed one.
void centre_terms(const PawnEntry& e, const PawnSets& p, PawnTotals& t) {
  const uint16_t centreType = centre_type(e, p.white, p.black);
  t.flags |= centreType;
  const int32_t engineSign = RootEval.engineColour == White ? 1 : -1;
  if (centreType == PawnCentreOpen) {
    t.whitePair += 11;
    t.blackPair -= 11;
  } else if (centreType == PawnCentreClosed) {
    if (Options.PreferOpen) t.score -= 20 * engineSign;
  } else {
    if (Options.PreferOpen) t.score -= 7 * engineSign;
    t.whitePair += 6;
    t.blackPair -= 6;
  }
}

// A locked chain may leave the kings no way through: the fortress test of the endgame reads
// the regions each king can reach.
void king_reach(PawnEntry& e, const SideResult& w, const SideResult& b, const PawnSets& p, PawnTotals& t) {
  if (e.whitePawnCount < 3 || e.blackPawnCount < 3) return;
  const bool allImmobile = w.immobileCount == e.whitePawnCount && b.immobileCount == e.blackPawnCount;
  const bool lockedButPassers = w.nonPassedMobile == 0 && b.nonPassedMobile == 0 &&
                                w.passedCount <= 2 && b.passedCount <= 2;
  if (!allImmobile && !lockedButPassers) return;
  e.whiteReach = flood(~p.white & ~e.blackSpan, Rank1);
  if (!(e.whiteReach & Rank8)) {
    e.blackReach = flood(~p.black & ~e.whiteSpan, Rank8);
    if (!(e.blackReach & Rank1)) t.flags |= PawnWall;
  }
}

}  // namespace

uint64_t front_attack_span(int colour, Square s) {
  return colour == White ? WhiteSpan.mask[s] : flip(WhiteSpan.mask[flip_square(s)]);
}

void ComputePawnEntry(const Position& pos, const PlyState& ply, PawnEntry& e) {
  std::memset(&e, 0, sizeof e);
  e.key = ply.pawnLock;
  const PawnSets p = count_pawns(pos, e);

  CentreSum centre;
  const FileInfo whiteFiles = file_info(p.white, p.black);
  const FileInfo blackFiles = file_info(flip(p.black), flip(p.white));
  const SideResult w = analyse_side(White, p.white, p.black, whiteFiles, e.averageFile, centre);
  const SideResult b = analyse_side(Black, flip(p.black), flip(p.white), blackFiles, e.averageFile, centre);
  PawnTotals t = take_side_results(e, w, b);
  file_terms(e, t);

  if (centre.count) {
    e.pawnCentre = uint8_t((centre.rankSum / centre.count) * 8 + centre.fileSum / centre.count - 8);
    e.pawnCentreHigh = uint8_t(((centre.rankSum + centre.count - 1) / centre.count) * 8 +
                               centre.fileSum / centre.count - 8);
  }

  // Narrow pawn structures are drawish.
  const int total = e.whitePawnCount + e.blackPawnCount;
  if (total >= 2 && std::abs(e.whitePawnCount - e.blackPawnCount) <= 1) {
    static const uint8_t withPasser[4] = {60, 70, 78, 85};
    static const uint8_t withoutPasser[4] = {55, 65, 73, 80};
    const int span = p.highFile - p.lowFile;
    if (span <= 3) e.spreadScale = (w.passed || b.passed) ? withPasser[span] : withoutPasser[span];
  }

  outside_passer(e, w, b, t);
  e.minorAdjust = minor_adjust(e, w, b);
  centre_terms(e, p, t);
  king_reach(e, w, b, p, t);

  e.score = int16_t(t.score);
  e.lateScore = int16_t(t.lateScore);
  e.endingScore = int16_t(t.endingScore);
  e.flags = t.flags;
  e.whiteRookBonus = saturate8(t.whiteRook);
  e.blackRookBonus = saturate8(t.blackRook);
  e.whiteBishopPairBonus = saturate8(t.whitePair);
  e.blackBishopPairBonus = saturate8(t.blackPair);
}

const PawnEntry& PawnLookup(Position& pos, const PlyState& ply) {
  if (!pos.pawnHash) {
    // A Position without its tables (not set up for a search thread) still evaluates.
    static thread_local PawnEntry scratch;
    ComputePawnEntry(pos, ply, scratch);
    return scratch;
  }
  PawnEntry& e = pos.pawnHash[ply.pawnKey & (PawnHashSize - 1)];
  if (e.key != ply.pawnLock) ComputePawnEntry(pos, ply, e);
  return e;
}
