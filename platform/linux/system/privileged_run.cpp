#include "platform/linux/system/privileged_run.h"

#include <sys/auxv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <set>
#include <sstream>

#include "base/escaped_text.h"
#include "platform/lock.h"

extern char* program_invocation_short_name;

namespace digital_id {

namespace {

// Links followed in one walk at most, as the kernel's own limit.
constexpr int kMaxLinks = 40;

bool WritableByOthers(const struct stat& info) {
  return (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

// The components of a path in order, without the root.
std::deque<std::string> Components(const std::filesystem::path& path) {
  std::deque<std::string> parts;
  for (const auto& part : path.relative_path()) {
    parts.push_back(part.string());
  }
  return parts;
}

// Walks a path as the kernel resolves it; see UntrustedPathReason.
class TrustWalk {
 public:
  // Walks the components of base from "/"; why not trusted, or nullopt.
  std::optional<std::string> Start(const std::filesystem::path& base) {
    if (!base.is_absolute()) {
      return base.string() + " is not an absolute path";
    }
    if (::lstat("/", &info_) != 0 || info_.st_uid != 0 || WritableByOthers(info_)) {
      return std::string("/ can be changed by other users");
    }
    return Walk(Components(base), true);
  }

  // Goes on from where Start ended with the components of below, following no link.
  std::optional<std::string> Continue(const std::filesystem::path& below) {
    if (missing_ || below.empty()) {
      return std::nullopt;
    }
    if (below.is_absolute()) {
      return below.string() + " is not a relative path";
    }
    return Walk(Components(below), false);
  }

  // The folder reached (the last one that exists).
  const std::filesystem::path& Reached() const { return current_; }
  // What the last component that exists is.
  const struct stat& ReachedInfo() const { return info_; }
  // True when the walk ended at a component that does not exist.
  bool Missing() const { return missing_; }

 private:
  std::optional<std::string> Walk(std::deque<std::string> pending, bool followLinks) {
    while (!pending.empty()) {
      const std::string part = pending.front();
      pending.pop_front();
      if (part.empty() || part == ".") {
        continue;
      }
      if (part == "..") {
        if (!followLinks) {
          return current_.string() + "/.. leaves the checked folder";
        }
        current_ = current_.parent_path();
        if (::lstat(current_.c_str(), &info_) != 0) {
          return current_.string() + " cannot be examined";
        }
        continue;
      }
      const std::filesystem::path next = current_ / part;
      struct stat info {};
      if (::lstat(next.c_str(), &info) != 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
          return next.string() + " cannot be examined";
        }
        // What is missing would be made in the current folder: only root may write there.
        if (!S_ISDIR(info_.st_mode) || WritableByOthers(info_)) {
          return current_.string() + " is writable by other users";
        }
        missing_ = true;
        return std::nullopt;
      }
      if (info.st_uid != 0) {
        return next.string() + " does not belong to root";
      }
      if (S_ISLNK(info.st_mode)) {
        if (!followLinks) {
          return next.string() + " is a symbolic link";
        }
        if (++links_ > kMaxLinks) {
          return next.string() + ": too many symbolic links";
        }
        std::string target(4096, '\0');
        const ssize_t length = ::readlink(next.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) {
          return next.string() + " cannot be read";
        }
        target.resize(static_cast<std::size_t>(length));
        const std::filesystem::path resolved(target);
        std::deque<std::string> parts = Components(resolved);
        pending.insert(pending.begin(), parts.begin(), parts.end());
        if (resolved.is_absolute()) {
          current_ = "/";
          ::lstat("/", &info_);
        }
        continue;
      }
      // A sticky folder may be writable by all as long as the next entry belongs to root.
      const bool stickyFolder = S_ISDIR(info.st_mode) && (info.st_mode & S_ISVTX) != 0;
      if (WritableByOthers(info) && (!stickyFolder || pending.empty())) {
        return next.string() + " is writable by other users";
      }
      if (!pending.empty() && !S_ISDIR(info.st_mode)) {
        // Nothing can lie below a file of root's: whatever uses the path fails by itself.
        missing_ = true;
        return std::nullopt;
      }
      current_ = next;
      info_ = info;
    }
    return std::nullopt;
  }

  std::filesystem::path current_ = "/";
  struct stat info_ {};
  int links_ = 0;
  bool missing_ = false;
};

}  // namespace

bool RunningPrivileged() {
  return ::geteuid() == 0 || ::getauxval(AT_SECURE) != 0;
}

std::optional<std::string> UntrustedPathReason(const std::filesystem::path& base,
                                               const std::filesystem::path& below) {
  TrustWalk walk;
  if (auto reason = walk.Start(base)) {
    return reason;
  }
  return walk.Continue(below);
}

std::optional<std::string> UntrustedProgramReason(const std::string& program) {
  const std::filesystem::path path(program);
  if (!path.is_absolute()) {
    return program + " is not an absolute path";
  }
  TrustWalk walk;
  if (auto reason = walk.Start(path)) {
    return reason;
  }
  const struct stat& info = walk.ReachedInfo();
  if (walk.Missing() || !S_ISREG(info.st_mode) || (info.st_mode & S_IXUSR) == 0) {
    return program + " is not an executable file";
  }
  return std::nullopt;
}

std::optional<std::string> UntrustedSettingsFileReason(const std::filesystem::path& file) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(file, error);
  if (error) {
    return file.string() + " cannot be examined";
  }
  TrustWalk walk;
  if (auto reason = walk.Start(absolute)) {
    return reason;
  }
  return std::nullopt;
}

std::filesystem::path TemporaryFolder() {
  if (!RunningPrivileged()) {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (!error) {
      return folder;
    }
  }
  return "/tmp";
}

std::string FindProgram(const std::string& program) {
  const auto executable = [](const std::string& candidate) {
    struct stat info {};
    return ::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(candidate.c_str(), X_OK) == 0;
  };
  if (program.find('/') != std::string::npos) {
    return executable(program) ? program : std::string();
  }
  const char* path = RunningPrivileged() ? nullptr : std::getenv("PATH");
  std::istringstream folders(path != nullptr ? path : kPrivilegedPath);
  for (std::string folder; std::getline(folders, folder, ':');) {
    // An empty or relative entry names the current folder, which a privileged run never
    // searches and an ordinary one should not either.
    if (folder.empty() || folder.front() != '/') {
      continue;
    }
    if (const std::string candidate = folder + "/" + program; executable(candidate)) {
      return candidate;
    }
  }
  return {};
}

void NoticeOnce(const std::string& text) {
  static Lock lock;
  static std::set<std::string> told;
  const std::lock_guard<Lock> guard(lock);
  if (told.insert(text).second) {
    // Paths come from the environment: control characters are shown, never sent to the terminal.
    const std::string shown = EscapeControlCharacters(text);
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, shown.c_str());
    std::fflush(stderr);
  }
}

}  // namespace digital_id
