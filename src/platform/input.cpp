#include "platform/input.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int BufferSize = 1 << 16;

struct InputState {
  int fd = 0;
  bool classified = false;
  bool isPipe = true;
  bool atEnd = false;   // the other side has closed (or a read failed)
  char buffer[BufferSize];
  int start = 0;        // first unread byte
  int end = 0;          // one past the last buffered byte
  void (*closedHandler)() = nullptr;
};

InputState Input;

void classify() {
  if (Input.classified) return;
  Input.classified = true;
  Input.isPipe = !isatty(Input.fd);
}

int buffered() { return Input.end - Input.start; }

// One read of whatever is available (blocking when `wait` is set). Moves the unread bytes to
// the front first so that the free space is at the end.
void fill(bool wait) {
  if (Input.atEnd) return;
  if (Input.start > 0) {
    std::memmove(Input.buffer, Input.buffer + Input.start, size_t(buffered()));
    Input.end -= Input.start;
    Input.start = 0;
  }
  if (Input.end == BufferSize) return;
  if (!wait) {
    pollfd p{Input.fd, POLLIN, 0};
    if (poll(&p, 1, 0) <= 0 || (p.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) == 0) return;
  }
  for (;;) {
    const ssize_t n = read(Input.fd, Input.buffer + Input.end, size_t(BufferSize - Input.end));
    if (n > 0) {
      Input.end += int(n);
      return;
    }
    if (n < 0 && errno == EINTR) continue;
    Input.atEnd = true;  // 0 bytes: the writer has gone; an error counts the same
    return;
  }
}

[[noreturn]] void end_of_pipe() {
  if (Input.closedHandler) Input.closedHandler();
  std::fflush(nullptr);
  _exit(255);
}

bool has_line_feed() {
  return std::memchr(Input.buffer + Input.start, '\n', size_t(buffered())) != nullptr;
}

}  // namespace

void set_input_closed_handler(void (*handler)()) { Input.closedHandler = handler; }

bool input_is_pipe() {
  classify();
  return Input.isPipe;
}

uint32_t poll_input() {
  classify();
  fill(false);
  if (Input.isPipe) {
    if (buffered() == 0 && Input.atEnd) end_of_pipe();
    return uint32_t(buffered());
  }
  // A terminal delivers whole lines; a partial line (or a full buffer) is not yet a command,
  // the end of input is something the reader must see.
  if (Input.atEnd || has_line_feed() || Input.end == BufferSize) return uint32_t(buffered()) + 1;
  return 0;
}

void wait_for_input(int timeoutMs) {
  if (poll_input() != 0 || Input.atEnd) return;
  pollfd p{Input.fd, POLLIN, 0};
  // A terminal may deliver part of a line: the caller polls again and waits on.
  while (poll(&p, 1, timeoutMs) < 0 && errno == EINTR) {
  }
}

int read_input_line(char* out, int capacity) {
  classify();
  if (capacity < 2) return 0;
  const int limit = capacity - 1;
  for (;;) {
    const char* from = Input.buffer + Input.start;
    const int available = buffered();
    const int scan = available < limit ? available : limit;
    const char* feed = static_cast<const char*>(std::memchr(from, '\n', size_t(scan)));
    int take = 0;
    if (feed) take = int(feed - from) + 1;
    else if (available >= limit) take = limit;           // an over-long line: hand out a piece
    else if (Input.atEnd) take = available;              // the last line lacks its line feed
    if (take > 0) {
      std::memcpy(out, from, size_t(take));
      out[take] = '\0';
      Input.start += take;
      return take;
    }
    if (Input.atEnd) {
      if (Input.isPipe) end_of_pipe();
      out[0] = '\0';
      return -1;
    }
    fill(true);
  }
}

void reset_input_for_testing(int fd) {
  Input.fd = fd;
  Input.classified = false;
  Input.atEnd = false;
  Input.start = Input.end = 0;
}
