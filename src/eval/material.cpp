#include "eval/material.h"

#include <cstdlib>

#include "board/zobrist.h"
#include "eval/percent.h"
#include "eval/preparation.h"

namespace {

// The last pawns of a side are worth more: without them it often cannot win.
constexpr int32_t lastPawns[9] = {-40, -20, -10, 0, 0, 0, 0, 0, 0};

// Opposite-coloured bishops: drawing scale by the common phase weight (rows 1, 2, 4, 7 without
// and 7 with queens) and the difference in pawns.
constexpr int8_t oppositeBishopScale[5][5] = {
    {45, 50, 60, 75, 85},  // bishops only
    {90, 92, 92, 95, 98},  // a minor piece each besides
    {66, 72, 82, 90, 95},  // a rook each besides
    {90, 92, 92, 95, 98},  // weight 7 without queen (two rooks and a minor)
    {66, 72, 82, 90, 95},  // weight 7 with queen
};

struct SideMaterial {
  int pawns, knights, bishops, rooks, queens, minors, weight;
  int32_t material;
  int lightBishops, darkBishops;
};

SideMaterial side_material(const MaterialCounts& c) {
  SideMaterial m;
  m.pawns = c.pawns > 8 ? 8 : c.pawns;  // a FEN may give a side more pawns than a game can
  m.knights = c.knights;
  m.lightBishops = c.lightBishops;
  m.darkBishops = c.darkBishops;
  m.bishops = c.lightBishops + c.darkBishops;
  m.rooks = c.rooks;
  m.queens = c.queens;
  m.minors = m.knights + m.bishops;
  m.weight = c.weight;
  m.material = c.material;
  return m;
}

// Trading down and the bishops: the side ahead likes exchanges; the bishop pair; bishops of
// opposite colours scale the score towards a draw.
int32_t trading_and_bishops(const SideMaterial& w, const SideMaterial& b, int32_t& scale) {
  const int32_t bishopPair = RootEval.bishopPairBonus;
  const bool fewPawns = w.pawns < RootEval.pawnLimitWhite && b.pawns < RootEval.pawnLimitBlack;
  // The side ahead likes exchanges, above all when the other side has no queen.
  int32_t g = w.material - b.material;
  if (g > 325) g = 325;
  if (g < -325) g = -325;
  int32_t s = 0;
  if (g > 0) s = b.queens == 0 ? g / 10 : -g / 10;
  else if (g < 0) s = w.queens > 0 ? -g / 10 : g / 10;
  s += (37 - w.weight - b.weight) * g / 150;
  if (w.weight + b.weight == 0) s += g / 2;

  // Bishop pair, and the drawing tendency of bishops of opposite colours.
  const bool whiteMayHaveOpposite = w.bishops == 1 && (w.knights + b.knights == 0 || w.weight == 2);
  const bool oppositeCase = whiteMayHaveOpposite && b.bishops == 1;
  if (!whiteMayHaveOpposite && w.bishops >= 2) {
    s += bishopPair;
    if (b.minors == 0) s += 10;
    if (fewPawns) s += 5;
  }
  if (oppositeCase) {
    if (w.weight == b.weight && w.rooks == b.rooks && w.darkBishops != b.darkBishops) {
      if (w.weight == 1 && w.pawns <= 1 && b.pawns <= 1) {
        scale = 5;
      } else {
        const int d = std::abs(w.pawns - b.pawns);
        int row = -1;
        switch (w.weight) {
          case 1: row = 0; break;
          case 2: row = 1; break;
          case 4: row = 2; break;
          case 7: row = w.queens > 0 ? 4 : 3; break;
          default: break;
        }
        if (d <= 4 && row >= 0) scale = oppositeBishopScale[row][d];
      }
    }
  } else if (b.bishops >= 2) {
    s -= bishopPair;
    if (w.minors == 0) s -= 10;
    if (fewPawns) s -= 5;
  }

  return s;
}

// The balance of pieces: extra minors with and without pawns to win with, the exchange, two
// rooks against a queen. `s` is the score so far.
int32_t piece_balance(const SideMaterial& w, const SideMaterial& b, int32_t s, uint8_t& flags,
                      int32_t& scale) {
  int32_t r = s;
  if (w.weight == 0 && b.weight > 0) {
    r = s - lastPawns[b.pawns] - 50;
  } else {
    if (w.weight == 0) s -= 50;  // both sides without pieces; undone below
    if (b.weight > 0) {
      r = s;
      if (w.rooks == b.rooks) {
        if (b.minors < w.minors) {
          const int32_t up = b.minors + 2 < w.minors ? s + 100 : s + 50;
          if (w.pawns > 0 || w.minors != b.minors + 1) {
            r = up + lastPawns[w.pawns];
          } else if (w.rooks + w.queens > 0) {
            r = (b.minors + 2 < w.minors ? s + 50 : s) + lastPawns[w.pawns];
          } else if (w.knights > 0 || b.bishops > 0) {
            // A single extra minor without pawns rarely wins.
            scale = CombinePercent(scale, 50);
            r = up + lastPawns[w.pawns] - 100;
          } else {
            r = up + lastPawns[w.pawns] - 30;
          }
        } else if (w.minors == b.minors) {
          flags |= MaterialMinorsEqual;
          if (w.minors == 1 && b.minors == 1) {
            if (w.knights == 1) { if (w.queens > 0 && w.rooks == 0) r += 5; }
            else if (w.rooks > 0 && w.queens == 0) r += 3;
            if (b.knights == 1) { if (b.queens > 0 && b.rooks == 0) r -= 5; }
            else if (b.rooks > 0 && b.queens == 0) r -= 3;
          }
        } else {
          const int32_t down = w.minors + 2 < b.minors ? s - 100 : s - 50;
          if (b.pawns > 0 || b.minors != w.minors + 1) {
            r = down - lastPawns[b.pawns];
          } else if (b.rooks + b.queens > 0) {
            r = s - (w.minors + 2 < b.minors ? 50 : 0) - lastPawns[b.pawns];
          } else if (b.knights > 0 || w.bishops > 0) {
            scale = CombinePercent(scale, 50);
            r = down - lastPawns[b.pawns] + 100;
          } else {
            r = down - lastPawns[b.pawns] + 30;
          }
        }
      } else if (w.minors == b.minors) {
        // Two rooks against a queen.
        if (w.minors == 0) {
          if (w.rooks == 2 && b.queens == 1) r += 40;
          else if (b.rooks == 2 && w.queens == 1) r -= 40;
        }
      } else if (w.rooks + w.minors == b.rooks + b.minors) {
        if (w.rooks > b.rooks) {
          flags |= MaterialWhiteUpExchange;
          r = s + lastPawns[w.pawns] + 30;
        } else {
          flags |= MaterialBlackUpExchange;
          r = s - lastPawns[b.pawns] - 30;
        }
      } else if (b.minors + 1 < w.minors) {
        r = s + lastPawns[w.pawns] + (w.bishops >= 2 ? 72 : 65);
      } else if (w.minors + 1 < b.minors) {
        r = s - lastPawns[b.pawns] - (b.bishops >= 2 ? 72 : 65);
      } else if (w.queens == 1 && w.rooks == 0 && w.minors == 0 && b.rooks == 1 && b.minors == 1) {
        r -= 30;
      } else if (b.queens == 1 && b.rooks == 0 && b.minors == 0 && w.rooks == 1 && w.minors == 1) {
        r += 30;
      }
    } else {
      r = s + 50 + (w.weight > 0 ? lastPawns[w.pawns] : 0);
    }
  }

  return r;
}

// Material combinations that are hard or impossible to win, and few pieces to attack with.
void hard_to_win(const SideMaterial& w, const SideMaterial& b, int32_t& r, int32_t& scale) {
  // A side with fewer than two pieces has little to attack with.
  if (w.rooks + w.minors + w.queens < 2) r -= 10;
  if (b.rooks + b.minors + b.queens < 2) r += 10;

  // Rook and minor against rook and pawns is hard to win.
  if (w.material == 866 && b.rooks == 1 && b.minors == 0 && b.queens == 0 && b.pawns >= 1) {
    if (b.pawns == 1) { r -= 250; scale = CombinePercent(scale, 40); }
    else if (b.pawns == 2) { r -= 150; scale = CombinePercent(scale, 45); }
    else { r -= 100; scale = CombinePercent(scale, 50); }
  }
  if (b.material == 866 && w.rooks == 1 && w.minors == 0 && w.queens == 0 && w.pawns >= 1) {
    if (w.pawns == 1) { r += 250; scale = CombinePercent(scale, 40); }
    else if (w.pawns == 2) { r += 150; scale = CombinePercent(scale, 45); }
    else { r += 100; scale = CombinePercent(scale, 50); }
  }

  // A lone minor cannot win against pawns; the pawns may.
  if (w.material == 325 && b.weight == 0) {
    if (b.pawns == 1) { scale = CombinePercent(scale, 50); r += b.material - 375; }
    else if (b.pawns == 2) { scale = CombinePercent(scale, 75); r += b.material - 350; }
    else if (b.pawns == 3) { scale = CombinePercent(scale, 90); r += b.material - 325; }
  } else if (b.material == 325 && w.weight == 0) {
    if (w.pawns == 1) { r = r - w.material + 375; scale = CombinePercent(scale, 50); }
    else if (w.pawns == 2) { r = r - w.material + 350; scale = CombinePercent(scale, 75); }
    else if (w.pawns == 3) { r = r - w.material + 325; scale = CombinePercent(scale, 90); }
  }

  // Two knights cannot force mate.
  if (w.pawns == 0 && w.weight == 2 && w.knights == 2 && b.material < w.material) {
    r += b.material - w.material;
    scale = CombinePercent(scale, 20);
  } else if (b.pawns == 0 && b.weight == 2 && b.knights == 2 && w.material < b.material) {
    r += b.material - w.material;
    scale = CombinePercent(scale, 20);
  } else if (w.pawns + b.pawns == 1 && w.weight == 2 && b.weight == 2) {
    scale = CombinePercent(scale, 40);
  }
}

}  // namespace

