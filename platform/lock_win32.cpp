#include <windows.h>

#include <new>

#include "platform/lock.h"

namespace digital_id {

namespace {

CRITICAL_SECTION* Section(unsigned char* bytes) {
  return std::launder(reinterpret_cast<CRITICAL_SECTION*>(bytes));
}

}  // namespace

Lock::Lock() {
  static_assert(sizeof(section_) == sizeof(CRITICAL_SECTION), "room for one critical section");
  static_assert(alignof(CRITICAL_SECTION) <= alignof(void*), "aligned for a critical section");
  // On Windows XP the call can raise STATUS_NO_MEMORY only when memory is exhausted; later
  // systems never fail it.
  InitializeCriticalSection(new (section_) CRITICAL_SECTION{});
}

Lock::~Lock() {
  DeleteCriticalSection(Section(section_));
}

void Lock::lock() {
  EnterCriticalSection(Section(section_));
}

void Lock::unlock() {
  LeaveCriticalSection(Section(section_));
}

}  // namespace digital_id
