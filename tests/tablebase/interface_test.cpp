// The exported functions: initialisation and reference counts, the path list, partial and
// damaged table sets, the probe's en-passant rule, and the block cache.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "tables.h"
#include "tablebase/interface.h"
#include "tablebase/module.h"
#include "tablebase/probe.h"
#include "tablebase/values.h"

namespace {

using tbtest::generated_tables;
using tbtest::probe;

TEST(TablebaseInterface, InitialisationIsCountedAndTheLastExitShutsDown) {
  EXPECT_EQ(TBMaxPiece(), 0);
  EXPECT_EQ(TBInitExtern(generated_tables().c_str(), 1024), 4);
  EXPECT_EQ(TBMaxPiece(), 4);
  // A second initialisation keeps the first path.
  EXPECT_EQ(TBInitExtern("/nonexistent", 1024), 4);
  EXPECT_EQ(TBExit(), 1);
  EXPECT_EQ(TBMaxPiece(), 4);
  EXPECT_EQ(TBExit(), 1);
  EXPECT_EQ(TBMaxPiece(), 0);
  int result;
  EXPECT_FALSE(probe("Ka1 Qh1 kc3", 0, 0, result));
  // A path without tables.
  EXPECT_EQ(TBInitExtern("/nonexistent", 1024), 0);
  EXPECT_FALSE(probe("Ka1 Qh1 kc3", 0, 0, result));
  TBExit();
}

TEST(TablebaseInterface, PathListsSplitAtCommasAndSemicolons) {
  const std::string a = tbtest::scratch_directory(), b = tbtest::scratch_directory();
  ASSERT_TRUE(tbtest::copy_file(generated_tables() + "/krk.nbw", a + "/krk.nbw"));
  ASSERT_TRUE(tbtest::copy_file(generated_tables() + "/krk.nbb", a + "/krk.nbb"));
  ASSERT_TRUE(tbtest::copy_file(generated_tables() + "/kqk.nbw", b + "/kqk.nbw"));
  const std::string list = "/nonexistent;" + a + "," + b;
  EXPECT_EQ(TBInitExtern(list.c_str(), 1), 3);
  int result = 99;
  ASSERT_TRUE(probe("Ka1 Qh1 kc3", 0, 0, result));
  EXPECT_GT(result, 0);
  // kqk has only its White-to-move file: Black to move has no value, and the class is not
  // counted as present.
  EXPECT_FALSE(probe("Ka1 Qh1 kc3", 1, 0, result));
  ASSERT_TRUE(probe("Ka1 Rh1 kd5", 1, 0, result));
  EXPECT_LT(result, 0);
  unsigned char present[8] = {9, 9, 9, 9, 9, 9, 9, 9};
  EXPECT_EQ(TBHasEndgames(present, 0), 0);
  EXPECT_EQ(present[0], 9);
  EXPECT_EQ(TBHasEndgames(present, 7), 7);
  EXPECT_EQ(present[4], 1);  // krk
  EXPECT_EQ(present[5], 0);  // kqk, one side only
  EXPECT_EQ(present[1], 0);
  EXPECT_EQ(present[7], 9);
  TBExit();
}

TEST(TablebaseInterface, FilesOfTheWrongSizeAreNotCatalogued) {
  const std::string dir = tbtest::scratch_directory();
  ASSERT_TRUE(
      tbtest::write_file(dir + "/kqk.nbw", 462 * 64 - 1, [](unsigned long long) { return 1; }));
  ASSERT_TRUE(tbtest::write_file(dir + "/kqk.nbb", 0, [](unsigned long long) { return 1; }));
  EXPECT_EQ(TBInitExtern(dir.c_str(), 1), 0);
  int result;
  EXPECT_FALSE(probe("Ka1 Qh1 kc3", 0, 0, result));
  TBExit();
}

TEST(TablebaseInterface, EnPassantCountsOnlyWithACapturingPawn) {
  const int white[24] = {4, 0, 0, 0, 35}, black[24] = {60, 0, 0, 0, 36};
  EXPECT_EQ(tb::probe_en_passant(white, black, 0, 44), 44);   // d5 takes e6
  EXPECT_EQ(tb::probe_en_passant(white, black, 0, 46), tb::NoEnPassant);  // no pawn on f5 or h5
  EXPECT_EQ(tb::probe_en_passant(white, black, 0, 0), tb::NoEnPassant);
  const int white2[24] = {4, 0, 0, 0, 28}, black2[24] = {60, 0, 0, 0, 29};
  EXPECT_EQ(tb::probe_en_passant(white2, black2, 1, 20), 20);  // f4 takes e3
  EXPECT_EQ(tb::probe_en_passant(white2, black2, 1, 21), tb::NoEnPassant);
}

int first_pattern(unsigned long long i) { return 1 + int((i / 8192) % 50); }
int second_pattern(unsigned long long i) { return 60 + int((i / 8192) % 50); }

// A 1 MB cache holds 126 blocks; a new block replaces the least recently used one. Cached
// blocks keep their contents when the file changes on disk; replaced ones are read again.
TEST(TablebaseCache, OneMegabyteHoldsBlocksAndEvictsTheLeastRecentlyUsed) {
  const std::string dir = tbtest::scratch_directory();
  const int c = tb::tb_class_by_name("kqkr");
  const unsigned long long bytes = tb::tb_class(c).size;
  ASSERT_TRUE(tbtest::write_file(dir + "/kqkr.nbw", bytes, first_pattern));
  ASSERT_EQ(TBInitExtern(dir.c_str(), 1024), 4);
  EXPECT_EQ(tb::cache_entry_count(), 126);
  auto block_value = [&](uint32_t block) {
    return tb::read_entry(c, 0, uint64_t(block) * 8192 + 17);
  };
  for (uint32_t b = 0; b < 126; ++b)
    ASSERT_EQ(block_value(b), tb::stored_from_byte(int8_t(first_pattern(b * 8192)))) << b;
  block_value(0);    // block 0 becomes the most recent; block 1 is now the oldest
  block_value(126);  // replaces block 1
  ASSERT_TRUE(tbtest::write_file(dir + "/kqkr.nbw", bytes, second_pattern));
  TBNewGame();       // reopen files on the next read
  EXPECT_EQ(block_value(0), tb::stored_from_byte(int8_t(first_pattern(0))));
  EXPECT_EQ(block_value(2), tb::stored_from_byte(int8_t(first_pattern(2 * 8192))));
  EXPECT_EQ(block_value(1), tb::stored_from_byte(int8_t(second_pattern(8192))));
  TBExit();
}

TEST(TablebaseCache, SizesThatOverflowOrFallBelowOneMegabyteGiveOneMegabyte) {
  for (int kilobytes : {2147483647, 4194304, -5, 0, 1023}) {
    EXPECT_EQ(TBInitExtern(generated_tables().c_str(), kilobytes), 4) << kilobytes;
    EXPECT_EQ(tb::cache_entry_count(), 126) << kilobytes;
    TBExit();
  }
  EXPECT_EQ(TBInitExtern(generated_tables().c_str(), 1025), 4);
  EXPECT_EQ(tb::cache_entry_count(), 1025 * 1024 / 8260);
  TBExit();
}

TEST(TablebaseCache, AFileThatVanishesStopsAnswering) {
  const std::string dir = tbtest::scratch_directory();
  ASSERT_TRUE(tbtest::copy_file(generated_tables() + "/kqk.nbw", dir + "/kqk.nbw"));
  ASSERT_TRUE(tbtest::copy_file(generated_tables() + "/kqk.nbb", dir + "/kqk.nbb"));
  ASSERT_EQ(TBInitExtern(dir.c_str(), 1), 3);
  std::remove((dir + "/kqk.nbw").c_str());
  int result = 5;
  // The read fails: the probe answers with no distance and the table side is dropped.
  EXPECT_TRUE(probe("Ka1 Qh1 kc3", 0, 0, result));
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(probe("Ka1 Qh1 kc3", 0, 0, result));
  EXPECT_TRUE(probe("Ka1 Qh1 kc3", 1, 0, result));
  TBExit();

  // A file cut short after cataloguing fails the same way instead of reading as draws.
  ASSERT_TRUE(tbtest::copy_file(generated_tables() + "/kqk.nbw", dir + "/kqk.nbw"));
  ASSERT_EQ(TBInitExtern(dir.c_str(), 1), 3);
  ASSERT_EQ(truncate((dir + "/kqk.nbw").c_str(), 100), 0);
  EXPECT_TRUE(probe("Ka1 Qh1 kc3", 0, 0, result));
  EXPECT_FALSE(probe("Ka1 Qh1 kc3", 0, 0, result));
  TBExit();
}

TEST(TablebaseInterface, SettingsFileGivesPathAndCache) {
  const std::string dir = tbtest::scratch_directory();
  FILE* ini = std::fopen((dir + "/Kestrel.ini").c_str(), "w");
  ASSERT_TRUE(ini);
  std::fprintf(ini, "[Other]\nPath=/nonexistent\n[Tablebase]\nPath=%s\nCacheSizeKB=2048\n",
               generated_tables().c_str());
  std::fclose(ini);
  char previous[4096];
  ASSERT_TRUE(getcwd(previous, sizeof previous));
  ASSERT_EQ(chdir(dir.c_str()), 0);
  EXPECT_EQ(TBInit(), 1);
  EXPECT_EQ(TBInit(), 2);
  ASSERT_EQ(chdir(previous), 0);
  EXPECT_EQ(TBMaxPiece(), 4);
  EXPECT_EQ(tb::cache_entry_count(), 2048 * 1024 / 8260);
  EXPECT_EQ(TBExit(), 1);
  EXPECT_EQ(TBExit(), 1);
  EXPECT_EQ(TBGetDecompressTableSize(), 0);
}

TEST(TablebaseInterface, SplitTablesNameTheirParts) {
  const tb::TbClass& cls = tb::tb_class(tb::tb_class_by_name("knnknn"));
  ASSERT_TRUE(cls.flags & tb::SplitFiles);
  EXPECT_EQ(tb::part_count(cls), int(cls.size >> 31) + 1);
  char name[64];
  tb::part_file_name(name, sizeof name, "dir", cls, 0, 1);
  EXPECT_STREQ(name, "dir/knnknn.0.nbb");
  tb::part_file_name(name, sizeof name, "dir/", cls, 11, 0);
  EXPECT_STREQ(name, "dir/knnknn.b.nbw");
  tb::part_file_name(name, sizeof name, "dir", tb::tb_class(4), 0, 0);
  EXPECT_STREQ(name, "dir/krk.nbw");
}

TEST(TablebaseInterface, CompressedHeaderChecks) {
  uint8_t header[100] = {};
  header[67] = 100;  // length
  header[70] = 13;   // 8 KB blocks
  header[71] = 24;
  header[76] = 0; header[77] = 64; header[78] = 1; header[79] = 245;
  const uint32_t sum = tb::header_checksum(header, 96);
  header[96] = uint8_t(sum >> 24); header[97] = uint8_t(sum >> 16);
  header[98] = uint8_t(sum >> 8); header[99] = uint8_t(sum);
  EXPECT_TRUE(tb::compressed_header_valid(header, 100));
  header[71] = 23;
  EXPECT_FALSE(tb::compressed_header_valid(header, 100));
  header[71] = 24;
  header[5] ^= 1;  // checksum no longer matches
  EXPECT_FALSE(tb::compressed_header_valid(header, 100));
  // The table XORs its polynomial after shifting out a 0 bit, and no final inversion.
  EXPECT_EQ(tb::header_checksum(reinterpret_cast<const uint8_t*>("abc"), 3), 0xCADBBEC2u);
}

}  // namespace
