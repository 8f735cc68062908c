// The line reader and the input poll, fed through a pipe and through a pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

using namespace std::string_literals;

#include "core/input.h"
#include "platform/input.h"

namespace {

std::vector<std::string> Executed;

int record(char* line) {
  Executed.push_back(line);
  return 1;
}

class InputTest : public ::testing::Test {
 protected:
  int writeEnd = -1;
  int readEnd = -1;

  void SetUp() override {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    readEnd = fds[0];
    writeEnd = fds[1];
    reset_input_for_testing(readEnd);
    set_command_handler(record);
    Executed.clear();
  }
  void TearDown() override {
    if (writeEnd >= 0) close(writeEnd);
    close(readEnd);
    reset_input_for_testing(STDIN_FILENO);
  }
  void feed(const std::string& bytes) {
    ASSERT_EQ(write(writeEnd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
  }
  std::string next_command() {
    read_command();
    return Executed.empty() ? "<nothing>" : Executed.back();
  }
};

TEST_F(InputTest, PollCountsWaitingAndBufferedBytes) {
  EXPECT_TRUE(input_is_pipe());
  EXPECT_EQ(poll_input(), 0u);
  feed("go\nstop\n");
  EXPECT_EQ(poll_input(), 8u);
  EXPECT_EQ(next_command(), "go");
  // "stop" now sits in the reader's buffer and must still count as waiting input.
  EXPECT_EQ(poll_input(), 5u);
  EXPECT_EQ(next_command(), "stop");
  EXPECT_EQ(poll_input(), 0u);
}

TEST_F(InputTest, LineEndsAreRemovedOnceEach) {
  feed("isready\r\n\r\n\n a b \nx\r\r\nis\0ready\n"s);
  EXPECT_EQ(next_command(), "isready");
  EXPECT_EQ(next_command(), "");
  EXPECT_EQ(next_command(), "");
  EXPECT_EQ(next_command(), " a b ");
  EXPECT_EQ(next_command(), "x\r");
  EXPECT_EQ(next_command(), "is");  // a zero byte ends the command
  EXPECT_EQ(poll_input(), 0u);
}

TEST_F(InputTest, LongLinesComeWholeAndLinesOverTheLimitAreRefused) {
  // Written from a thread of its own: the lines are bigger than a pipe holds.
  const std::string tooLong(CommandLineLimit + 1, 'c');
  std::thread writer([&] {
    feed(std::string(5000, 'a') + "\n" + std::string(4096, 'b') + "\nend\n");
    feed(tooLong + "\nafter\n" + std::string(CommandLineLimit, 'd') + "\n");
  });
  EXPECT_EQ(next_command(), std::string(5000, 'a'));
  EXPECT_EQ(next_command(), std::string(4096, 'b'));
  EXPECT_EQ(next_command(), "end");
  Executed.clear();
  read_command();  // the line over the limit is read to its end and not executed
  EXPECT_TRUE(Executed.empty());
  EXPECT_EQ(next_command(), "after");
  EXPECT_EQ(next_command().size(), CommandLineLimit);  // exactly at the limit: still a line
  writer.join();
}

TEST_F(InputTest, TabsSeparateWordsLikeSpaces) {
  feed("go\tdepth\t3\n");
  EXPECT_EQ(next_command(), "go depth 3");
}

TEST_F(InputTest, ALastLineWithoutLineFeedIsStillExecuted) {
  feed("isready\nquit");
  close(writeEnd);
  writeEnd = -1;
  EXPECT_EQ(next_command(), "isready");
  EXPECT_GT(poll_input(), 0u);
  EXPECT_EQ(next_command(), "quit");
}

TEST_F(InputTest, AClosedPipeRunsTheShutdownAndExitsWith255) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  feed("isready\n");
  close(writeEnd);
  writeEnd = -1;
  set_input_closed_handler([] { std::fputs("shut down\n", stderr); });
  EXPECT_EXIT(
      {
        read_command();
        poll_input();
        std::exit(0);  // not reached
      },
      ::testing::ExitedWithCode(255), "shut down");
  EXPECT_EXIT(
      {
        read_command();
        read_command();  // a blocking read at the end of the pipe ends the same way
        std::exit(0);
      },
      ::testing::ExitedWithCode(255), "shut down");
  set_input_closed_handler(nullptr);
}

TEST(TerminalInput, PollWaitsForAWholeLineAndTheEndOfInputQuits) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  reset_input_for_testing(slave);
  set_command_handler(record);
  Executed.clear();

  EXPECT_FALSE(input_is_pipe());
  ASSERT_EQ(write(master, "isre", 4), 4);
  usleep(20000);
  EXPECT_EQ(poll_input(), 0u);  // half a line is not yet a command
  ASSERT_EQ(write(master, "ady\n", 4), 4);
  usleep(20000);
  EXPECT_NE(poll_input(), 0u);
  read_command();
  ASSERT_EQ(Executed.size(), 1u);
  EXPECT_EQ(Executed[0], "isready");

  // End of input typed on the terminal (the control-D character on an empty line).
  ASSERT_EQ(write(master, "\x04", 1), 1);
  usleep(20000);
  EXPECT_NE(poll_input(), 0u);
  read_command();
  ASSERT_EQ(Executed.size(), 2u);
  EXPECT_EQ(Executed[1], "quit");

  close(slave);
  close(master);
  reset_input_for_testing(STDIN_FILENO);
}

}  // namespace
