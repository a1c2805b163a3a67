#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>

namespace digital_id {

// The buffers the engine hands out as output tokens, each kept until FreeContextBuffer releases
// it (or the engine goes away), so a wrong or repeated release cannot free foreign memory.
class ContextBufferPool {
 public:
  // A new buffer holding a copy of bytes (which must not be empty); null when memory runs out.
  void* Allocate(std::span<const std::uint8_t> bytes);
  // Releases a buffer of this pool; false for any other pointer.
  bool Release(const void* buffer);

 private:
  std::mutex mutex_;
  std::map<const void*, std::unique_ptr<std::uint8_t[]>> buffers_;
};

}  // namespace digital_id
