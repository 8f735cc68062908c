// Table layouts besides one file of bytes: 16-bit entries, and a table split into 2 GB parts.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "generate.h"
#include "tables.h"
#include "tablebase/interface.h"
#include "tablebase/module.h"
#include "tablebase/values.h"

namespace {

std::vector<int32_t> all_entries(int c, int side) {
  std::vector<int32_t> out(tb::tb_class(c).size);
  for (uint64_t i = 0; i < out.size(); ++i) out[i] = tb::read_entry(c, side, i);
  return out;
}

uint64_t file_length(const std::string& name) {
  FILE* f = std::fopen(name.c_str(), "rb");
  if (!f) return 0;
  std::fseek(f, 0, SEEK_END);
  const long length = std::ftell(f);
  std::fclose(f);
  return uint64_t(length);
}

// Bytes while the longest distance fits the byte encoding (mate in 127 is its last), words
// past it or when forced; a split table cannot take words at all.
TEST(TablebaseLayout, EntryWidthFollowsTheLongestDistance) {
  EXPECT_EQ(tbgen::entry_width(0, false, false), 8);
  EXPECT_EQ(tbgen::entry_width(127, false, false), 8);
  EXPECT_EQ(tbgen::entry_width(128, false, false), 16);
  EXPECT_EQ(tbgen::entry_width(5, true, false), 16);
  EXPECT_EQ(tbgen::entry_width(127, false, true), 8);
  EXPECT_EQ(tbgen::entry_width(128, false, true), 0);
  EXPECT_EQ(tbgen::entry_width(5, true, true), 0);
  EXPECT_EQ(tbgen::entry_width(17, false, false, 16), 16);
  EXPECT_EQ(tbgen::entry_width(16, false, false, 16), 8);
}

// With the byte limit lowered to krk's longest mate (16 moves, White to move), the White-to-move
// side stays in bytes while Black's side, mated in up to 16 moves (result -17), takes words by
// itself. The module reads both as the reference tables, and another generator run reads the
// words back instead of building the class again.
TEST(TablebaseLayout, ALongDistanceSwitchesItsSideToSixteenBits) {
  const int c = tb::tb_class_by_name("krk");
  const uint64_t size = tb::tb_class(c).size;
  const std::string dir = tbtest::scratch_directory();
  {
    tbgen::Library library(dir);
    library.set_byte_limit(16);
    ASSERT_TRUE(library.ensure(c, false));
  }
  EXPECT_EQ(file_length(dir + "/krk.nbw"), size);
  ASSERT_EQ(file_length(dir + "/krk.nbb"), 2 * size);
  ASSERT_EQ(TBInitExtern(tbtest::generated_tables().c_str(), 1024), 4);
  const std::vector<int32_t> reference[2] = {all_entries(c, 0), all_entries(c, 1)};
  TBExit();
  ASSERT_EQ(TBInitExtern(dir.c_str(), 1024), 3);
  for (int s = 0; s < 2; ++s) EXPECT_EQ(all_entries(c, s), reference[s]) << "side " << s;
  TBExit();

  tbgen::Library again(dir);
  ASSERT_TRUE(again.ensure(c, false));
  EXPECT_EQ(file_length(dir + "/krk.nbb"), 2 * size);  // read, not rebuilt as bytes
  long checked = 0;
  uint64_t first = 0;
  EXPECT_EQ(again.verify(c, checked, first), 0) << "first at node " << first;
  EXPECT_GT(checked, 40000);
}

// The same krk tables written with 16-bit entries read back entry for entry as the 8-bit ones;
// a distance that needs more than 8 bits comes through whole.
TEST(TablebaseLayout, SixteenBitTablesReadLikeEightBitOnes) {
  const int c = tb::tb_class_by_name("krk");
  const std::string dir = tbtest::scratch_directory();
  tbgen::Library wide(dir);
  wide.write_wide(true);
  ASSERT_TRUE(wide.ensure(c, false));
  const std::string white = dir + "/krk.nbw";
  EXPECT_EQ(file_length(white), 2 * tb::tb_class(c).size);
  ASSERT_EQ(TBInitExtern(tbtest::generated_tables().c_str(), 1024), 4);
  const std::vector<int32_t> bytes[2] = {all_entries(c, 0), all_entries(c, 1)};
  TBExit();
  ASSERT_EQ(TBInitExtern(dir.c_str(), 1024), 3);
  for (int s = 0; s < 2; ++s) {
    const std::vector<int32_t> words = all_entries(c, s);
    int decided = 0;
    for (uint64_t i = 0; i < words.size(); ++i) {
      ASSERT_EQ(words[i], bytes[s][i]) << "side " << s << " index " << i;
      decided += words[i] != 0;
    }
    EXPECT_GT(decided, 1000) << s;
  }
  int result;
  ASSERT_TRUE(tbtest::probe("Kc6 Rb7 ka8", 0, 0, result));  // Rb8 is not yet mate: Kc6 first
  const int before = result;
  TBExit();

  // Mate in 300 and the two extreme values at the index of that position.
  const long long index = tbtest::probe_index("Kc6 Rb7 ka8", 0);
  ASSERT_GE(index, 0);
  for (const int stored : {32767 - 300, -32767, -32768}) {
    const int fd = open(white.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    const uint8_t word[2] = {uint8_t(stored & 0xff), uint8_t((stored >> 8) & 0xff)};
    ASSERT_EQ(pwrite(fd, word, 2, 2 * index), 2);
    close(fd);
    ASSERT_EQ(TBInitExtern(dir.c_str(), 1024), 3);
    ASSERT_TRUE(tbtest::probe("Kc6 Rb7 ka8", 0, 0, result));
    EXPECT_EQ(result, tb::result_from_stored(stored)) << stored;
    TBExit();
  }
  EXPECT_GT(before, 0);
}

// knnknn has 7.75 billion entries: four parts of 2 GB, the last one shorter. Sparse files hold
// a few written blocks around the part boundaries; every read answers what the unsplit table
// would hold at that index.
TEST(TablebaseLayout, SplitTablesReadAcrossTheirParts) {
  const int c = tb::tb_class_by_name("knnknn");
  const tb::TbClass& cls = tb::tb_class(c);
  ASSERT_EQ(tb::part_count(cls), 4);
  const std::string dir = tbtest::scratch_directory();
  const uint64_t part = uint64_t(1) << 31;
  auto byte_at = [](uint64_t index) { return int8_t(1 + (index * 2654435761u >> 7) % 120); };
  // Indices of the whole table whose blocks are written: each part's first and last block.
  std::vector<uint64_t> written;
  for (int p = 0; p < 4; ++p) {
    const uint64_t start = p * part, end = p < 3 ? start + part : cls.size;
    for (uint64_t i = start; i < start + 8192; ++i) written.push_back(i);
    for (uint64_t i = end - 8192; i < end; ++i) written.push_back(i);
  }
  for (int p = 0; p < 4; ++p) {
    char name[64];
    tb::part_file_name(name, sizeof name, dir.c_str(), cls, p, 0);
    const int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << name;
    const uint64_t start = p * part, length = p < 3 ? part : cls.size - 3 * part;
    ASSERT_EQ(ftruncate(fd, off_t(length)), 0);
    for (uint64_t i : written)
      if (i >= start && i < start + length) {
        const int8_t b = byte_at(i);
        ASSERT_EQ(pwrite(fd, &b, 1, off_t(i - start)), 1);
      }
    close(fd);
  }
  ASSERT_EQ(TBInitExtern(dir.c_str(), 1024), 6);
  unsigned char present[147] = {};
  TBHasEndgames(present, 147);
  EXPECT_EQ(present[c], 1);
  for (size_t k = 0; k < written.size(); k += 61) {
    const uint64_t i = written[k];
    ASSERT_EQ(tb::read_entry(c, 0, i), tb::stored_from_byte(byte_at(i))) << i;
  }
  EXPECT_EQ(tb::read_entry(c, 0, cls.size - 1), tb::stored_from_byte(byte_at(cls.size - 1)));
  EXPECT_EQ(tb::read_entry(c, 0, 3 * part + 123456789), 0);  // a hole in the sparse file
  EXPECT_EQ(tb::read_entry(c, 0, cls.size), tb::NotAvailable);
  TBExit();

  // Without its last part the table is catalogued only as far as the parts go: reads in the
  // missing part answer "not available".
  char last[64];
  tb::part_file_name(last, sizeof last, dir.c_str(), cls, 3, 0);
  ASSERT_EQ(truncate(last, 1000), 0);
  ASSERT_EQ(TBInitExtern(dir.c_str(), 1024), 6);
  EXPECT_EQ(tb::read_entry(c, 0, 0), tb::stored_from_byte(byte_at(0)));
  EXPECT_EQ(tb::read_entry(c, 0, cls.size - 1), tb::NotAvailable);
  TBExit();
  for (int p = 0; p < 4; ++p) {
    char name[64];
    tb::part_file_name(name, sizeof name, dir.c_str(), cls, p, 0);
    unlink(name);
  }
}

}  // namespace
