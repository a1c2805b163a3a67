#include "enroll_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <thread>

#ifndef ENROLL_PATH
#error "ENROLL_PATH must name the digital-id-enroll binary"
#endif

extern char** environ;

namespace digital_id::end_to_end {

namespace {

// Far beyond a working run (the client's own pause is 5 s); only a hang reaches it.
constexpr auto kRunBound = std::chrono::seconds(60);

// Both ends of a pipe, closed on destruction.
class Pipe {
 public:
  Pipe() {
    if (::pipe2(ends_.data(), O_CLOEXEC) != 0) ends_ = {-1, -1};
  }
  ~Pipe() {
    CloseRead();
    CloseWrite();
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;

  bool Valid() const { return ends_[0] >= 0; }
  int Read() const { return ends_[0]; }
  int Write() const { return ends_[1]; }
  void CloseRead() { Close(ends_[0]); }
  void CloseWrite() { Close(ends_[1]); }

 private:
  static void Close(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  std::array<int, 2> ends_{-1, -1};
};

// The environment of this process with the given variables set on top (the last of a name wins).
std::vector<std::string> ChildEnvironment(
    const std::vector<std::pair<std::string, std::string>>& overrides) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    bool replaced = false;
    for (const auto& [name, value] : overrides) {
      replaced = replaced || text.rfind(name + "=", 0) == 0;
    }
    if (!replaced) entries.push_back(text);
  }
  // A later override of a name replaces an earlier one.
  for (auto it = overrides.begin(); it != overrides.end(); ++it) {
    const auto later = std::find_if(it + 1, overrides.end(),
                                    [&it](const auto& other) { return other.first == it->first; });
    if (later == overrides.end()) entries.push_back(it->first + "=" + it->second);
  }
  return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

pid_t Spawn(const EnrollInvocation& invocation, const Pipe& input, const Pipe& output,
            const Pipe& errors) {
  std::vector<std::string> arguments = invocation.wrapper;
  arguments.push_back(ENROLL_PATH);
  arguments.insert(arguments.end(), invocation.arguments.begin(), invocation.arguments.end());
  std::vector<std::string> environment = ChildEnvironment(invocation.environment);
  std::vector<char*> argv = Pointers(arguments);
  std::vector<char*> envp = Pointers(environment);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input.Read(), STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, output.Write(), STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errors.Write(), STDERR_FILENO);
  if (!invocation.workingFolder.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, invocation.workingFolder.c_str());
  }
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Reads both pipes until each is closed or the deadline passes; false on the deadline.
bool Drain(int outputFd, int errorsFd, std::string& output, std::string& errors,
           std::chrono::steady_clock::time_point deadline) {
  std::array<pollfd, 2> entries{pollfd{outputFd, POLLIN, 0}, pollfd{errorsFd, POLLIN, 0}};
  std::array<std::string*, 2> sinks{&output, &errors};
  while (entries[0].fd >= 0 || entries[1].fd >= 0) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    if (::poll(entries.data(), entries.size(), 200) <= 0) continue;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (entries[i].fd < 0 || entries[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(entries[i].fd, buffer, sizeof(buffer));
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else {
        entries[i].fd = -1;  // end of file (or an error): nothing more comes
      }
    }
  }
  return true;
}

int AwaitExit(pid_t pid, std::chrono::steady_clock::time_point deadline) {
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace

EnrollOutcome RunEnroll(const EnrollInvocation& invocation) {
  EnrollOutcome outcome;
  Pipe input;
  Pipe output;
  Pipe errors;
  if (!input.Valid() || !output.Valid() || !errors.Valid()) return outcome;
  const pid_t pid = Spawn(invocation, input, output, errors);
  input.CloseRead();
  output.CloseWrite();
  errors.CloseWrite();
  if (pid <= 0) return outcome;
  const auto deadline = std::chrono::steady_clock::now() + kRunBound;
  // The input is one short line: it fits the pipe at once, and the program may not read it all
  // (a write to a closed pipe fails instead of ending the caller, which ignores SIGPIPE).
  if (!invocation.input.empty()) {
    const ssize_t written =
        ::write(input.Write(), invocation.input.data(), invocation.input.size());
    static_cast<void>(written);
  }
  input.CloseWrite();
  std::string text;
  const bool drained = Drain(output.Read(), errors.Read(), text, outcome.errors, deadline);
  outcome.exitCode = AwaitExit(pid, drained ? deadline : std::chrono::steady_clock::now());
  outcome.lines = SplitLines(text);
  return outcome;
}

std::size_t FindLine(const std::vector<std::string>& lines, const std::string& text,
                     std::size_t from) {
  for (std::size_t i = from; i < lines.size(); ++i) {
    if (lines[i] == text) return i;
  }
  return lines.size();
}

bool HasAdjacentLines(const std::vector<std::string>& lines, const std::string& first,
                      const std::string& second) {
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    if (lines[i] == first && lines[i + 1] == second) return true;
  }
  return false;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

}  // namespace digital_id::end_to_end
