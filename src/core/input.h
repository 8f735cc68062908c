// The command line reader shared by the idle loop and the running search: reads one line into
// CommandLine and hands it to the command handler that the driver registered.
#pragma once

#include <cstddef>

// The longest command line accepted, in bytes. A "position" line of the longest game the
// rules allow (under 18,000 plies) takes under 100 KB, so this is far above any game; a
// longer line is refused whole, never cut.
constexpr size_t CommandLineLimit = size_t(1) << 20;

// The line being executed; overwritten by every read, also by reads made from inside a
// running search (the interpreter tokenises it in place). Its storage grows with the longest
// line read so far, so a pointer into it is good only until the next read.
extern char* CommandLine;

// The handler executes one line (line end already removed) and returns the interpreter's
// result.
using CommandHandler = int (*)(char* line);
void set_command_handler(CommandHandler handler);

// Reads one whole line, removes a trailing line feed and then a carriage return, turns tabs
// into spaces and executes it. A line longer than CommandLineLimit is read to its end and
// refused with an "info string". Blocks until a line is there: callers that must not block
// call it only after poll_input reported input. At the end of input on a terminal it
// executes "quit" instead.
int read_command();
