#pragma once

#include <cstdint>
#include <optional>

#include "platform/cert_store.h"
#include "platform/download.h"

namespace digital_id {

// The content of a finished download held in memory, read from the start.
class MemoryDownloadStream : public DownloadStream {
 public:
  // Takes the whole content.
  explicit MemoryDownloadStream(Bytes content);

  // Size of the whole content.
  std::optional<std::uint64_t> Size() override;
  // Copies up to count bytes from the current position; 0 at the end.
  std::optional<std::uint32_t> Read(std::uint8_t* buffer, std::uint32_t count) override;

 private:
  Bytes content_;
  std::size_t position_ = 0;
};

}  // namespace digital_id
