// Every line the engine writes goes through here: one formatted write, then a flush, so that a
// GUI reading a pipe sees each line at once. Only the thread that started the process writes;
// calls from other threads are dropped.
#pragma once

#include <cstddef>

// printf-style; the text should end with its own line feed.
void send_line(const char* format, ...) __attribute__((format(printf, 1, 2)));
// "info string " + the formatted text + line feed.
void send_info_string(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Redirects the output (nullptr: back to standard output). For tests that read what the
// engine says.
using OutputSink = void (*)(const char* text, size_t length);
void set_output_sink(OutputSink sink);
