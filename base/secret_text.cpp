#include "base/secret_text.h"

namespace digital_id {

void WipeMemory(void* data, std::size_t size) noexcept {
  volatile unsigned char* bytes = static_cast<volatile unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = 0;
  }
}

}  // namespace digital_id
