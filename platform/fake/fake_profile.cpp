#include "platform/fake/fake_profile.h"

namespace digital_id::fake {

std::u16string FakeProfile::ReadString(const std::u16string& section, const std::u16string& key,
                                       std::size_t bufferChars, const std::u16string& path) {
  std::lock_guard lock(lock_);
  keysRead_.push_back(key);
  pathsRead_.push_back(path);
  bufferSizes_.push_back(bufferChars);
  if (section != u"AppSettings" || bufferChars == 0) return {};
  auto found = values_.find(key);
  if (found == values_.end()) return {};
  return found->second.substr(0, bufferChars - 1);
}

void FakeProfile::Set(const std::u16string& key, const std::u16string& value) {
  std::lock_guard lock(lock_);
  values_[key] = value;
}

void FakeProfile::Remove(const std::u16string& key) {
  std::lock_guard lock(lock_);
  values_.erase(key);
}

std::vector<std::u16string> FakeProfile::KeysRead() const {
  std::lock_guard lock(lock_);
  return keysRead_;
}

std::vector<std::u16string> FakeProfile::PathsRead() const {
  std::lock_guard lock(lock_);
  return pathsRead_;
}

std::vector<std::size_t> FakeProfile::BufferSizes() const {
  std::lock_guard lock(lock_);
  return bufferSizes_;
}

}  // namespace digital_id::fake
