// FEN and move texts: the first line of the input is read as a FEN, the rest as move texts
// played one after another. An accepted FEN must give a consistent position; every legal
// move must make and unmake back to the same board, and its text must read back as itself.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <string>

#include "board/consistency.h"
#include "board/legality.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "board/setup.h"
#include "board/tables.h"
#include "fuzz_support.h"

namespace {

// The legal move at `ply` with the from, to and promotion of `m`; 0 when there is none.
Move legal_at(Position& pos, PlyState& ply, Move m) {
  reset_ply_lists(ply);
  ply.hashMove = NoMove;
  generate_moves(pos, ply, GenAll, 1);
  Move found = NoMove;
  for (MoveEntry* list : {ply.captureBegin, ply.quietBegin})
    for (MoveEntry* e = list; e->score != SentinelScore && !found; ++e) {
      if ((e->move & 0x3FFFF) != (m & 0x3FFFF)) continue;
      ply.move = e->move;
      if (PlyState* next = make_move(pos, ply)) {
        unmake_move(pos, *next);
        found = e->move;
      }
    }
  reset_ply_lists(ply);
  return found;
}

// Every legal move at `ply`: made, checked, unmade, the board as before; its text read back.
void check_moves(Position& pos, PlyState& ply) {
  uint8_t before[sizeof pos.board];
  std::memcpy(before, pos.board, sizeof before);
  reset_ply_lists(ply);
  ply.hashMove = NoMove;
  generate_moves(pos, ply, GenAll, 1);
  Move legal[256];
  int count = 0;
  for (MoveEntry* list : {ply.captureBegin, ply.quietBegin})
    for (MoveEntry* e = list; e->score != SentinelScore && count < 256; ++e) {
      ply.move = e->move;
      PlyState* next = make_move(pos, ply);
      if (!next) continue;
      require(position_is_consistent(pos, *next), "a consistent position after a move");
      unmake_move(pos, *next);
      require(std::memcmp(before, pos.board, sizeof before) == 0, "the board after unmake");
      legal[count++] = e->move;
    }
  reset_ply_lists(ply);
  for (int i = 0; i < count; ++i) {
    char text[6];
    move_text(legal[i], text);
    const Move back = parse_move_text(text, pos.board, ply.side);
    require(back != NoMove && legal_at(pos, ply, back) == legal[i], "a move text read back");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool tables = (build_startup_tables(), true);
  (void)tables;
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t feed = input.find('\n');
  const std::string fen = input.substr(0, feed);
  Position& pos = scratch_position();
  // The protocol also refuses a position whose side not to move stands in check.
  if (!set_position_from_fen(pos, fen.c_str()) || opponent_in_check(pos)) return 0;
  PlyState* ply = &pos.plies[0];
  require(position_is_consistent(pos, *ply), "a consistent position from the FEN");
  check_moves(pos, *ply);
  if (feed == std::string::npos) return 0;
  // The move texts, each played when it is legal.
  std::string rest = input.substr(feed + 1);
  for (char& c : rest)
    if (c == '\n' || c == '\t') c = ' ';
  size_t at = 0;
  while (at < rest.size() && ply->ply < MaxPly - 2) {
    const size_t end = std::min(rest.find(' ', at), rest.size());
    const std::string token = rest.substr(at, end - at);
    at = end + 1;
    const Move parsed = parse_move_text(token.c_str(), pos.board, ply->side);
    const Move legal = parsed ? legal_at(pos, *ply, parsed) : NoMove;
    if (!legal) continue;
    ply->move = legal;
    PlyState* next = make_move(pos, *ply);
    require(next != nullptr, "a legal move that make_move refuses");
    ply = next;
    require(position_is_consistent(pos, *ply), "a consistent position after a text move");
    check_moves(pos, *ply);
  }
  return 0;
}
