#include "platform/record_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Takes the lock, retrying when a signal interrupts the wait.
bool lock(int fd, int how) {
  while (flock(fd, how) != 0)
    if (errno != EINTR) return false;
  return true;
}

bool write_all(int fd, const void* data, size_t n, off_t at) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    const ssize_t done = pwrite(fd, p, n, at);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    p += done;
    n -= size_t(done);
    at += done;
  }
  return true;
}

bool read_all(int fd, void* data, size_t n, off_t at) {
  char* p = static_cast<char*>(data);
  while (n > 0) {
    const ssize_t done = pread(fd, p, n, at);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    p += done;
    n -= size_t(done);
    at += done;
  }
  return true;
}

// Opens without waiting (opening a FIFO blocks until its other end is opened) and keeps the
// descriptor only when it names a regular file; -1 otherwise.
int open_regular(const char* path, int flags) {
  const int fd = open(path, flags | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  struct stat st;
  // Back to blocking writes once it is known to be a file (keeping only the append flag).
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      fcntl(fd, F_SETFL, flags & O_APPEND) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Whole records in the file, after cutting off a partial last one.
bool whole_records(int fd, size_t size, long& count) {
  struct stat st;
  if (fstat(fd, &st) != 0) return false;
  const off_t whole = st.st_size - st.st_size % off_t(size);
  if (whole != st.st_size && ftruncate(fd, whole) != 0) return false;
  count = long(whole / off_t(size));
  return true;
}

}  // namespace

PathKind path_kind(const char* path) {
  struct stat st;
  if (stat(path, &st) != 0)
    return errno == ENOENT || errno == ENOTDIR ? PathKind::Missing : PathKind::Other;
  return S_ISREG(st.st_mode) ? PathKind::RegularFile : PathKind::Other;
}

bool append_record(const char* path, const void* record, size_t size) {
  const int fd = open_regular(path, O_WRONLY | O_APPEND | O_CREAT);
  if (fd < 0) return false;
  long count = 0;
  bool ok = lock(fd, LOCK_EX) && whole_records(fd, size, count);
  if (ok) {
    // One write: even a reader without the lock sees the record whole or not at all.
    const ssize_t done = write(fd, record, size);
    ok = done == ssize_t(size);
    // A short write (a full disk) is taken back, so that the next record starts aligned.
    if (!ok && done > 0 && ftruncate(fd, off_t(count) * off_t(size)) != 0) ok = false;
  }
  close(fd);  // also releases the lock
  return ok;
}

bool trim_record_file(const char* path, size_t size, long threshold, long keep) {
  const int fd = open_regular(path, O_RDWR);
  if (fd < 0) return false;
  long count = 0;
  bool ok = lock(fd, LOCK_EX) && whole_records(fd, size, count);
  if (ok && count > threshold) {
    // Forward copy in whole records: the source always lies beyond the destination, so an
    // interrupted trim leaves a file of whole (partly doubled) records.
    static char buffer[96 * 1024];
    const size_t chunkRecords = sizeof buffer / size;
    const off_t from = off_t(count - keep) * off_t(size);
    for (long done = 0; ok && done < keep;) {
      const long n = keep - done < long(chunkRecords) ? keep - done : long(chunkRecords);
      const size_t bytes = size_t(n) * size;
      const off_t offset = off_t(done) * off_t(size);
      ok = read_all(fd, buffer, bytes, from + offset) && write_all(fd, buffer, bytes, offset);
      done += n;
    }
    ok = ok && ftruncate(fd, off_t(keep) * off_t(size)) == 0;
  }
  close(fd);
  return ok;
}

FILE* open_records_for_reading(const char* path) {
  const int fd = open_regular(path, O_RDONLY);
  if (fd < 0) return nullptr;
  if (!lock(fd, LOCK_SH)) {
    close(fd);
    return nullptr;
  }
  FILE* f = fdopen(fd, "rb");
  if (!f) close(fd);
  return f;
}
