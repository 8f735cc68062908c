#include "support/engine_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

long long now_ms() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (long long)t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

}  // namespace

EngineProcess::EngineProcess(const std::string& program, const std::vector<std::string>& args) {
  signal(SIGPIPE, SIG_IGN);  // an engine that has ended must not end the test
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0) return;
  if (pipe2(out, O_CLOEXEC) != 0) {
    close(in[0]);
    close(in[1]);
    return;
  }
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  // Each engine runs in a directory of its own, so that the files it keeps there (the learning
  // file) neither leak between tests nor change their results.
  char dir[] = "/tmp/tarrow-engine-XXXXXX";
  if (mkdtemp(dir)) workDir_ = dir;

  const pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    if (!workDir_.empty() && chdir(workDir_.c_str()) != 0) _exit(126);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  if (pid < 0) {
    close(in[1]);
    close(out[0]);
    return;
  }
  pid_ = pid;
  toChild_ = in[1];
  fromChild_ = out[0];
}

EngineProcess::~EngineProcess() {
  close_input();
  if (fromChild_ >= 0) close(fromChild_);
  if (pid_ > 0 && exitStatus_ == -2) {
    if (wait_exit(2000) == -1 && exitStatus_ == -2) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  if (!workDir_.empty()) {
    unlink((workDir_ + "/tarrow.pl2").c_str());
    rmdir(workDir_.c_str());
  }
}

bool EngineProcess::send_raw(const std::string& bytes) {
  if (toChild_ < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(toChild_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

bool EngineProcess::send(const std::string& line) { return send_raw(line + "\n"); }

bool EngineProcess::read_line(std::string& line, int timeoutMs) {
  const long long deadline = now_ms() + timeoutMs;
  for (;;) {
    const size_t feed = pending_.find('\n');
    if (feed != std::string::npos) {
      line = pending_.substr(0, feed);
      pending_.erase(0, feed + 1);
      return true;
    }
    if (outputEnded_ || fromChild_ < 0) return false;
    const long long left = deadline - now_ms();
    if (left <= 0) return false;
    pollfd p{fromChild_, POLLIN, 0};
    const int ready = poll(&p, 1, int(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    char buffer[4096];
    const ssize_t n = read(fromChild_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      outputEnded_ = true;
      continue;
    }
    pending_.append(buffer, size_t(n));
  }
}

bool EngineProcess::read_until_match(
    bool (*matches)(const std::string& line, const std::string& text), const std::string& text,
    std::vector<std::string>& lines, int timeoutMs) {
  const long long deadline = now_ms() + timeoutMs;
  std::string line;
  for (;;) {
    const long long left = deadline - now_ms();
    if (left <= 0 || !read_line(line, int(left))) return false;
    lines.push_back(line);
    if (matches(line, text)) return true;
  }
}

bool EngineProcess::read_until(const std::string& last, std::vector<std::string>& lines,
                               int timeoutMs) {
  return read_until_match(
      [](const std::string& line, const std::string& text) { return line == text; }, last, lines,
      timeoutMs);
}

bool EngineProcess::read_bestmove(std::vector<std::string>& lines, int timeoutMs) {
  return read_until_match(
      [](const std::string& line, const std::string& text) { return line.rfind(text, 0) == 0; },
      "bestmove", lines, timeoutMs);
}

void EngineProcess::close_input() {
  if (toChild_ >= 0) close(toChild_);
  toChild_ = -1;
}

int EngineProcess::wait_exit(int timeoutMs) {
  if (pid_ <= 0) return -1;
  if (exitStatus_ != -2) return exitStatus_;
  const long long deadline = now_ms() + timeoutMs;
  for (;;) {
    int status = 0;
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      return exitStatus_;
    }
    if (r < 0 && errno != EINTR) return -1;
    if (now_ms() >= deadline) return -1;
    usleep(5000);
  }
}

bool EngineProcess::ask(const std::string& command, const std::string& reply, int timeoutMs,
                        std::vector<std::string>* lines) {
  std::vector<std::string> discarded;
  return send(command) && read_until(reply, lines ? *lines : discarded, timeoutMs);
}
