#pragma once

#include <windows.h>

#include <atomic>

namespace digital_id::stand_in {

// Reference count, owning thread and the count of live objects, shared by the stand-in's
// objects. An object starts with the one reference its creator holds.
class ObjectLifetime {
 public:
  ObjectLifetime(const ObjectLifetime&) = delete;
  ObjectLifetime& operator=(const ObjectLifetime&) = delete;

 protected:
  ObjectLifetime();
  ~ObjectLifetime();

  // Adds a reference and returns the new count.
  ULONG AddReference() { return ++references_; }
  // Drops a reference and returns the count left; at 0 the caller destroys the object.
  ULONG DropReference() { return --references_; }
  // False, with a report, when call comes from another thread than the one that made the
  // object: the objects belong to that thread's single-threaded apartment.
  bool OnOwnThread(const wchar_t* call) const;

 private:
  std::atomic<ULONG> references_{1};
  DWORD thread_;
};

// Reports the objects that were never released; called when the process ends.
void ReportObjectsNeverReleased();

// Reports a call of a method the stand-in does not provide and refuses it.
HRESULT UnusedMethod(const wchar_t* name);

}  // namespace digital_id::stand_in
