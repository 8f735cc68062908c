// "NalimovPath" through the real program: blanks around the directories of the list, an empty
// value that clears the path, and the line that tells the user what the catalogue found.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "support/engine_process.h"
#include "tables.h"

namespace {

using Lines = std::vector<std::string>;

constexpr const char* MateInThree = "position fen 8/7Q/8/1k6/3K4/8/8/8 w - - 0 1";
const std::regex Summary("info string .*tablebase.*");

// What a directory listing shows of the generated set: its table files and the most men
// of any of them (a class name has one letter per man).
struct TableSet {
  int files = 0;
  int men = 0;
};
TableSet listed_tables(const std::string& directory) {
  TableSet set;
  DIR* dir = opendir(directory.c_str());
  if (!dir) return set;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    const size_t dot = name.find('.');
    if (dot == std::string::npos) continue;
    const std::string extension = name.substr(dot);
    if (extension != ".nbw" && extension != ".nbb") continue;
    ++set.files;
    set.men = std::max(set.men, int(dot));
  }
  closedir(dir);
  return set;
}

class NalimovPathOption : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(engine_.started());
    ASSERT_TRUE(engine_.ask("uci", "uciok", 8000));
  }
  void TearDown() override {
    engine_.send("quit");
    EXPECT_EQ(engine_.wait_exit(), 0);
  }
  // "isready" after the setoption; the lines that came before "readyok".
  Lines set_path(const std::string& setoption) {
    engine_.send(setoption);
    Lines lines;
    EXPECT_TRUE(engine_.ask("isready", "readyok", 10000, &lines));
    if (!lines.empty()) lines.pop_back();
    return lines;
  }
  // Whether a one-ply search of the mate in three sees the mate: only the tables know it.
  bool tables_in_use() {
    engine_.send(MateInThree);
    engine_.send("go depth 1");
    bool mate = false;
    std::string line;
    while (engine_.read_line(line, 10000) && line.rfind("bestmove", 0) != 0)
      mate = mate || line.find(" score mate 3 ") != std::string::npos;
    EXPECT_EQ(line.rfind("bestmove", 0), 0u) << "no bestmove";
    return mate;
  }
  EngineProcess engine_{TARROW_ENGINE};
};

TEST_F(NalimovPathOption, BlanksAroundEachDirectoryAreNotPartOfItsName) {
  const std::string tables = tbtest::generated_tables();
  const TableSet listed = listed_tables(tables);
  ASSERT_GT(listed.files, 0);
  const Lines lines =
      set_path("setoption name NalimovPath value /no/such/dir ; " + tables + " ;/none,  /x");
  const std::string expected = "info string " + std::to_string(listed.files) +
                               " tablebase files found, up to " + std::to_string(listed.men) +
                               " men";
  EXPECT_EQ(lines, Lines{expected});
  EXPECT_TRUE(tables_in_use());
}

TEST_F(NalimovPathOption, EmptyValueClearsThePath) {
  const std::string path = "setoption name NalimovPath value " + tbtest::generated_tables();
  for (const char* clear :
       {"setoption name NalimovPath value", "setoption name NalimovPath value <empty>"}) {
    SCOPED_TRACE(clear);
    const Lines found = set_path(path);
    EXPECT_TRUE(found.size() == 1 && std::regex_match(found[0], Summary)) << found.size();
    ASSERT_TRUE(tables_in_use());
    // No path: nothing is catalogued, so there is nothing to report either.
    EXPECT_EQ(set_path(clear), Lines{});
    EXPECT_FALSE(tables_in_use()) << "the tables are still in use";
  }
  // A path without tables says so.
  EXPECT_EQ(set_path("setoption name NalimovPath value /no/such/dir"),
            Lines{"info string 0 tablebase files found"});
}

}  // namespace
