// Runs an engine program as a child process through pipes, the way a GUI does: write command
// lines, read reply lines with a time-out, close the input, collect the exit status.
#pragma once

#include <string>
#include <vector>

class EngineProcess {
 public:
  // Starts `program` with the given arguments. started() tells whether that worked.
  explicit EngineProcess(const std::string& program, const std::vector<std::string>& args = {});
  ~EngineProcess();
  EngineProcess(const EngineProcess&) = delete;
  EngineProcess& operator=(const EngineProcess&) = delete;

  bool started() const { return pid_ > 0; }

  // Writes the text followed by a line feed (the text itself may carry other line ends).
  bool send(const std::string& line);
  // Writes raw bytes, no line feed added.
  bool send_raw(const std::string& bytes);

  // Next output line without its line feed; false when none arrived within the time-out or
  // the output has ended.
  bool read_line(std::string& line, int timeoutMs = 5000);
  // Reads lines until one equals `last` (included); empty vector entries are kept. False when
  // the line did not come within the time-out.
  bool read_until(const std::string& last, std::vector<std::string>& lines, int timeoutMs = 5000);
  // Reads lines until a "bestmove" line (included, last in `lines`). False when none came
  // within the time-out.
  bool read_bestmove(std::vector<std::string>& lines, int timeoutMs);
  // Sends `command` and reads up to the line `reply` ("uci" / "uciok", "isready" / "readyok"),
  // keeping the lines read in `lines` when given. False when the reply did not come in time.
  bool ask(const std::string& command, const std::string& reply, int timeoutMs = 5000,
           std::vector<std::string>* lines = nullptr);

  // Closes the engine's standard input (the GUI goes away).
  void close_input();
  // Waits for the process to end and returns its exit status (0..255), or -1 on a time-out
  // or when it was ended by a signal.
  int wait_exit(int timeoutMs = 5000);

 private:
  // Reads lines until `matches(line, text)` holds for one (included in `lines`).
  bool read_until_match(bool (*matches)(const std::string& line, const std::string& text),
                        const std::string& text, std::vector<std::string>& lines, int timeoutMs);

  int pid_ = -1;
  int toChild_ = -1;
  int fromChild_ = -1;
  std::string pending_;  // bytes read but not yet returned as a line
  std::string workDir_;  // the engine's own working directory, removed afterwards
  bool outputEnded_ = false;
  int exitStatus_ = -2;  // -2: not collected yet
};
