// The learning file: settings signature, trimming, what is taken for a learning file, and
// merging records into the table.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "board/game.h"
#include "board/makemove.h"
#include "board/notation.h"
#include "board/setup.h"
#include "core/options.h"
#include "learn/learning.h"
#include "search/transposition.h"
#include "support/positions.h"

namespace {

// A record of the form the engine writes (bare kings on e1 and e8, one learning-only result at
// depth 1), told apart by `tag` in its lock word.
std::vector<uint8_t> well_formed_record(uint32_t tag) {
  std::vector<uint8_t> r(LearningRecordSize, 0);
  for (int b = 0; b < 4; ++b) r[b] = uint8_t(tag >> (8 * b));
  r[14] = 1;
  r[25] = 2;
  r[32 + 4] = WhiteKing;
  r[32 + 60] = BlackKing;
  return r;
}

std::vector<uint8_t> file_bytes() {
  std::vector<uint8_t> bytes;
  FILE* f = std::fopen(LearningFileName, "rb");
  if (!f) return bytes;
  for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(uint8_t(c));
  std::fclose(f);
  return bytes;
}

void write_file_bytes(const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(LearningFileName, "wb");
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);  // data() may be null
  std::fclose(f);
}

// Every test works in a directory of its own, where "tarrow.pl2" lives.
class LearningTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tarrow-learn-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    ASSERT_NE(getcwd(oldDir_, sizeof oldDir_), nullptr);
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    ensure_tables();
    reset_options();
    ASSERT_TRUE(create_game_storage());
    ASSERT_TRUE(allocate_transposition_table(1024));
    clear_permanent_entries();
    recheck_learning_file();
    pos_ = new_position();
  }
  void TearDown() override {
    std::remove(LearningFileName);
    ASSERT_EQ(chdir(oldDir_), 0);
    rmdir(dir_.c_str());
    free_transposition_table();
    free_game_storage();
    reset_options();
  }
  // Sets the game and the root Position to `fen`.
  void set_game(const char* fen) {
    ASSERT_EQ(parse_fen(fen, GameBoard.board, GameBoard.start), 1);
    reset_game_record();
    setup_root_from_game(*pos_);
  }
  Move move(const char* text) { return parse_move_text(text, pos_->board, pos_->plies[0].side); }
  long records() {
    FILE* f = std::fopen(LearningFileName, "rb");
    if (!f) return -1;
    std::fseek(f, 0, SEEK_END);
    const long n = std::ftell(f) / LearningRecordSize;
    std::fclose(f);
    return n;
  }
  std::string dir_;
  char oldDir_[4096];
  std::unique_ptr<Position> pos_;
};

TEST_F(LearningTest, SignatureFollowsThePlayingSettingsOnly) {
  const uint32_t base = learning_signature();
  EXPECT_EQ(base, learning_signature());
  auto changed = [&](auto change) {
    reset_options();
    change();
    const bool differs = learning_signature() != base;
    reset_options();
    return differs;
  };
  EXPECT_TRUE(changed([] { Options.EvalWeights[WeightPawn] = 150; }));
  EXPECT_TRUE(changed([] { Options.StyleFlags[0] = 0; }));  // another "Style"
  EXPECT_TRUE(changed([] { Options.DrawScore = 20; }));
  EXPECT_TRUE(changed([] { Options.CombinationFlags[1] = 0; }));
  // Every playing setting counts, also by one step or one flag.
  int32_t* inputs[] = {&Options.UseTablebases, &Options.TablebaseDepthBias,
                       &Options.TablebaseHitPercent, &Options.KeepHashMain, &Options.KeepHashSecond,
                       &Options.DrawScore, &Options.Selectivity, &Options.ForwardPruning,
                       &Options.PreferOpen, &Options.Test1, &Options.Test2, &Options.Test3};
  for (int32_t* input : inputs)
    for (int32_t step : {1, -1})
      EXPECT_TRUE(changed([&] { *input += step; })) << "input " << (input - inputs[0]) << " step " << step;
  for (int32_t& w : Options.EvalWeights) EXPECT_TRUE(changed([&] { w = 101; }));
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(changed([&] { Options.StyleFlags[i] = 0; })) << i;
  for (int i = 0; i < 2; ++i) EXPECT_TRUE(changed([&] { Options.CombinationFlags[i] = 0; })) << i;
  EXPECT_FALSE(changed([] { Options.HashTableKB = 52429; }));
  EXPECT_FALSE(changed([] { Options.MultiPVCount = 3; }));
  EXPECT_FALSE(changed([] { Options.PositionLearning = 0; }));
}

