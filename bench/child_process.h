#pragma once

// Child processes for the benchmark: a command run to its end, and the test issuing server kept
// running while the measurements use it.

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace digital_id::bench {

// What one command run is given: standard input from a text, output discarded.
struct Command {
  std::vector<std::string> arguments;  // the program first
  std::string input;                   // written to its standard input, which is then closed
  std::vector<std::pair<std::string, std::string>> environment;  // set on top of ours
  std::string workingFolder;                                     // empty: ours
};

// Runs the command to its end; its exit code, or -1 when it could not start or was killed.
int RunToExit(const Command& command);
// Runs a program with arguments (the program first) and an empty input, as above.
int RunToExit(const std::vector<std::string>& arguments);

// What a measured run gave.
struct MeasuredRun {
  int exitCode = -1;     // -1 when it could not start or was killed
  long peakKib = 0;      // the child's peak resident memory (ru_maxrss), in KiB
  double markerMs = -1;  // milliseconds from the start until it printed the marker line; -1: never
  std::vector<std::string> lines;  // its standard output, line by line
};

// Runs the command to its end, reading its standard output and timing the first line equal to
// marker (none when empty).
MeasuredRun RunMeasured(const Command& command, const std::string& marker = {});

// A running digital-id-test-server whose printed ports were read; stopped on destruction.
class ServerChild {
 public:
  // Starts the server binary with the arguments and waits for its "ready" line.
  ServerChild(const std::string& program, const std::vector<std::string>& arguments);
  ~ServerChild();
  ServerChild(const ServerChild&) = delete;
  ServerChild& operator=(const ServerChild&) = delete;

  // True when "ready" was printed.
  bool Ready() const { return ready_; }
  std::uint16_t HttpPort() const { return httpPort_; }
  std::uint16_t TlsPort() const { return tlsPort_; }

 private:
  pid_t pid_ = -1;
  bool ready_ = false;
  std::uint16_t httpPort_ = 0;
  std::uint16_t tlsPort_ = 0;
};

}  // namespace digital_id::bench
