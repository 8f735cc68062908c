// The command line reader shared by the idle loop and the running search: reads one line into
// CommandLine and hands it to the command handler that the driver registered.
#pragma once

constexpr int CommandLineSize = 4096;

// The line being executed; overwritten by every read, also by reads made from inside a
// running search (the interpreter tokenises it in place).
extern char CommandLine[CommandLineSize];

// The handler executes one line (line end already removed) and returns the interpreter's
// result.
using CommandHandler = int (*)(char* line);
void set_command_handler(CommandHandler handler);

// Reads one line (at most 4095 characters; the rest of a longer line comes as the next line),
// removes a trailing line feed and then a carriage return, and executes it. Blocks until a
// line is there: callers that must not block call it only after poll_input reported input.
// At the end of input on a terminal it executes "quit" instead.
int read_command();