uint32_t material_index(int32_t ws, int32_t bs) {
  // Light bishops, rooks and queens; pawns and knights; dark bishops.
  return (ZobristIndex[2][1 + ((ws >> 6) & 63)] ^ ZobristIndex[5][1 + ((bs >> 6) & 63)] ^
          ZobristIndex[1][1 + (ws & 63)] ^ ZobristIndex[3][1 + (bs & 63)] ^
          ZobristIndex[6][1 + ((ws >> 12) & 3)] ^ ZobristIndex[7][1 + ((bs >> 12) & 3)]) &
         (MaterialTableSize - 1);
}

MaterialCounts material_counts(int32_t signature, int weight, int32_t material) {
  MaterialCounts c;
  c.pawns = signature & 15;
  c.knights = (signature >> 4) & 3;
  c.lightBishops = (signature >> 6) & 3;
  c.darkBishops = (signature >> 12) & 3;
  c.rooks = (signature >> 8) & 3;
  c.queens = (signature >> 10) & 3;
  c.weight = weight;
  c.material = material;
  return c;
}

void ComputeMaterialEntry(MaterialEntry& entry, const PlyState& ply) {
  ComputeMaterialFromCounts(entry, material_counts(ply.signature[White], ply.phase[White], ply.material[White]),
                            material_counts(ply.signature[Black], ply.phase[Black], ply.material[Black]));
  entry.key = (uint32_t(ply.signature[White]) << 16) | uint32_t(ply.signature[Black]);
}

void ComputeMaterialFromCounts(MaterialEntry& entry, const MaterialCounts& white,
                               const MaterialCounts& black) {
  const SideMaterial w = side_material(white);
  const SideMaterial b = side_material(black);
  uint8_t flags = 0;
  int32_t scale = 0;
  const int32_t s = trading_and_bishops(w, b, scale);
  int32_t r = piece_balance(w, b, s, flags, scale);
  hard_to_win(w, b, r, scale);
  entry.score = int16_t(r);
  entry.scale = int8_t(scale);
  entry.flags = flags;
}

const MaterialEntry& MaterialLookup(Position& pos, const PlyState& ply) {
  const uint32_t key = (uint32_t(ply.signature[White]) << 16) | uint32_t(ply.signature[Black]);
  if (!pos.materialTable) {
    // A Position without its tables (not set up for a search thread) still evaluates.
    static thread_local MaterialEntry scratch;
    ComputeMaterialEntry(scratch, ply);
    return scratch;
  }
  MaterialEntry& e = pos.materialTable[material_index(ply.signature[White], ply.signature[Black])];
  if (e.key != key) ComputeMaterialEntry(e, ply);
  return e;
}
