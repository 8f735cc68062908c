// What the programs do with the files and the memory a user's machine gives them, through
// pipes: a learning file that is a FIFO or a device, a foreign file under the learning file's
// name, the learning file with "Position Learning" off and on, and a "Hash" that the memory
// cannot hold.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "support/engine_process.h"

namespace {

using Lines = std::vector<std::string>;
using Bytes = std::vector<char>;

constexpr int StartupMs = 8000;
// Black to move wins at once here, and the search's score jumps between depths: the position
// is instructive, so a depth-6 search appends a learning record in a few milliseconds.
constexpr const char* Instructive =
    "position fen r1b1kb1r/pppp1ppp/5q2/4n3/3KP3/2N3PN/PPP4P/R1BQ1B1R b kq - 0 1";
constexpr const char* SetAsideNote =
    "info string tarrow.pl2 does not hold learning records, position learning does not use it";

// A directory of the test's own for the engine to run in; removed with what is left in it.
class WorkDir {
 public:
  WorkDir() {
    char pattern[] = "/tmp/tarrow-files-XXXXXX";
    if (mkdtemp(pattern)) path_ = pattern;
  }
  ~WorkDir() {
    unlink(file().c_str());
    rmdir(path_.c_str());
  }
  const std::string& path() const { return path_; }
  std::string file() const { return path_ + "/tarrow.pl2"; }

 private:
  std::string path_;
};

Bytes read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_bytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
}

bool has_line(const Lines& lines, const std::string& text) {
  return std::find(lines.begin(), lines.end(), text) != lines.end();
}

// Starts `program` in `dir` and waits for "uciok".
std::unique_ptr<EngineProcess> start_in(const WorkDir& dir, const char* program) {
  const std::string command = "cd '" + dir.path() + "' && exec '" + program + "'";
  auto engine = std::make_unique<EngineProcess>("/bin/sh", std::vector<std::string>{"-c", command});
  EXPECT_TRUE(engine->started());
  EXPECT_TRUE(engine->ask("uci", "uciok", StartupMs)) << "no uciok from " << program;
  return engine;
}

// Sends `go` and returns the lines up to and including "bestmove" (empty when none came).
Lines search(EngineProcess& engine, const std::string& go, int timeoutMs = 10000) {
  engine.send(go);
  Lines lines;
  std::string line;
  while (engine.read_line(line, timeoutMs)) {
    lines.push_back(line);
    if (line.rfind("bestmove", 0) == 0) return lines;
  }
  return {};
}

// A whole session: the commands, an instructive search, "quit" and a normal end. Returns
// every line the engine wrote after "uciok".
Lines session(const WorkDir& dir, const char* program, const Lines& commands) {
  auto engine = start_in(dir, program);
  for (const std::string& c : commands) engine->send(c);
  engine->send(Instructive);
  Lines lines = search(*engine, "go depth 6");
  EXPECT_FALSE(lines.empty()) << "no bestmove";
  engine->send("quit");
  EXPECT_EQ(engine->wait_exit(5000), 0);
  return lines;
}

TEST(FilesProtocol, LearningFileThatIsAFifoOrADeviceNeitherBlocksNorEndlesslyReads) {
  for (const bool fifo : {true, false}) {
    SCOPED_TRACE(fifo ? "a FIFO" : "a link to /dev/zero");
    WorkDir dir;
    if (fifo) ASSERT_EQ(mkfifo(dir.file().c_str(), 0644), 0);
    else ASSERT_EQ(symlink("/dev/zero", dir.file().c_str()), 0);
    auto engine = start_in(dir, TARROW_ENGINE);
    ASSERT_TRUE(engine->ask("isready", "readyok", 5000));
    engine->send(Instructive);
    const Lines lines = search(*engine, "go depth 6", 5000);
    ASSERT_FALSE(lines.empty()) << "the search did not end";
    EXPECT_TRUE(has_line(lines, "info string tarrow.pl2 is not a regular file, position "
                                "learning does not use it"));
    engine->send("quit");
    EXPECT_EQ(engine->wait_exit(5000), 0);
    struct stat st;
    ASSERT_EQ(lstat(dir.file().c_str(), &st), 0);
    EXPECT_TRUE(fifo ? S_ISFIFO(st.st_mode) : S_ISLNK(st.st_mode)) << "the file was replaced";
  }
}

