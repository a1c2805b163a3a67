#pragma once

#if !defined(_WIN32)
#include <mutex>
#endif

namespace digital_id {

// A mutual-exclusion lock for the core, the backends and the front ends, used through
// std::lock_guard. On Windows it is a critical section, so the programs depend on no threads
// library that Windows XP lacks; elsewhere it is a std::mutex.
class Lock {
 public:
  Lock();
  ~Lock();
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

  // Waits until no other thread holds the lock, then takes it.
  void lock();
  // Frees the lock, which the calling thread holds.
  void unlock();

 private:
#if defined(_WIN32)
  // The CRITICAL_SECTION, kept as bytes so that this header needs no windows.h (24 bytes on
  // 32-bit Windows, 40 on 64-bit; lock_win32.cpp checks both figures).
  alignas(void*) unsigned char section_[sizeof(void*) == 8 ? 40 : 24];
#else
  std::mutex mutex_;
#endif
};

#if !defined(_WIN32)
inline Lock::Lock() = default;
inline Lock::~Lock() = default;
inline void Lock::lock() {
  mutex_.lock();
}
inline void Lock::unlock() {
  mutex_.unlock();
}
#endif

}  // namespace digital_id
