#include "bench/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>

extern char** environ;

namespace digital_id::bench {

namespace {

// Only a broken program reaches these bounds.
constexpr auto kStartBound = std::chrono::seconds(120);

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

 private:
  static void Close(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  std::array<int, 2> ends_{-1, -1};
};

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

std::vector<std::string> Environment(
    const std::vector<std::pair<std::string, std::string>>& overrides) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    bool replaced = false;
    for (const auto& [name, value] : overrides)
      replaced = replaced || text.rfind(name + "=", 0) == 0;
    if (!replaced) entries.push_back(text);
  }
  for (const auto& [name, value] : overrides) entries.push_back(name + "=" + value);
  return entries;
}

// Spawns with standard input from inputFd, standard output to outputFd (or /dev/null when
// negative) and standard error to /dev/null.
pid_t Spawn(const Command& command, int inputFd, int outputFd) {
  std::vector<std::string> arguments = command.arguments;
  std::vector<std::string> environment = Environment(command.environment);
  std::vector<char*> argv = Pointers(arguments);
  std::vector<char*> envp = Pointers(environment);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (inputFd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, inputFd, STDIN_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  }
  if (outputFd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  }
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  if (!command.workingFolder.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, command.workingFolder.c_str());
  }
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

}  // namespace

int RunToExit(const Command& command) {
  if (command.arguments.empty()) return -1;
  Pipe input;
  if (!input.Valid()) return -1;
  const pid_t pid = Spawn(command, input.Read(), -1);
  input.CloseRead();
  if (pid <= 0) return -1;
  if (!command.input.empty()) {
    const ssize_t written = ::write(input.Write(), command.input.data(), command.input.size());
    static_cast<void>(written);  // a program that ignores its input may have closed it
  }
  input.CloseWrite();
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

MeasuredRun RunMeasured(const Command& command, const std::string& marker) {
  MeasuredRun run;
  Pipe input;
  Pipe output;
  if (command.arguments.empty() || !input.Valid() || !output.Valid()) return run;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = Spawn(command, input.Read(), output.Write());
  input.CloseRead();
  output.CloseWrite();
  if (pid <= 0) return run;
  if (!command.input.empty()) {
    const ssize_t written = ::write(input.Write(), command.input.data(), command.input.size());
    static_cast<void>(written);
  }
  input.CloseWrite();
  std::string pending;
  char buffer[4096];
  for (ssize_t n = 0; (n = ::read(output.Read(), buffer, sizeof(buffer))) != 0;) {
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    pending.append(buffer, static_cast<std::size_t>(n));
    for (std::size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
      run.lines.push_back(pending.substr(0, end));
      pending.erase(0, end + 1);
      if (run.markerMs < 0 && !marker.empty() && run.lines.back() == marker) {
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        run.markerMs = took.count();
      }
    }
  }
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) != pid) return run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.peakKib = usage.ru_maxrss;
  return run;
}

int RunToExit(const std::vector<std::string>& arguments) {
  Command command;
  command.arguments = arguments;
  return RunToExit(command);
}

ServerChild::ServerChild(const std::string& program, const std::vector<std::string>& arguments) {
  Pipe output;
  if (!output.Valid()) return;
  Command command;
  command.arguments = {program};
  command.arguments.insert(command.arguments.end(), arguments.begin(), arguments.end());
  pid_ = Spawn(command, -1, output.Write());
  output.CloseWrite();
  std::string pending;
  const auto until = std::chrono::steady_clock::now() + kStartBound;
  while (pid_ > 0 && !ready_ && std::chrono::steady_clock::now() < until) {
    pollfd entry{output.Read(), POLLIN, 0};
    if (::poll(&entry, 1, 200) <= 0) continue;
    char buffer[256];
    const ssize_t n = ::read(output.Read(), buffer, sizeof(buffer));
    if (n <= 0) break;
    pending.append(buffer, static_cast<std::size_t>(n));
    for (std::size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
      const std::string line = pending.substr(0, end);
      pending.erase(0, end + 1);
      if (line.rfind("http-port ", 0) == 0)
        httpPort_ = static_cast<std::uint16_t>(std::stoi(line.substr(10)));
      if (line.rfind("tls-port ", 0) == 0)
        tlsPort_ = static_cast<std::uint16_t>(std::stoi(line.substr(9)));
      ready_ = ready_ || line == "ready";
    }
  }
}

ServerChild::~ServerChild() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
}

}  // namespace digital_id::bench
