#include "core/input.h"

#include <cstring>

#include "platform/input.h"

char CommandLine[CommandLineSize];

namespace {
CommandHandler Handler = nullptr;
}

void set_command_handler(CommandHandler handler) { Handler = handler; }

int read_command() {
  int length = read_input_line(CommandLine, CommandLineSize);
  if (length < 0) {
    // The user ended the input on the terminal: leave as after "quit".
    std::strcpy(CommandLine, "quit");
  } else {
    // The line may hold a zero byte of its own; the command ends there.
    length = int(std::strlen(CommandLine));
    if (length > 0 && CommandLine[length - 1] == '\n') CommandLine[--length] = '\0';
    if (length > 0 && CommandLine[length - 1] == '\r') CommandLine[--length] = '\0';
  }
  return Handler ? Handler(CommandLine) : 0;
}
