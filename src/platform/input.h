// Standard input: a non-blocking poll and a line reader that share one buffer, so that every
// byte still unread is visible to the poll and no line can sit in a library buffer while the
// poll reports nothing.
#pragma once

#include <cstdint>

// Called when the input pipe has been closed by the other side, before the process ends with
// exit status 255. The engine registers its shutdown here.
void set_input_closed_handler(void (*handler)());

// True when standard input is not a terminal (a GUI's pipe, or a file). Decided at the first
// poll or read.
bool input_is_pipe();

// Never blocks. Pipe: the number of bytes waiting, those already buffered by the line reader
// included. Terminal: non-zero when a whole line (or the end of input) can be read.
// A pipe that has been closed and holds no more bytes ends the process (see above).
uint32_t poll_input();

// Blocks until input arrives (a byte on a pipe, a whole line on a terminal, or the end of
// input) or `timeoutMs` milliseconds have passed, whichever comes first; returns at once when
// unread input is already buffered. The idle loop waits here instead of sleeping, so that a
// command is read the moment it arrives.
void wait_for_input(int timeoutMs);

// Reads one line of at most capacity - 1 bytes into `out`, the line feed included when it
// fits; the rest of a longer line is returned by the next call. Blocks until a line (or the
// last bytes before the end of input) is there. Returns the number of bytes stored, or -1
// at the end of input on a terminal. At the end of a pipe the process ends as for poll_input.
int read_input_line(char* out, int capacity);

// Drops the buffered bytes and the end-of-input state, and reads from `fd` from now on.
// Meant for tests that feed the reader through a pipe of their own.
void reset_input_for_testing(int fd);
