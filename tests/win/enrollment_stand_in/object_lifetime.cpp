// Reference counting and the apartment rule of the stand-in's objects.
#include "tests/win/enrollment_stand_in/object_lifetime.h"

#include <string>

#include "tests/win/enrollment_stand_in/misuse_report.h"

namespace digital_id::stand_in {

namespace {

constinit std::atomic<long> liveObjects{0};

}  // namespace

ObjectLifetime::ObjectLifetime() : thread_(GetCurrentThreadId()) {
  ++liveObjects;
}

ObjectLifetime::~ObjectLifetime() {
  --liveObjects;
}

bool ObjectLifetime::OnOwnThread(const wchar_t* call) const {
  if (GetCurrentThreadId() == thread_) {
    return true;
  }
  ReportMisuse((std::wstring(call) + L" was called from another thread than the object's").c_str());
  return false;
}

void ReportObjectsNeverReleased() {
  const long left = liveObjects.load();
  if (left != 0) {
    ReportMisuse((std::to_wstring(left) + L" enrollment objects were never released").c_str());
  }
}

HRESULT UnusedMethod(const wchar_t* name) {
  return Misuse(E_NOTIMPL, (std::wstring(L"the program called ") + name +
                            L", which the enrollment stand-in does not provide")
                               .c_str());
}

}  // namespace digital_id::stand_in