TEST_F(LearningTest, TrimKeepsTheNewestRecordsOnlyBeyondTheThreshold) {
  auto write_file = [](long n) {
    FILE* f = std::fopen(LearningFileName, "wb");
    for (long i = 0; i < n; ++i)
      std::fwrite(well_formed_record(uint32_t(i)).data(), 1, LearningRecordSize, f);
    std::fclose(f);
  };
  write_file(LearningTrimThreshold);
  trim_learning_file();
  EXPECT_EQ(records(), LearningTrimThreshold);
  write_file(LearningTrimThreshold + 1);
  trim_learning_file();
  EXPECT_EQ(records(), LearningTrimKeep);
  FILE* f = std::fopen(LearningFileName, "rb");
  uint8_t first[4];
  ASSERT_EQ(std::fread(first, 1, 4, f), 4u);
  std::fclose(f);
  const long firstIndex = first[0] | first[1] << 8 | first[2] << 16 | first[3] << 24;
  EXPECT_EQ(firstIndex, LearningTrimThreshold + 1 - LearningTrimKeep);
}

TEST_F(LearningTest, RecordsMergeIntoTheTableWhenTheyFitTheGame) {
  const char* fen = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3";
  set_game(fen);
  set_learning_candidate(9, 37, LearningPvLine, move("f1b5"));
  append_learning_record(pos_->plies[0], parse_move_text("a7a6", GameBoard.board, Black));
  ASSERT_EQ(records(), 1);

  clear_transposition_table();
  EXPECT_TRUE(merge_learned_positions(*pos_, pos_->plies[0]));
  TTEntry e;
  ASSERT_TRUE(probe_table(pos_->plies[0], e));
  EXPECT_EQ(e.best_move(), move("f1b5"));
  EXPECT_EQ(e.score(), 37);
  EXPECT_EQ(e.depth(), 9);
  EXPECT_TRUE(e.lower());
  // The expected reply is stored for the position after the best move, from the other side.
  PlyState& root = pos_->plies[0];
  root.move = move("f1b5");
  PlyState* next = make_move(*pos_, root);
  ASSERT_NE(next, nullptr);
  ASSERT_TRUE(probe_table(*next, e));
  EXPECT_EQ(e.score(), -37);
  EXPECT_EQ(e.depth(), 8);
  EXPECT_TRUE(e.upper());
  unmake_move(*pos_, *next);

  // Another "Pawn" value: the record no longer fits.
  clear_transposition_table();
  Options.EvalWeights[WeightPawn] = 120;
  EXPECT_FALSE(merge_learned_positions(*pos_, pos_->plies[0]));
  EXPECT_FALSE(probe_table(pos_->plies[0], e));
  reset_options();

  // A permanent entry in the slot is never overwritten.
  clear_transposition_table();
  StoreRequest req{BoundExact, 5, 20, move("d2d4"), NoMove, false, false};
  const SlotRef slot = primary_slot(pos_->plies[0]);
  write_slot(slot, make_entry(pos_->plies[0].lockKey, req, 0, GenerationPermanent));
  merge_learned_positions(*pos_, pos_->plies[0]);
  ASSERT_TRUE(probe_table(pos_->plies[0], e));
  EXPECT_EQ(e.best_move(), move("d2d4"));
}

