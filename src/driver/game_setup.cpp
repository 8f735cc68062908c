#include "driver/game_setup.h"

#include <cstdlib>
#include <cstring>

#include "board/game.h"
#include "board/legality.h"
#include "board/notation.h"
#include "board/setup.h"
#include "core/output.h"
#include "driver/fatal.h"
#include "search/control.h"
#include "search/threads.h"

namespace {

constexpr size_t FenTextCapacity = 256;

// Sets up `pos` for the position the game has reached, ready for a legality test.
void load_current_game(Position& pos) {
  load_board(pos, GameBoard.board);
  const GameRecordEntry& entry = current_game_entry();
  setup_root_ply(pos, GameState{entry.side, entry.flags});
}

// A FEN position in which the side not to move stands in check cannot arise in a game (its
// king could be taken); the engine refuses it like a malformed FEN.
bool can_arise(const uint8_t* board, const GameState& state, Position& scratch) {
  load_board(scratch, board);
  setup_root_ply(scratch, state);
  return !opponent_in_check(scratch);
}

// The number of words left on the line: an upper bound on the moves that follow.
int count_words(const char* text) {
  int words = 0;
  for (bool inWord = false; text && *text; ++text) {
    const bool space = *text == ' ';
    if (!space && !inWord) ++words;
    inWord = !space;
  }
  return words;
}

}  // namespace

void position_command(Tokenizer& tokens) {
  // The search works on the threads' Positions and the game record: a GUI that follows the
  // protocol never sends "position" while it thinks, and one that does is ignored.
  if (Control.SearchState != Idle) return;
  char* token = tokens.take();
  if (!token) return;
  // Anything but a FEN or the start position leaves the game as it was.
  const bool fromFen = std::strcmp(token, "fen") == 0;
  if (!fromFen && std::strcmp(token, "startpos") != 0) return;

  uint8_t board[SquareCount];
  GameState state;
  bool movesFollow = false;
  if (fromFen) {
    // The FEN fields are separate tokens: join them, each followed by one space. A FEN takes
    // under a hundred characters; a longer text is refused.
    char fen[FenTextCapacity];
    size_t used = 0;
    bool overflow = false;
    while ((token = tokens.take()) != nullptr) {
      if (std::strcmp(token, "moves") == 0) {
        movesFollow = true;
        break;
      }
      const size_t length = std::strlen(token);
      if (used + length + 2 > sizeof fen) {
        overflow = true;
        continue;
      }
      std::memcpy(fen + used, token, length);
      used += length;
      fen[used++] = ' ';
    }
    fen[used] = '\0';
    const bool accepted = !overflow && parse_fen(fen, board, state) &&
                          can_arise(board, state, main_position());
    if (!accepted) {
      load_game_into_threads();  // the legality test used the main thread's Position
      return;
    }
  } else {
    set_start_position(board, state);
    token = tokens.take();
    movesFollow = token && std::strcmp(token, "moves") == 0;
  }

  // Room for every move first, so that a game the record cannot hold is refused whole and
  // the previous one stays.
  if (movesFollow && !reserve_game_record(count_words(tokens.rest()))) {
    send_info_string("position refused: no memory for a game of %d moves",
                     count_words(tokens.rest()));
    load_game_into_threads();
    return;
  }

  std::memcpy(GameBoard.board, board, sizeof board);
  GameBoard.start = state;
  reset_game_record();

  if (movesFollow) {
    // Each move is read against the game board and played only when it is legal there.
    Position& scratch = main_position();
    load_current_game(scratch);
    while ((token = tokens.take()) != nullptr) {
      const Move parsed = parse_move_text(token, GameBoard.board, current_game_entry().side);
      if (!parsed) continue;
      const Move legal = find_legal_move(scratch, parsed);
      if (!legal) continue;
      if (!apply_game_move(legal)) fail_out_of_memory();
      load_current_game(scratch);
    }
  }
  load_game_into_threads();
}
