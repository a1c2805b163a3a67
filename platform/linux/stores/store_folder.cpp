#include "platform/linux/stores/store_folder.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <set>
#include <utility>

#include "platform/linux/stores/atomic_file.h"
#include "platform/linux/stores/folder_lock.h"

namespace digital_id {

namespace {

constexpr std::size_t kSequenceDigits = 10;
constexpr int kMaxAddAttempts = 16;

// Owns an open directory stream.
struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

// All names in a folder except "." and "..".
std::vector<std::string> FolderNames(const std::filesystem::path& path) {
  std::vector<std::string> names;
  std::unique_ptr<DIR, DirCloser> dir(::opendir(path.c_str()));
  if (!dir) {
    return names;
  }
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") {
      names.push_back(name);
    }
  }
  return names;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The sequence number at the start of an entry name; nullopt when the name is not an entry.
std::optional<unsigned long long> SequenceOf(std::string_view name) {
  if (name.size() <= kSequenceDigits || name[kSequenceDigits] != '-') {
    return std::nullopt;
  }
  unsigned long long value = 0;
  for (std::size_t i = 0; i < kSequenceDigits; ++i) {
    if (name[i] < '0' || name[i] > '9') {
      return std::nullopt;
    }
    value = value * 10 + static_cast<unsigned long long>(name[i] - '0');
  }
  return value;
}

bool Unlink(const std::filesystem::path& file) {
  return ::unlink(file.c_str()) == 0 || errno == ENOENT;
}

}  // namespace

StoreFolder::StoreFolder(std::filesystem::path path) : path_(std::move(path)) {}

std::vector<std::string> StoreFolder::List(std::string_view extension) const {
  std::vector<std::string> names;
  for (std::string& name : FolderNames(path_)) {
    if (SequenceOf(name) && EndsWith(name, extension)) {
      names.push_back(std::move(name));
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string StoreFolder::NextStem(const std::string& tag) const {
  unsigned long long highest = 0;
  for (const std::string& name : FolderNames(path_)) {
    if (const auto sequence = SequenceOf(name)) {
      highest = std::max(highest, *sequence);
    }
  }
  std::string number = std::to_string(highest + 1);
  if (number.size() < kSequenceDigits) {
    number.insert(0, kSequenceDigits - number.size(), '0');
  }
  return number + "-" + tag;
}

std::optional<std::string> StoreFolder::AddEntry(const std::string& tag,
                                                 const std::vector<EntryFile>& files) const {
  const auto lock = FolderLock::Take(path_);
  if (!lock) {
    return std::nullopt;
  }
  for (int attempt = 0; attempt < kMaxAddAttempts; ++attempt) {
    const std::string stem = NextStem(tag);
    std::vector<std::string> written;
    WriteOutcome outcome = WriteOutcome::Written;
    for (const EntryFile& file : files) {
      const std::string name = stem + file.extension;
      outcome = WriteFileAtomically(path_ / name, file.content, file.mode, Placement::NoReplace);
      if (outcome != WriteOutcome::Written) {
        break;
      }
      written.push_back(name);
    }
    if (written.size() == files.size()) {
      return stem;
    }
    // Undo the files of this entry written so far, newest first.
    for (auto it = written.rbegin(); it != written.rend(); ++it) {
      Unlink(path_ / *it);
    }
    SyncFolder(path_);
    if (outcome != WriteOutcome::Exists) {
      return std::nullopt;
    }
    // A writer that does not lock took the stem meanwhile: try the next one.
  }
  return std::nullopt;
}

bool StoreFolder::Remove(const std::vector<std::string>& names) const {
  const auto lock = FolderLock::Take(path_);
  bool removed = lock.has_value();
  for (const std::string& name : names) {
    removed = Unlink(path_ / name) && removed;
  }
  SyncFolder(path_);
  return removed;
}

std::optional<Bytes> StoreFolder::Read(const std::string& name) const {
  return ReadWholeFile(path_ / name);
}

std::optional<SecretBytes> StoreFolder::ReadSecret(const std::string& name) const {
  return ReadWholeSecretFile(path_ / name);
}

bool StoreFolder::Tidy(std::string_view lone, std::string_view required) const {
  const auto lock = FolderLock::Take(path_);
  if (!lock) {
    return false;
  }
  RemoveTemporaries(path_);
  if (lone.empty() || required.empty()) {
    return true;
  }
  const std::vector<std::string> names = FolderNames(path_);
  const std::set<std::string> present(names.begin(), names.end());
  bool removed = false;
  for (const std::string& name : names) {
    if (!SequenceOf(name) || !EndsWith(name, lone)) {
      continue;
    }
    const std::string twin = name.substr(0, name.size() - lone.size()) + std::string(required);
    if (present.count(twin) == 0) {
      removed = Unlink(path_ / name) || removed;
    }
  }
  if (removed) {
    SyncFolder(path_);
  }
  return true;
}

}  // namespace digital_id
