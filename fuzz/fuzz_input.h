#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace digital_id::fuzzing {

// The fuzzer's bytes as 8-bit text.
inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The fuzzer's bytes as UTF-16 code units, two bytes each (little-endian; an odd last byte is
// dropped), so that every code unit value, surrogates included, can be reached.
inline std::u16string AsUtf16(const std::uint8_t* data, std::size_t size) {
  std::u16string text;
  text.reserve(size / 2);
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  return text;
}

// Stops the run with a report the fuzzer records as a crash when a property does not hold.
inline void Require(bool condition) {
  if (!condition) {
    __builtin_trap();
  }
}

}  // namespace digital_id::fuzzing
