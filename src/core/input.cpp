#include "core/input.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/output.h"
#include "platform/input.h"

namespace {

// The platform reader hands out a line in pieces of at most this many bytes.
constexpr int PieceSize = 4096;

std::vector<char> LineStorage(PieceSize + 1);
CommandHandler Handler = nullptr;

// Reads the next line whole into LineStorage, or to its end when it is over the limit.
// Returns the number of bytes kept (line feed included), -1 at the end of input on a
// terminal, or -2 for a line over the limit (its bytes are dropped).
long read_whole_line() {
  size_t used = 0;
  bool tooLong = false;
  for (;;) {
    if (!tooLong && LineStorage.size() < used + PieceSize + 1) {
      LineStorage.resize(std::max(LineStorage.size() * 2, used + PieceSize + 1));
    }
    char* into = LineStorage.data() + (tooLong ? 0 : used);
    const int length = read_input_line(into, PieceSize + 1);
    if (length < 0) {
      if (used == 0 && !tooLong) return -1;
      break;  // the end of input on a terminal ends the line that was being typed
    }
    const bool lineEnded = length == 0 || into[length - 1] == '\n' || length < PieceSize;
    if (!tooLong) {
      used += size_t(length);
      if (used > CommandLineLimit + 2) tooLong = true;  // room for a CR LF ending
    }
    if (lineEnded) break;
  }
  if (tooLong) return -2;
  LineStorage[used] = '\0';
  return long(used);
}

// A line too long to be a command: dropped whole, with a word why, never cut into pieces
// that would run as commands of their own.
int refuse_line() {
  send_info_string("line refused: longer than %zu bytes", CommandLineLimit);
  LineStorage[0] = '\0';
  return 0;
}

}  // namespace

char* CommandLine = LineStorage.data();

void set_command_handler(CommandHandler handler) { Handler = handler; }

int read_command() {
  const long length = read_whole_line();
  CommandLine = LineStorage.data();
  if (length == -1) {
    // The user ended the input on the terminal: leave as after "quit".
    std::strcpy(CommandLine, "quit");
  } else if (length == -2) {
    return refuse_line();
  } else {
    // The line may hold a zero byte of its own; the command ends there.
    size_t end = std::strlen(CommandLine);
    if (end > 0 && CommandLine[end - 1] == '\n') CommandLine[--end] = '\0';
    if (end > 0 && CommandLine[end - 1] == '\r') CommandLine[--end] = '\0';
    if (end > CommandLineLimit) return refuse_line();
    // Tabs separate words like spaces.
    for (char* c = CommandLine; *c; ++c)
      if (*c == '\t') *c = ' ';
  }
  return Handler ? Handler(CommandLine) : 0;
}
