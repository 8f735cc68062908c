#include "eval/root_census.h"

#include <cstring>

#include "board/game.h"
#include "eval/root_eval.h"
#include "eval/square_names.h"

Census take_census(const Position& pos, const PlyState& root) {
  Census c;
  std::memset(&c, 0, sizeof c);
  for (int colour = 0; colour < 2; ++colour) {
    c.lastBishopDark[colour] = -1;
    const uint8_t* list = colour_list(pos, colour);
    for (int slot = 1; list[slot] != 0; ++slot) {
      const Square s = list[slot];
      if (s == CapturedMark) continue;
      switch (piece_type(pos.board[s])) {
        case 2: {
          ++c.pawns[colour];
          ++c.pawnsOnFile[colour][file_of(s)];
          break;
        }
        case 3: ++c.knights[colour]; break;
        case 5:
          ++c.bishops[colour];
          c.lastBishopDark[colour] = is_dark_square(s) ? 1 : 0;
          break;
        case 6: ++c.rooks[colour]; break;
        case 7: ++c.queens[colour]; break;
        default: break;
      }
    }
    c.kingFile[colour] = file_of(king_square(pos, colour));
    c.material[colour] = root.material[colour];
    c.pieceMaterial[colour] = root.material[colour] - 100 * c.pawns[colour];
  }
  c.undeveloped[White] = holds(pos, B1, WhiteKnight) + holds(pos, G1, WhiteKnight) +
                         holds(pos, C1, WhiteBishop) + holds(pos, F1, WhiteBishop) +
                         holds(pos, E1, WhiteKing);
  c.undeveloped[Black] = holds(pos, B8, BlackKnight) + holds(pos, G8, BlackKnight) +
                         holds(pos, C8, BlackBishop) + holds(pos, F8, BlackBishop) +
                         holds(pos, E8, BlackKing);
  return c;
}

namespace {

bool census_is_endgame(const Census& c) {
  const int queens = c.queens[0] + c.queens[1];
  return is_endgame(queens, queens + c.rooks[0] + c.rooks[1], c.minors(0) + c.minors(1),
                    c.pawns[0] + c.pawns[1], c.pieceMaterial[0], c.pieceMaterial[1]);
}

}  // namespace

uint32_t classify_stage(const Census& c) {
  uint32_t phase;
  if (c.material[White] == 0 && c.material[Black] > 100) {
    phase = PhaseWhiteBare;
  } else if (c.material[Black] == 0 && c.material[White] > 100) {
    phase = PhaseBlackBare;
  } else if (census_is_endgame(c)) {
    phase = PhaseEndgame;
  } else if (c.undeveloped[White] != 0 && c.undeveloped[Black] != 0 &&
             c.undeveloped[White] + c.undeveloped[Black] >= 3 && c.queens[0] + c.queens[1] >= 2) {
    // Thirty moves into the game the opening is over, whatever the board looks like.
    phase = game_key_count() - 1 >= 30 ? PhaseMiddlegame : PhaseOpening;
  } else {
    phase = PhaseMiddlegame;
  }
  if (c.pieceMaterial[White] + c.pieceMaterial[Black] == 0) phase |= PhasePawnsOnly;
  return phase;
}

void fill_ending_indicator(const Census& c, bool endgameLike) {
  if (endgameLike) {
    std::memset(RootEval.endingIndicator, 0, sizeof RootEval.endingIndicator);
    return;
  }
  for (int k = 0; k < 256; ++k) {
    int queens[2] = {c.queens[0], c.queens[1]};
    int rooks[2] = {c.rooks[0], c.rooks[1]};
    int minors[2] = {c.minors(0), c.minors(1)};
    int bishops[2] = {c.bishops[0], c.bishops[1]};
    int knights[2] = {c.knights[0], c.knights[1]};
    int32_t piece[2] = {c.pieceMaterial[0], c.pieceMaterial[1]};
    // Bits, high to low: white queen, black queen, white rook, black rook, white bishop,
    // black bishop, white knight, black knight.
    for (int bit = 7; bit >= 0; --bit) {
      if (!(k & (1 << bit))) continue;
      const int colour = (bit & 1) ? White : Black;
      switch (bit >> 1) {
        case 3: if (queens[colour]) { --queens[colour]; piece[colour] -= 1055; } break;
        case 2: if (rooks[colour]) { --rooks[colour]; piece[colour] -= 541; } break;
        case 1: if (bishops[colour]) { --bishops[colour]; --minors[colour]; piece[colour] -= 325; } break;
        case 0: if (knights[colour]) { --knights[colour]; --minors[colour]; piece[colour] -= 325; } break;
      }
    }
    const int q = queens[0] + queens[1];
    RootEval.endingIndicator[k] =
        is_endgame(q, q + rooks[0] + rooks[1], minors[0] + minors[1], c.pawns[0] + c.pawns[1],
                   piece[0], piece[1]) ? 1 : 0;
  }
}

bool is_endgame(int queens, int majors, int minors, int pawns, int32_t whitePieceMaterial,
                int32_t blackPieceMaterial) {
  if (queens >= 2 && majors >= 4) return false;
  if (whitePieceMaterial + blackPieceMaterial <= 2976) return true;
  if (majors + minors <= 5 && pawns <= 10) return true;
  if (majors <= 2 && minors <= 4 && pawns <= 8) return true;
  if (queens <= 1) {
    if ((majors + minors <= 6 && majors <= 2) || (majors + minors <= 7 && pawns <= 10)) return true;
  }
  if (queens == 0) {
    if (majors + minors <= 7 || (majors + minors <= 8 && pawns <= 10) || (majors <= 3 && minors <= 5))
      return true;
  }
  return majors + minors <= 3;
}
