#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace digital_id {

// Overwrites size bytes at data with zeros through volatile writes, which the optimiser keeps
// even when the memory is freed right afterwards (as SecureZeroMemory and explicit_bzero do).
void WipeMemory(void* data, std::size_t size) noexcept;

// Wipes the whole buffer of a string or vector, up to its capacity: a shorter value assigned
// earlier leaves the tail of the longer one there.
template <typename Container>
void WipeContainer(Container& container) noexcept {
  WipeMemory(container.data(), container.capacity() * sizeof(typename Container::value_type));
}

// An allocator that wipes every block before it goes back to the heap, so that neither growing
// nor freeing a container leaves its content behind.
template <typename T>
struct WipingAllocator {
  using value_type = T;

  WipingAllocator() = default;
  // Any other instantiation converts (the allocator has no state).
  template <typename U>
  WipingAllocator(const WipingAllocator<U>& /*other*/) noexcept {}

  // Memory for n objects.
  T* allocate(std::size_t n) { return std::allocator<T>().allocate(n); }
  // Wipes, then frees, memory for n objects.
  void deallocate(T* data, std::size_t n) noexcept {
    WipeMemory(data, n * sizeof(T));
    std::allocator<T>().deallocate(data, n);
  }
  // All instances are interchangeable.
  template <typename U>
  bool operator==(const WipingAllocator<U>& /*other*/) const noexcept {
    return true;
  }
};

// Bytes of a secret (a private key as PEM text), wiped before their memory is freed.
using SecretBytes = std::vector<std::uint8_t, WipingAllocator<std::uint8_t>>;

// Text of a secret (a passphrase, a secure code): a string whose heap buffers are wiped when they
// are freed, and whose own storage (where a short text is kept without a heap buffer) is wiped
// when it is destroyed.
template <typename Char>
class BasicSecretText
    : public std::basic_string<Char, std::char_traits<Char>, WipingAllocator<Char>> {
  using Base = std::basic_string<Char, std::char_traits<Char>, WipingAllocator<Char>>;

 public:
  using Base::Base;
  BasicSecretText() = default;
  BasicSecretText(const BasicSecretText&) = default;
  BasicSecretText(BasicSecretText&&) = default;
  BasicSecretText& operator=(const BasicSecretText&) = default;
  BasicSecretText& operator=(BasicSecretText&&) = default;
  ~BasicSecretText() { WipeContainer(static_cast<Base&>(*this)); }
};

using SecretText = BasicSecretText<char>;
using SecretU16Text = BasicSecretText<char16_t>;

// The text of a string the program received from elsewhere (a window's text) as secret text;
// the string's own buffer is wiped before it is freed by the caller.
template <typename Char>
BasicSecretText<Char> TakeSecret(std::basic_string<Char>&& text) {
  BasicSecretText<Char> secret{std::basic_string_view<Char>{text}};
  WipeContainer(text);
  return secret;
}

}  // namespace digital_id
