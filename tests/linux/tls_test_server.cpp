#include "tls_test_server.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace digital_id::tls_test {

namespace {

constexpr const char* kAcceptPrefix = "ACCEPT 127.0.0.1:";

// The port in a line "ACCEPT 127.0.0.1:PORT" of the log; 0 when it is not there yet.
std::uint16_t PortFromLog(const std::string& log) {
  const std::size_t at = log.find(kAcceptPrefix);
  if (at == std::string::npos) {
    return 0;
  }
  const std::size_t start = at + std::char_traits<char>::length(kAcceptPrefix);
  const std::size_t end = log.find('\n', start);
  if (end == std::string::npos) {
    return 0;
  }
  return static_cast<std::uint16_t>(std::stoul(log.substr(start, end - start)));
}

std::filesystem::path UniqueLogPath() {
  static int counter = 0;
  return std::filesystem::temp_directory_path() /
         ("tls-test-server-" + std::to_string(getpid()) + "-" + std::to_string(++counter) + ".log");
}

}  // namespace

std::vector<std::string> Tls12Options(const std::string& certificate, const std::string& key,
                                      const std::string& chain) {
  std::vector<std::string> options{"-tls1_2", "-cert", certificate, "-key", key};
  if (!chain.empty()) {
    options.insert(options.end(), {"-cert_chain", chain});
  }
  return options;
}

ReversingTlsServer::ReversingTlsServer(const std::vector<std::string>& options)
    : logPath_(UniqueLogPath()) {
  std::vector<std::string> arguments{"openssl",     "s_server", "-accept",
                                     "127.0.0.1:0", "-rev",     "-no_dhe"};
  arguments.insert(arguments.end(), options.begin(), options.end());
  std::vector<char*> argv;
  for (std::string& argument : arguments) {
    argv.push_back(argument.data());
  }
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logPath_.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, "openssl", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    return;
  }
  pid_ = pid;
  // Wait, within a generous bound, for the server to say where it listens.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    port_ = PortFromLog(Log());
    int status = 0;
    if (port_ != 0 || waitpid(pid_, &status, WNOHANG) == pid_) {
      if (port_ == 0) {
        pid_ = -1;
      }
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

ReversingTlsServer::~ReversingTlsServer() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  std::error_code ignored;
  std::filesystem::remove(logPath_, ignored);
}

std::string ReversingTlsServer::Log() const {
  std::ifstream file(logPath_);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace digital_id::tls_test
