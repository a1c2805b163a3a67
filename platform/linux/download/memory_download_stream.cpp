#include "platform/linux/download/memory_download_stream.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace digital_id {

MemoryDownloadStream::MemoryDownloadStream(Bytes content) : content_(std::move(content)) {}

std::optional<std::uint64_t> MemoryDownloadStream::Size() {
  return content_.size();
}

std::optional<std::uint32_t> MemoryDownloadStream::Read(std::uint8_t* buffer, std::uint32_t count) {
  if (buffer == nullptr && count != 0) {
    return std::nullopt;
  }
  const std::size_t available = content_.size() - position_;
  const std::size_t taken = std::min<std::size_t>(available, count);
  if (taken != 0) {
    std::memcpy(buffer, content_.data() + position_, taken);
  }
  position_ += taken;
  return static_cast<std::uint32_t>(taken);
}

}  // namespace digital_id