TEST_F(LearningTest, PieceCountAndBoardDistanceWindows) {
  // A record of a position with 12 men is merged into games of 12 to 22 men only.
  set_game("4k3/pppp4/8/8/8/8/PPPP4/4K3 w - - 0 1");  // 10 men
  set_game("4k3/ppppp3/8/8/8/8/PPPPP3/4K3 w - - 0 1");  // 12 men
  set_learning_candidate(5, 10, LearningOnly, move("a2a3"));
  append_learning_record(pos_->plies[0], NoMove);
  const uint32_t recordKey = pos_->plies[0].lockKey;
  auto merged_into = [&](const char* fen) {
    set_game(fen);
    clear_transposition_table();
    merge_learned_positions(*pos_, pos_->plies[0]);
    // Look the record's own position up: its entry is there when it was merged.
    for (uint32_t side = 0; side < 2; ++side)
      for (uint32_t i = 0; i < TransTable.entries; ++i) {
        const TTEntry e = read_slot(SlotRef{uint8_t(side * 2), i});
        if (!e.is_zero() && e.key() == recordKey) return true;
      }
    return false;
  };
  EXPECT_FALSE(merged_into("4k3/pppp4/8/8/8/8/PPPP4/4K3 w - - 0 1"));         // 10 men
  EXPECT_TRUE(merged_into("4k3/ppppp3/8/8/8/8/PPPPP3/4K3 w - - 0 1"));        // 12
  EXPECT_TRUE(merged_into("4k3/ppppp3/8/8/8/8/PPPPP3/1N2K1N1 w - - 0 1"));    // 14, close board
  EXPECT_FALSE(merged_into("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w - - 0 1"));  // 32 men
  // 22 men but far more than 28 squares differ.
  EXPECT_FALSE(merged_into("rnbqkbnr/8/pppppp2/8/8/PPPPP3/8/RNBQKBNR w - - 0 1"));
}

TEST_F(LearningTest, ClearingDeletesTheFileAndTheAnalysisMemory) {
  set_game("4k3/8/8/8/8/8/4P3/4K3 w - - 0 1");
  set_learning_candidate(3, 1, LearningOnly, move("e2e4"));
  append_learning_record(pos_->plies[0], NoMove);
  add_permanent_entry(primary_slot(pos_->plies[0]), read_slot(primary_slot(pos_->plies[0])));
  EXPECT_EQ(TransTable.permanentCount, 1);
  clear_learning_file();
  EXPECT_EQ(records(), -1);
  EXPECT_EQ(TransTable.permanentCount, 0);
  clear_learning_file();  // a missing file is no error
  EXPECT_EQ(records(), -1);
}

// Reads the whole file as records; a partial last record is reported through `whole`.
std::vector<std::vector<uint8_t>> read_records(bool& whole) {
  std::vector<std::vector<uint8_t>> out;
  FILE* f = std::fopen(LearningFileName, "rb");
  whole = true;
  if (!f) return out;
  std::vector<uint8_t> r(LearningRecordSize);
  for (size_t got; (got = std::fread(r.data(), 1, r.size(), f)) > 0;) {
    if (got != r.size()) whole = false;
    else out.push_back(r);
  }
  std::fclose(f);
  return out;
}

