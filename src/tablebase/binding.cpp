#include "tablebase/binding.h"

#include <cstdio>
#include <memory>

#include "board/makemove.h"
#include "board/position.h"
#include "board/setup.h"
#include "board/tables.h"
#include "core/options.h"
#include "core/output.h"
#include "tablebase/interface.h"
#include "tablebase/module.h"
#include "tablebase/values.h"

int32_t TablebaseMen = 0;

namespace {
bool ModuleStarted = false;

int tb_type(int code) {
  switch (code & 7) {
    case 2: return 1;  // pawn
    case 3: return 2;  // knight
    case 5: return 3;  // bishop
    case 6: return 4;  // rook
    case 7: return 5;  // queen
    default: return 0;
  }
}

// The probe arguments of Part of the interface: counts and square lists (squares 0..63).
bool probe_result(const Position& pos, const PlyState& ply, int& result) {
  int counters[10] = {};
  int lists[2][24] = {};
  for (int colour = 0; colour < 2; ++colour) {
    const uint8_t* list = colour_list(pos, colour);
    lists[colour][0] = list[0] - 1;
    int filled[6] = {};
    for (int i = 1; list[i] != 0; ++i) {
      if (list[i] == CapturedMark) continue;
      const int type = tb_type(pos.board[list[i]]);
      if (type == 0) continue;
      if (filled[type] >= 4) return false;
      ++counters[colour * 5 + type - 1];
      lists[colour][4 * type + filled[type]++] = list[i] - 1;
    }
  }
  const int epSquare = int(ply.flags & EpSquareMask);
  return TBProbeList(counters, lists[0], lists[1], ply.side, epSquare ? epSquare - 1 : 0,
                     &result) != 0;
}
}  // namespace

int32_t tablebase_probe(const Position& pos, const PlyState& ply) {
  int result;
  if (!probe_result(pos, ply, result)) return tb::NoTablebaseScore;
  return tb::score_from_result(result);
}

void tablebase_apply_settings() {
  if (!Options.TablebasesDirty) return;
  Options.TablebasesDirty = false;
  if (ModuleStarted) {
    TBExit();
    ModuleStarted = false;
    TablebaseMen = 0;
  }
  if (Options.NalimovPathValue[0]) {
    TablebaseMen = TBInitExtern(Options.NalimovPathValue, Options.NalimovCacheMB * 1024);
    ModuleStarted = true;
    // A mistyped path otherwise goes unnoticed until the engine misplays an endgame.
    const int files = tb::catalogued_file_count();
    if (files > 0 && TablebaseMen == 0)
      send_info_string("%d tablebase files found, not used: no memory for their cache", files);
    else if (files > 0)
      send_info_string("%d tablebase files found, up to %d men", files, int(TablebaseMen));
    else
      send_info_string("0 tablebase files found");
  }
}

void tablebase_shutdown() {
  if (ModuleStarted) TBExit();
  ModuleStarted = false;
  TablebaseMen = 0;
}

int tbprobe_command(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: engine tbprobe PATH FEN\n");
    return 2;
  }
  build_startup_tables();
  auto pos = std::make_unique<Position>();
  init_position(*pos, 0);
  if (!set_position_from_fen(*pos, argv[2])) {
    std::fprintf(stderr, "invalid FEN\n");
    return 2;
  }
  TBInitExtern(argv[1], 1024);
  int result = 0;
  // A position with the side not to move in check is not a position of any table.
  const int side = pos->plies[0].side;
  const bool found = !side_in_check(*pos, side ^ 1) && probe_result(*pos, pos->plies[0], result);
  TBExit();
  if (!found) std::printf("none\n");
  else if (result == 0) std::printf("draw\n");
  else if (result > 0) std::printf("win %d\n", result);
  else std::printf("loss %d\n", -result - 1);
  return 0;
}
