#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/secret_text.h"
#include "platform/cert_store.h"

namespace digital_id {

// One file to write as part of a store entry: the extension of its name, its content (not
// copied: it must outlive the write) and mode.
struct EntryFile {
  std::string extension;  // ".der" or ".key"
  std::span<const std::uint8_t> content;
  mode_t mode = 0600;
};

// A store folder on disk. Entries are files named "<sequence>-<tag><extension>", where the
// zero-padded sequence number keeps insertion order and the tag tells copies apart at a glance.
// Every write goes to a temporary file in the folder that is flushed and then moved into place
// without replacing anything, so a crash or a failed write never leaves a partial entry file.
// Every change is made under the folder's FolderLock, so a tidy-up under that lock may remove
// what a writer killed half-way left behind.
class StoreFolder {
 public:
  // A folder at path, which must exist.
  explicit StoreFolder(std::filesystem::path path);

  // The folder's path.
  const std::filesystem::path& Path() const { return path_; }
  // Names (without folder) of the entry files with the extension, in store order.
  std::vector<std::string> List(std::string_view extension) const;
  // Writes the files of one new entry under a fresh stem, in the order given; the stem, or
  // nullopt when a write failed (then none of the entry's files is left behind).
  std::optional<std::string> AddEntry(const std::string& tag,
                                      const std::vector<EntryFile>& files) const;
  // Removes files of the folder in the order given; true when they are all gone (including
  // when they did not exist).
  bool Remove(const std::vector<std::string>& names) const;
  // The whole content of a file of the folder; nullopt when it cannot be read.
  std::optional<Bytes> Read(const std::string& name) const;
  // The same for a file that holds a secret (a private key), read into wiped buffers.
  std::optional<SecretBytes> ReadSecret(const std::string& name) const;
  // Under the folder's lock, removes the temporary files of writes that died, and every entry
  // file with extension lone whose twin with extension required is missing (the first half of
  // an entry whose writer died before the second). Empty extensions tidy temporaries only.
  // False when the lock could not be taken (nothing was tidied).
  bool Tidy(std::string_view lone = {}, std::string_view required = {}) const;

 private:
  // The stem after the highest sequence number in use.
  std::string NextStem(const std::string& tag) const;

  std::filesystem::path path_;
};

}  // namespace digital_id
