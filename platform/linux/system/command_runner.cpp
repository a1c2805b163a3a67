#include "platform/linux/system/command_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/linux/system/file_descriptor.h"
#include "platform/linux/system/privileged_run.h"

extern char** environ;

namespace digital_id {

namespace {

// How much of standard error is kept for the report.
constexpr std::size_t kKeptErrorBytes = 512;

// Owns a posix_spawn file-actions object.
class SpawnActions {
 public:
  SpawnActions() { valid_ = ::posix_spawn_file_actions_init(&actions_) == 0; }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  ~SpawnActions() {
    if (valid_) {
      ::posix_spawn_file_actions_destroy(&actions_);
    }
  }
  bool Valid() const { return valid_; }
  posix_spawn_file_actions_t* Get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_{};
  bool valid_ = false;
};

}  // namespace

CommandResult RunCommandWords(const std::vector<std::string>& words) {
  CommandResult result;
  if (words.empty()) {
    return result;
  }
  int ends[2] = {-1, -1};
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    return result;
  }
  FileDescriptor readEnd(ends[0]);
  FileDescriptor writeEnd(ends[1]);
  SpawnActions actions;
  if (!actions.Valid() ||
      ::posix_spawn_file_actions_addopen(actions.Get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0) !=
          0 ||
      ::posix_spawn_file_actions_addopen(actions.Get(), STDOUT_FILENO, "/dev/null", O_WRONLY, 0) !=
          0 ||
      ::posix_spawn_file_actions_adddup2(actions.Get(), writeEnd.Get(), STDERR_FILENO) != 0) {
    return result;
  }
  std::string program = FindProgram(words.front());
  if (program.empty()) {
    return result;
  }
  std::vector<std::string> copies = words;
  std::vector<char*> argv;
  for (std::string& word : copies) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);
  // A privileged run hands its children nothing of its caller's environment.
  std::string fixedPath = std::string("PATH=") + kPrivilegedPath;
  char* fixedEnvironment[] = {fixedPath.data(), nullptr};
  char** environment = RunningPrivileged() ? fixedEnvironment : environ;
  pid_t pid = -1;
  if (::posix_spawn(&pid, program.c_str(), actions.Get(), nullptr, argv.data(), environment) != 0) {
    return result;
  }
  writeEnd.Close();
  char buffer[512];
  for (;;) {
    const ssize_t count = ::read(readEnd.Get(), buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count <= 0) {
      break;
    }
    if (result.errors.size() < kKeptErrorBytes) {
      result.errors.append(buffer, static_cast<std::size_t>(count));
    }
  }
  int status = 0;
  pid_t waited = -1;
  do {
    waited = ::waitpid(pid, &status, 0);
  } while (waited < 0 && errno == EINTR);
  if (result.errors.size() > kKeptErrorBytes) {
    result.errors.resize(kKeptErrorBytes);
  }
  result.exitCode = waited == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace digital_id
