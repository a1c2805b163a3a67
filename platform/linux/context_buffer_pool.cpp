#include "platform/linux/context_buffer_pool.h"

#include <algorithm>
#include <new>

namespace digital_id {

void* ContextBufferPool::Allocate(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) {
    return nullptr;
  }
  try {
    auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), buffer.get());
    void* address = buffer.get();
    std::lock_guard lock(mutex_);
    buffers_.emplace(address, std::move(buffer));
    return address;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

bool ContextBufferPool::Release(const void* buffer) {
  std::unique_ptr<std::uint8_t[]> released;
  std::lock_guard lock(mutex_);
  const auto found = buffers_.find(buffer);
  if (found == buffers_.end()) {
    return false;
  }
  released = std::move(found->second);
  buffers_.erase(found);
  return true;
}

}  // namespace digital_id
