#include "board/types.h"

void square_name(Square s, char out[3]) {
  if (s < 1 || s > 64) {
    out[0] = '0';
    out[1] = '0';
  } else {
    out[0] = char('a' + file_of(s) - 1);
    out[1] = char('0' + rank_of(s));
  }
  out[2] = 0;
}

void move_text(Move m, char out[6]) {
  square_name(move_from(m), out);
  square_name(move_to(m), out + 2);
  static const char promotionLetter[8] = {0, 0, 0, 'n', 0, 'b', 'r', 'q'};
  const char letter = promotionLetter[piece_type(move_promotion(m))];
  out[4] = letter;
  out[5] = 0;
}
