#pragma once

// Child processes for the tests and the benchmark: a program run to its end with its output
// read, and a program kept running (a server) whose output is read line by line.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace digital_id::test_support {

// What a child process is given.
struct ChildCommand {
  std::vector<std::string> arguments;  // the program (looked up in PATH) first
  std::string input;                   // written to its standard input, which is then closed
  std::vector<std::pair<std::string, std::string>> environment;  // set on top of ours; the last
                                                                 // of a name wins
  std::string workingFolder;  // the child's current folder; empty: ours
  std::string errorFile;      // standard error appended to this file; empty: RunChild reads it
                              // into errors, a RunningChild discards it
};

// What a run to the end gave.
struct ChildResult {
  int exitCode = -1;  // -1 when it did not start, ended by a signal or was killed at the bound
  std::vector<std::string> lines;  // standard output, one entry per line, line ends removed
  std::string errors;              // standard error, unless it went to a file
  long peakKib = 0;                // the child's peak resident memory (ru_maxrss), in KiB
  double markerMs = -1;  // milliseconds from the start until it printed the marker line; -1: never
};

// Runs the command to its end; a child that outlives bound is killed (exit code -1). The first
// output line equal to marker (none when empty) is timed.
ChildResult RunChild(const ChildCommand& command, std::chrono::milliseconds bound,
                     const std::string& marker = {});

// A child left running, its standard output read on request and its standard input empty.
// Killed and reaped on destruction when it still runs.
class RunningChild {
 public:
  // Starts the command (its input text is not used); Started() tells whether that worked.
  explicit RunningChild(const ChildCommand& command);
  ~RunningChild();
  RunningChild(const RunningChild&) = delete;
  RunningChild& operator=(const RunningChild&) = delete;

  // True while a started child has not been stopped.
  bool Started() const { return pid_ > 0; }
  // Reads output lines, appending each to lines, until one equals last (true), or the output
  // ends or bound passes (false).
  bool ReadUntil(const std::string& last, std::chrono::milliseconds bound,
                 std::vector<std::string>& lines);
  // Sends signal and waits for the end within bound; the exit code, or -1 when it ended by a
  // signal or had to be killed.
  int Stop(int signal, std::chrono::milliseconds bound);

 private:
  pid_t pid_ = -1;
  int output_ = -1;
  std::string pending_;  // output read after the last complete line
};

// The index of the first line equal to text at or after from; lines.size() when absent.
std::size_t FindLine(const std::vector<std::string>& lines, const std::string& text,
                     std::size_t from = 0);

// All lines joined by line feeds, for failure messages.
std::string Joined(const std::vector<std::string>& lines);

}  // namespace digital_id::test_support
