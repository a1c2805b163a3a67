#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <thread>

extern char** environ;

namespace digital_id::test_support {

namespace {

using Clock = std::chrono::steady_clock;

// Both ends of a close-on-exec pipe, closed on destruction.
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
  // Hands the read end over to the caller, who closes it.
  int ReleaseRead() { return std::exchange(ends_[0], -1); }

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
    const bool replaced = std::any_of(overrides.begin(), overrides.end(), [&text](const auto& o) {
      return text.rfind(o.first + "=", 0) == 0;
    });
    if (!replaced) entries.push_back(text);
  }
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

// Spawns with standard input from inputFd (or /dev/null when negative), standard output to
// outputFd and standard error to errorFd, or to the command's file when errorFd is negative.
pid_t Spawn(const ChildCommand& command, int inputFd, int outputFd, int errorFd) {
  if (command.arguments.empty()) return -1;
  std::vector<std::string> arguments = command.arguments;
  std::vector<std::string> environment = ChildEnvironment(command.environment);
  std::vector<char*> argv = Pointers(arguments);
  std::vector<char*> envp = Pointers(environment);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (inputFd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, inputFd, STDIN_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  }
  posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
  if (errorFd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, errorFd, STDERR_FILENO);
  } else {
    const std::string& file =
        command.errorFile.empty() ? std::string("/dev/null") : command.errorFile;
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, file.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
  }
  if (!command.workingFolder.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, command.workingFolder.c_str());
  }
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Waits for the child until deadline, killing it then; its exit code (or -1) and usage.
int AwaitExit(pid_t pid, Clock::time_point deadline, rusage& usage) {
  int status = 0;
  for (auto pause = std::chrono::microseconds(200); ::wait4(pid, &status, WNOHANG, &usage) == 0;
       pause = std::min(pause * 2, std::chrono::microseconds(20000))) {
    if (Clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::wait4(pid, &status, 0, &usage);
      return -1;
    }
    std::this_thread::sleep_for(pause);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Moves the complete lines of pending into lines.
void TakeLines(std::string& pending, std::vector<std::string>& lines) {
  for (std::size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
    lines.push_back(pending.substr(0, end));
    pending.erase(0, end + 1);
  }
}

}  // namespace

ChildResult RunChild(const ChildCommand& command, std::chrono::milliseconds bound,
                     const std::string& marker) {
  ChildResult result;
  Pipe input;
  Pipe output;
  Pipe errors;
  if (!input.Valid() || !output.Valid() || !errors.Valid()) return result;
  const auto start = Clock::now();
  const auto deadline = start + bound;
  const pid_t pid =
      Spawn(command, input.Read(), output.Write(), command.errorFile.empty() ? errors.Write() : -1);
  input.CloseRead();
  output.CloseWrite();
  errors.CloseWrite();
  if (pid <= 0) return result;
  // The input is short: it fits the pipe at once, and the program may not read it all (a write
  // to a closed pipe fails instead of ending the caller, which ignores SIGPIPE).
  if (!command.input.empty()) {
    const ssize_t written = ::write(input.Write(), command.input.data(), command.input.size());
    static_cast<void>(written);
  }
  input.CloseWrite();

  std::array<pollfd, 2> entries{pollfd{output.Read(), POLLIN, 0},
                                pollfd{command.errorFile.empty() ? errors.Read() : -1, POLLIN, 0}};
  std::string pending;
  bool drained = true;
  while (entries[0].fd >= 0 || entries[1].fd >= 0) {
    if (Clock::now() > deadline) {
      drained = false;
      break;
    }
    if (::poll(entries.data(), entries.size(), 200) <= 0) continue;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (entries[i].fd < 0 || entries[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(entries[i].fd, buffer, sizeof(buffer));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        entries[i].fd = -1;  // end of file (or an error): nothing more comes
        continue;
      }
      if (i == 1) {
        result.errors.append(buffer, static_cast<std::size_t>(n));
        continue;
      }
      pending.append(buffer, static_cast<std::size_t>(n));
      const std::size_t before = result.lines.size();
      TakeLines(pending, result.lines);
      for (std::size_t line = before; line < result.lines.size(); ++line) {
        if (result.markerMs < 0 && !marker.empty() && result.lines[line] == marker) {
          result.markerMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        }
      }
    }
  }
  if (!pending.empty()) result.lines.push_back(pending);
  rusage usage{};
  result.exitCode = AwaitExit(pid, drained ? deadline : Clock::now(), usage);
  result.peakKib = usage.ru_maxrss;
  return result;
}

RunningChild::RunningChild(const ChildCommand& command) {
  Pipe output;
  if (!output.Valid()) return;
  pid_ = Spawn(command, -1, output.Write(), -1);
  output.CloseWrite();
  if (pid_ > 0) output_ = output.ReleaseRead();
}

RunningChild::~RunningChild() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (output_ >= 0) ::close(output_);
}

bool RunningChild::ReadUntil(const std::string& last, std::chrono::milliseconds bound,
                             std::vector<std::string>& lines) {
  const auto deadline = Clock::now() + bound;
  while (output_ >= 0 && Clock::now() < deadline) {
    pollfd entry{output_, POLLIN, 0};
    if (::poll(&entry, 1, 200) <= 0) continue;
    char buffer[256];
    const ssize_t n = ::read(output_, buffer, sizeof(buffer));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    pending_.append(buffer, static_cast<std::size_t>(n));
    std::vector<std::string> complete;
    TakeLines(pending_, complete);
    for (std::size_t i = 0; i < complete.size(); ++i) {
      lines.push_back(complete[i]);
      if (complete[i] == last) {
        // What came after the line stays for the next read.
        for (std::size_t j = complete.size(); j > i + 1; --j) {
          pending_.insert(0, complete[j - 1] + "\n");
        }
        return true;
      }
    }
  }
  return false;
}

int RunningChild::Stop(int signal, std::chrono::milliseconds bound) {
  if (pid_ <= 0) return -1;
  ::kill(pid_, signal);
  rusage usage{};
  const int code = AwaitExit(pid_, Clock::now() + bound, usage);
  pid_ = -1;
  return code;
}

std::size_t FindLine(const std::vector<std::string>& lines, const std::string& text,
                     std::size_t from) {
  for (std::size_t i = from; i < lines.size(); ++i) {
    if (lines[i] == text) return i;
  }
  return lines.size();
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

}  // namespace digital_id::test_support