TEST_F(LearningTest, SpoiltFilesNeitherCrashNorFeedTheTable) {
  const char* fen = "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1";
  set_game(fen);
  auto table_is_empty = [] {
    for (uint8_t a = 0; a < 4; ++a)
      for (uint32_t i = 0; i < TransTable.entries; ++i)
        if (!read_slot(SlotRef{a, i}).is_zero()) return false;
    return true;
  };
  auto merge_into_empty_table = [&] {
    clear_transposition_table();
    merge_learned_positions(*pos_, pos_->plies[0]);
  };
  // Empty, random and truncated files.
  std::fclose(std::fopen(LearningFileName, "wb"));
  trim_learning_file();
  merge_into_empty_table();
  EXPECT_TRUE(table_is_empty());
  FILE* f = std::fopen(LearningFileName, "wb");
  uint32_t x = 12345;
  for (int i = 0; i < 96 * 500 + 37; ++i) std::fputc(int((x = x * 1103515245 + 12345) >> 24), f);
  std::fclose(f);
  trim_learning_file();
  merge_into_empty_table();
  EXPECT_TRUE(table_is_empty());

  // A record the engine wrote, then cut off mid-record: the next append starts aligned again,
  // so that its record is read whole and merged.
  std::remove(LearningFileName);
  set_learning_candidate(6, 25, LearningPvLine, move("e2e4"));
  append_learning_record(pos_->plies[0], NoMove);
  ASSERT_EQ(truncate(LearningFileName, 50), 0);
  merge_into_empty_table();
  EXPECT_TRUE(table_is_empty());
  append_learning_record(pos_->plies[0], NoMove);
  bool whole = false;
  EXPECT_EQ(read_records(whole).size(), 1u);
  EXPECT_TRUE(whole);
  merge_into_empty_table();
  TTEntry e;
  ASSERT_TRUE(probe_table(pos_->plies[0], e));
  EXPECT_EQ(e.score(), 25);

  // Records with the right signature but values the search never writes are skipped.
  const std::vector<uint8_t> good = read_records(whole)[0];
  struct Spoil {
    int offset;
    uint8_t value;
  };
  for (const Spoil spoil : {Spoil{13, 0x7f}, Spoil{13, 0x80}, Spoil{14, 0}, Spoil{14, 0xf0},
                            Spoil{15, 0x41}, Spoil{24, 2}, Spoil{25, 40}}) {
    std::vector<uint8_t> bad = good;
    bad[spoil.offset] = spoil.value;
    f = std::fopen(LearningFileName, "wb");
    std::fwrite(bad.data(), 1, bad.size(), f);
    std::fclose(f);
    merge_into_empty_table();
    EXPECT_TRUE(table_is_empty()) << "byte " << spoil.offset;
  }
}

// Whatever else lies under the learning file's name is not read, trimmed, cut or appended
// to: it may be another program's data.
TEST_F(LearningTest, FilesOfOtherProgramsAreSetAsideAndNeverChanged) {
  set_game("4k3/8/8/8/8/8/4P3/4K3 w - - 0 1");
  std::vector<uint8_t> random(96 * 30);
  uint32_t x = 99;
  for (uint8_t& b : random) b = uint8_t((x = x * 1103515245 + 12345) >> 24);
  const std::string text = "[Event \"Club championship\"]\n[Site \"?\"]\n1. e4 e5 2. Nf3 *\n";
  std::vector<uint8_t> goodThenGarbage = well_formed_record(1);
  goodThenGarbage.insert(goodThenGarbage.end(), text.begin(), text.end());
  std::vector<uint8_t> spoiltLast = well_formed_record(1);
  std::vector<uint8_t> noKing = well_formed_record(2);
  noKing[32 + 60] = Empty;
  noKing[25] = 1;
  spoiltLast.insert(spoiltLast.end(), noKing.begin(), noKing.end());
  std::vector<uint8_t> countWrong = well_formed_record(3);
  countWrong[25] = 3;
  std::vector<uint8_t> randomTorn(random.begin(), random.begin() + 96 * 3 + 50);
  const std::vector<uint8_t> fewBytes = well_formed_record(4);
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"zero records", std::vector<uint8_t>(96 * 4, 0)},
      {"random whole records", random},
      {"random bytes with a partial record", randomTorn},
      {"a text", std::vector<uint8_t>(text.begin(), text.end())},
      {"a few bytes of a record", std::vector<uint8_t>(fewBytes.begin(), fewBytes.begin() + 10)},
      {"a record, then text", goodThenGarbage},
      {"a record, then a board without a black king", spoiltLast},
      {"a piece count that does not match the board", countWrong},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    write_file_bytes(c.bytes);
    recheck_learning_file();
    trim_learning_file();
    EXPECT_FALSE(learning_file_usable());
    clear_transposition_table();
    EXPECT_FALSE(merge_learned_positions(*pos_, pos_->plies[0]));
    set_learning_candidate(6, 25, LearningPvLine, move("e2e4"));
    append_learning_record(pos_->plies[0], NoMove);
    EXPECT_EQ(file_bytes(), c.bytes);
  }
  // Once the file is gone, learning starts a file of its own.
  std::remove(LearningFileName);
  append_learning_record(pos_->plies[0], NoMove);
  EXPECT_EQ(records(), 1);
}

