#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "platform/tls_engine.h"

namespace digital_id {

// Owns the objects behind security handles of one kind. A handle holds an id in its lower word
// and the kind's tag in its upper word, so a handle of another kind, a stale handle or a forged
// one is simply not found. Lookups hand out shared ownership, so a release on one thread never
// frees an object another thread is using.
template <typename T>
class SecHandleRegistry {
 public:
  // Tag written into the upper word of every handle of this registry.
  explicit SecHandleRegistry(std::uintptr_t tag) : tag_(tag) {}

  // Takes ownership of an object and returns its new handle.
  SecHandle Add(std::shared_ptr<T> object) {
    std::lock_guard lock(mutex_);
    const std::uintptr_t id = nextId_++;
    objects_.emplace(id, std::move(object));
    return SecHandle{id, tag_};
  }

  // The object behind a handle; null for a null, unknown or released handle.
  std::shared_ptr<T> Find(const SecHandle* handle) const {
    if (handle == nullptr || handle->dwUpper != tag_) {
      return nullptr;
    }
    std::lock_guard lock(mutex_);
    const auto found = objects_.find(handle->dwLower);
    return found == objects_.end() ? nullptr : found->second;
  }

  // Releases the object behind a handle and clears the handle; false when it was not found.
  bool Remove(SecHandle* handle) {
    if (handle == nullptr || handle->dwUpper != tag_) {
      return false;
    }
    std::shared_ptr<T> released;
    {
      std::lock_guard lock(mutex_);
      const auto found = objects_.find(handle->dwLower);
      if (found == objects_.end()) {
        return false;
      }
      released = std::move(found->second);
      objects_.erase(found);
    }
    *handle = SecHandle{};
    return true;
  }

 private:
  const std::uintptr_t tag_;
  mutable std::mutex mutex_;
  std::uintptr_t nextId_ = 1;
  std::map<std::uintptr_t, std::shared_ptr<T>> objects_;
};

}  // namespace digital_id