// Another program's file under the learning file's name is never changed: not by the
// start-up, not by the merge, not by the append of an instructive search.
TEST(FilesProtocol, ForeignFileUnderTheLearningNameStaysByteForByte) {
  Bytes random(96 * 20 + 37);  // not a whole number of records
  uint32_t x = 7;
  for (char& c : random) c = char((x = x * 1103515245 + 12345) >> 24);
  std::string text;
  while (text.size() < 192) text += "notes on the games of the club, to be read in order\n";
  text.resize(192);  // exactly two records long
  for (const Bytes& foreign : {random, Bytes(text.begin(), text.end())}) {
    for (const bool learning : {false, true}) {
      SCOPED_TRACE(std::string(foreign.size() == 192 ? "text" : "random bytes") +
                   (learning ? ", learning on" : ", learning off"));
      WorkDir dir;
      write_bytes(dir.file(), foreign);
      const Lines lines = session(
          dir, TARROW_ENGINE,
          {std::string("setoption name Position Learning value ") + (learning ? "true" : "false")});
      EXPECT_TRUE(read_bytes(dir.file()) == foreign) << "the file was changed";
      // Only learning looks at the file, and it says why it leaves it alone.
      EXPECT_EQ(has_line(lines, SetAsideNote), learning);
    }
  }
}

// The learning file is written only while learning is on; with it on, a record cut off by a
// crash is dropped and the records before it are kept.
TEST(FilesProtocol, LearningFileIsWrittenOnlyWhileLearningIsOn) {
  WorkDir dir;
  session(dir, TARROW_ENGINE, {});
  const Bytes first = read_bytes(dir.file());
  ASSERT_EQ(first.size(), 96u) << "the instructive search wrote no record";

  Bytes torn = first;
  torn.insert(torn.end(), first.begin(), first.begin() + 50);
  write_bytes(dir.file(), torn);
  Lines lines = session(dir, TARROW_ENGINE, {"setoption name Position Learning value false"});
  EXPECT_TRUE(read_bytes(dir.file()) == torn) << "written with learning off";

  // With learning on the record is found again (so this search is no longer instructive
  // and adds none) and the torn one is gone.
  lines = session(dir, TARROW_ENGINE, {"setoption name Position Learning value true"});
  EXPECT_FALSE(has_line(lines, SetAsideNote));
  EXPECT_TRUE(read_bytes(dir.file()) == first) << "the torn record stays or the old one changed";
}

// A "Hash" the memory cannot hold leaves the transposition table at its fallback size: the
// engine says so and goes on playing. (A memory limit stands in for a small machine; the
// sanitizers reserve more address space than any such limit allows.)
TEST(FilesProtocol, HashFallbackIsReported) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "sanitizer builds cannot run under a memory limit";
#endif
  for (const char* program : {TARROW_ENGINE, TARROW_ENGINE_MP}) {
    SCOPED_TRACE(program);
    EngineProcess engine("/bin/sh", {"-c", std::string("ulimit -v 600000; exec ") + program});
    ASSERT_TRUE(engine.started());
    ASSERT_TRUE(engine.ask("uci", "uciok", StartupMs));
    // 800 MB asked for the table: refused; the 200 MB evaluation cache still fits.
    engine.send("setoption name Hash value 1000");
    Lines lines;
    ASSERT_TRUE(engine.ask("isready", "readyok", 10000, &lines));
    EXPECT_TRUE(has_line(lines, "info string Hash 1000 MB not available, transposition table "
                                "reduced to 3 MB"));
    EXPECT_FALSE(search(engine, "go depth 4").empty());
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(5000), 0);
  }
}

}  // namespace
