#pragma once

#include <utility>

namespace digital_id {

// Owns one reference to a COM interface and releases it when it goes away.
template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      pointer_ = std::exchange(other.pointer_, nullptr);
    }
    return *this;
  }

  // The interface, still owned here.
  Interface* Get() const { return pointer_; }
  Interface* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  // Releases the held reference (if any) and gives the out slot a creation call fills.
  Interface** Receive() {
    Reset();
    return &pointer_;
  }
  // The out slot as the void** that CoCreateInstance and QueryInterface take.
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
  // Releases the held reference now.
  void Reset() {
    if (pointer_ != nullptr) {
      std::exchange(pointer_, nullptr)->Release();
    }
  }

 private:
  Interface* pointer_ = nullptr;
};

}  // namespace digital_id