// A crash in the middle of an append leaves the start of a record at the end of the file:
// the file is still the engine's own, and only that torn record goes.
TEST_F(LearningTest, ATornLastRecordIsCutAndTheRecordsBeforeItKept) {
  std::vector<uint8_t> bytes;
  for (uint32_t i = 1; i <= 3; ++i) {
    const std::vector<uint8_t> r = well_formed_record(i);
    bytes.insert(bytes.end(), r.begin(), r.end());
  }
  const std::vector<uint8_t> whole = bytes;
  const std::vector<uint8_t> next = well_formed_record(4);
  bytes.insert(bytes.end(), next.begin(), next.begin() + 40);
  write_file_bytes(bytes);
  trim_learning_file();
  EXPECT_TRUE(learning_file_usable());
  EXPECT_EQ(file_bytes(), whole);

  // Even the first record may be the torn one, as long as its fixed bytes show.
  write_file_bytes(std::vector<uint8_t>(next.begin(), next.begin() + 20));
  trim_learning_file();
  EXPECT_TRUE(learning_file_usable());
  EXPECT_EQ(file_bytes(), std::vector<uint8_t>{});

  // An empty file is a learning file without records.
  write_file_bytes({});
  trim_learning_file();
  EXPECT_TRUE(learning_file_usable());
}

// Two engines append in one directory while a third trims the file: every record stays whole
// and none of the new ones is lost.
TEST_F(LearningTest, ProcessesAppendingAndTrimmingAtOnceKeepEveryRecordWhole) {
  set_game("4k3/8/8/8/8/8/4P3/4K3 w - - 0 1");
  {
    const std::vector<uint8_t> record = well_formed_record(0);
    FILE* f = std::fopen(LearningFileName, "wb");
    for (long i = 0; i < LearningTrimThreshold + 1000; ++i)
      ASSERT_EQ(std::fwrite(record.data(), 1, record.size(), f), record.size());
    std::fclose(f);
  }
  constexpr int PerWriter = 4000;
  std::vector<pid_t> children;
  for (int role = 0; role < 3; ++role) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      if (role == 2) {
        usleep(5000);  // into the appends
        trim_learning_file();
      } else {
        for (int i = 0; i < PerWriter; ++i) {
          set_learning_candidate(role + 1, i, LearningOnly, move("e2e4"));
          append_learning_record(pos_->plies[0], NoMove);
        }
      }
      _exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  bool whole = false;
  const auto all = read_records(whole);
  EXPECT_TRUE(whole);
  std::vector<int> seen[2] = {std::vector<int>(PerWriter), std::vector<int>(PerWriter)};
  const std::vector<uint8_t> old = well_formed_record(0);
  const uint32_t key = pos_->plies[0].lockKey;
  for (const auto& r : all) {
    if (r == old) continue;
    const uint32_t lock = r[0] | r[1] << 8 | r[2] << 16 | uint32_t(r[3]) << 24;
    const int writer = r[14] - 1, index = r[12] | r[13] << 8;
    ASSERT_EQ(lock, key) << "a torn record";
    ASSERT_TRUE(writer == 0 || writer == 1);
    ASSERT_LT(index, PerWriter);
    EXPECT_EQ(std::memcmp(r.data() + 32, GameBoard.board + 1, 64), 0) << "a torn record";
    seen[writer][index] += 1;
  }
  int lostOrDoubled = 0;
  for (int w = 0; w < 2; ++w)
    for (int i = 0; i < PerWriter; ++i) lostOrDoubled += seen[w][i] != 1;
  EXPECT_EQ(lostOrDoubled, 0);
  EXPECT_LE(long(all.size()), LearningTrimThreshold + 1000 + 2 * PerWriter);
}

}  // namespace
