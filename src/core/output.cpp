#include "core/output.h"

#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

// Large enough for any line the engine composes (a principal variation of 28 moves, a
// MultiPV line, an echoed command line of 4095 characters).
constexpr int LineCapacity = 8192;

const std::thread::id OutputThread = std::this_thread::get_id();
OutputSink Sink = nullptr;

void write_all(const char* text, size_t length) {
  if (Sink) {
    Sink(text, length);
    return;
  }
  // Straight to the descriptor: nothing waits in a library buffer.
  while (length > 0) {
    const ssize_t n = write(STDOUT_FILENO, text, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // a closed pipe: nobody is listening
    text += n;
    length -= size_t(n);
  }
}

void send_formatted(const char* prefix, const char* suffix, const char* format, va_list args) {
  if (std::this_thread::get_id() != OutputThread) return;
  char line[LineCapacity];
  size_t used = std::strlen(prefix);
  std::memcpy(line, prefix, used);
  const int n = std::vsnprintf(line + used, sizeof line - used, format, args);
  if (n > 0) used += size_t(n) < sizeof line - used ? size_t(n) : sizeof line - used - 1;
  const size_t tail = std::strlen(suffix);
  if (used + tail >= sizeof line) used = sizeof line - tail - 1;
  std::memcpy(line + used, suffix, tail);
  write_all(line, used + tail);
}

}  // namespace

void send_line(const char* format, ...) {
  va_list args;
  va_start(args, format);
  send_formatted("", "", format, args);
  va_end(args);
}

void send_info_string(const char* format, ...) {
  va_list args;
  va_start(args, format);
  send_formatted("info string ", "\n", format, args);
  va_end(args);
}

void set_output_sink(OutputSink sink) { Sink = sink; }
