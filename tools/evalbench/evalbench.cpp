// Evaluation micro-benchmark: evaluations per second over a fixed set of positions, in three
// modes: everything recomputed (no caches), pawn and material tables warm but the evaluation
// cache not read, and the evaluation cache warm.
//
//   build/evalbench [repetitions-per-position]     (default 2000)
//
// The positions come from fixed random games (seeded generator), so every run measures the same
// work; the checksum line shows that the scores are the same from run to run.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/setup.h"
#include "board/tables.h"
#include "core/options.h"
#include "eval/eval_cache.h"
#include "eval/evaluate.h"
#include "eval/material.h"
#include "eval/pawns.h"
#include "eval/preparation.h"
#include "eval/thread_tables.h"

namespace {

const char* const StartFens[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4",
    "r1b1k2r/ppp2ppp/2n5/3qp3/1b1P4/2N2N2/PPPB1PPP/R2QKB1R w KQkq - 0 8",
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/3P4/2NBPN2/PP3PPP/R1BQ1RK1 w - - 0 9",
    "2r3k1/5ppp/8/8/8/8/5PPP/2R3K1 b - - 0 1",
    "4k3/pp3ppp/8/3p4/3P4/8/PP3PPP/4K3 w - - 0 1",
    "6k1/5ppp/8/8/8/2q5/5PPP/3R2K1 w - - 0 1",
};

struct Sample {
  uint8_t board[SquareCount];
  GameState state;
};

bool play_random_move(Position& pos, PlyState*& ply, std::mt19937& rng) {
  reset_ply_lists(*ply);
  ply->hashMove = NoMove;
  generate_moves(pos, *ply, GenAll, 1);
  std::vector<Move> legal;
  for (MoveEntry* list : {ply->captureBegin, ply->quietBegin})
    for (MoveEntry* e = list; e->score != SentinelScore; ++e) {
      ply->move = e->move;
      if (PlyState* next = make_move(pos, *ply)) {
        unmake_move(pos, *next);
        legal.push_back(e->move);
      }
    }
  if (legal.empty()) return false;
  ply->move = legal[rng() % legal.size()];
  ply = make_move(pos, *ply);
  return ply != nullptr;
}

std::vector<Sample> collect_samples(Position& pos) {
  std::vector<Sample> samples;
  std::mt19937 rng(20261207);
  for (const char* fen : StartFens) {
    for (int game = 0; game < 3; ++game) {
      if (!set_position_from_fen(pos, fen)) continue;
      PlyState* ply = &pos.plies[0];
      for (int n = 0; n <= 60; ++n) {
        if (n % 10 == 0) {
          Sample s;
          std::copy(pos.board, pos.board + SquareCount, s.board);
          s.state.side = ply->side;
          s.state.flags = uint16_t(ply->flags & (CastleMask | EpSquareMask));
          samples.push_back(s);
        }
        if (ply->ply >= MaxPly - 2 || !play_random_move(pos, ply, rng)) break;
      }
    }
  }
  return samples;
}

void set_root(Position& pos, const Sample& s) {
  load_board(pos, s.board);
  setup_root_ply(pos, s.state);
  prepare_root_evaluation(pos, pos.plies[0]);
  root_score(pos, pos.plies[0]);
  reset_eval_bounds();
}

enum Mode { NoCaches, TablesOnly, AllCaches };

double run(Position& pos, const std::vector<Sample>& samples, int reps, Mode mode, int64_t& checksum) {
  using Clock = std::chrono::steady_clock;
  Clock::duration total{};
  for (const Sample& s : samples) {
    set_root(pos, s);
    PlyState& root = pos.plies[0];
    clear_eval_cache();
    clear_pawn_hash(pos);
    clear_material_table(pos);
    const int32_t fast = FastScore(root);
    // One full-window evaluation first: it learns the bounds and fills the caches.
    checksum += Evaluate(pos, root, -30000, 30000, 0);
    PawnEntry& pawnSlot = pos.pawnHash[root.pawnKey & (PawnHashSize - 1)];
    MaterialEntry& materialSlot =
        pos.materialTable[material_index(root.signature[White], root.signature[Black])];
    const auto start = Clock::now();
    for (int i = 0; i < reps; ++i) {
      bool isDraw;
      switch (mode) {
        case NoCaches:
          pawnSlot.key = root.pawnLock ^ 1;
          materialSlot.key ^= 1;
          checksum += FullEvaluation(pos, root, fast, -30000, 30000, isDraw, true, 0);
          break;
        case TablesOnly:
          checksum += FullEvaluation(pos, root, fast, -30000, 30000, isDraw, true, 0);
          break;
        case AllCaches:
          checksum += Evaluate(pos, root, fast - 50, fast + 50, 0);
          break;
      }
    }
    total += Clock::now() - start;
  }
  return std::chrono::duration<double>(total).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int reps = argc > 1 ? std::atoi(argv[1]) : 2000;
  if (reps <= 0) {
    std::fprintf(stderr, "usage: evalbench [repetitions-per-position]\n");
    return 1;
  }
  build_startup_tables();
  reset_options();
  auto pos = std::make_unique<Position>();
  init_position(*pos, 0);
  if (!allocate_thread_eval_tables(*pos) || !resize_eval_cache(Options.EvalCacheKB)) {
    std::fprintf(stderr, "not enough memory\n");
    return 1;
  }
  const std::vector<Sample> samples = collect_samples(*pos);
  const struct { Mode mode; const char* name; } modes[] = {
      {NoCaches, "no caches (pawn and material entries recomputed)"},
      {TablesOnly, "pawn and material tables, evaluation cache not read"},
      {AllCaches, "evaluation cache hits"},
  };
  std::printf("positions %zu, evaluations per mode %lld\n", samples.size(),
              static_cast<long long>(samples.size()) * reps);
  for (const auto& m : modes) {
    int64_t checksum = 0;
    const double seconds = run(*pos, samples, reps, m.mode, checksum);
    const double perSecond = double(samples.size()) * reps / seconds;
    std::printf("%-55s %12.0f evals/s  checksum %lld\n", m.name, perSecond,
                static_cast<long long>(checksum));
  }
  free_thread_eval_tables(*pos);
  free_eval_cache();
  return 0;
}
