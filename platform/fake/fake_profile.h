#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/lock.h"
#include "platform/profile.h"

namespace digital_id::fake {

// Settings held in memory for one file path; every read is recorded.
class FakeProfile : public Profile {
 public:
  std::u16string ReadString(const std::u16string& section, const std::u16string& key,
                            std::size_t bufferChars, const std::u16string& path) override;

  // Sets a key of section AppSettings.
  void Set(const std::u16string& key, const std::u16string& value);
  // Removes a key.
  void Remove(const std::u16string& key);
  // Keys read so far, in order.
  std::vector<std::u16string> KeysRead() const;
  // Paths read so far, in order.
  std::vector<std::u16string> PathsRead() const;
  // Buffer sizes asked for, in order of the reads.
  std::vector<std::size_t> BufferSizes() const;

 private:
  mutable Lock lock_;
  std::map<std::u16string, std::u16string> values_;
  std::vector<std::u16string> keysRead_;
  std::vector<std::u16string> pathsRead_;
  std::vector<std::size_t> bufferSizes_;
};

}  // namespace digital_id::fake
