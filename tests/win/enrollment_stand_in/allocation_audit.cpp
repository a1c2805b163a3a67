// The checking allocator: an IMallocSpy that sees every allocation and free of the COM task
// allocator. With the OLE Automation string cache off (OANOCACHE=1) every BSTR goes through it
// too, so a string freed twice or never is seen.
#include "tests/win/enrollment_stand_in/allocation_audit.h"

#include <objbase.h>

#include <string>
#include <vector>

#include "tests/win/enrollment_stand_in/misuse_report.h"

namespace digital_id::stand_in {

namespace {

enum class State : unsigned char { Unused, Live, Freed, Reported };

// One watched block, by the start of its allocation.
struct Slot {
  void* block;
  State state;
  Owner owner;
  const wchar_t* call;  // the call that handed the block out or received it
};

constexpr std::size_t kSlotCount = 512;

// Everything here is trivially destructible: the allocator calls the spy until the process
// ends, after the module's static destructors would have run.
struct Audit {
  SRWLOCK lock;
  SRWLOCK captureLock;    // one capture of a new allocation at a time
  DWORD captureThread;    // the thread whose next allocation is captured, 0 for none
  void* captured;         // that allocation
  std::ptrdiff_t header;  // bytes from the start of a BSTR's allocation to its text
  bool started;
  bool usable;
  std::size_t next;
  Slot slots[kSlotCount];
};
constinit Audit audit{SRWLOCK_INIT, SRWLOCK_INIT, 0, nullptr, 0, false, false, 0, {}};

// Holds an SRW lock exclusively for its lifetime.
class Exclusive {
 public:
  explicit Exclusive(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
  ~Exclusive() { ReleaseSRWLockExclusive(&lock_); }
  Exclusive(const Exclusive&) = delete;
  Exclusive& operator=(const Exclusive&) = delete;

 private:
  SRWLOCK& lock_;
};

// The slot watching block in a state other than Unused; null when none. Under the lock.
Slot* Find(void* block) {
  for (Slot& slot : audit.slots) {
    if (slot.state != State::Unused && slot.block == block) {
      return &slot;
    }
  }
  return nullptr;
}

// Starts watching block; false when every slot holds a live block. Under the lock.
bool Watch(void* block, Owner owner, const wchar_t* call) {
  for (std::size_t tried = 0; tried < kSlotCount; ++tried) {
    Slot& slot = audit.slots[(audit.next + tried) % kSlotCount];
    if (slot.state != State::Live) {
      slot = Slot{block, State::Live, owner, call};
      audit.next = (audit.next + tried + 1) % kSlotCount;
      return true;
    }
  }
  return false;
}

std::wstring FreedTwice(const Slot& slot) {
  return std::wstring(L"a block from ") + slot.call + L" was freed twice";
}

// The spy itself; a static object without reference counting of its own.
class AllocationSpy final : public IMallocSpy {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) {
      return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMallocSpy)) {
      *object = static_cast<IMallocSpy*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T bytes) override { return bytes; }
  void* STDMETHODCALLTYPE PostAlloc(void* block) override {
    const Exclusive hold(audit.lock);
    if (audit.captureThread == GetCurrentThreadId() && audit.captured == nullptr) {
      audit.captured = block;
    }
    // A freed block's address handed out again: the old watch ends.
    if (Slot* slot = Find(block); slot != nullptr && slot->state != State::Live) {
      slot->state = State::Unused;
    }
    return block;
  }

  void* STDMETHODCALLTYPE PreFree(void* block, BOOL) override {
    std::wstring problem;
    {
      const Exclusive hold(audit.lock);
      if (Slot* slot = Find(block)) {
        if (slot->state == State::Live) {
          if (slot->owner == Owner::Object) {
            problem = std::wstring(L"the caller freed memory that ") + slot->call +
                      L" handed out but the object keeps";
          }
          slot->state = State::Freed;
        } else if (slot->state == State::Freed) {
          problem = FreedTwice(*slot);
          slot->state = State::Reported;
        }
      }
    }
    if (!problem.empty()) {
      ReportMisuse(problem.c_str());
    }
    return block;
  }
  void STDMETHODCALLTYPE PostFree(BOOL) override {}

  SIZE_T STDMETHODCALLTYPE PreRealloc(void* block, SIZE_T bytes, void** newBlock, BOOL) override {
    *newBlock = block;
    std::wstring problem;
    {
      const Exclusive hold(audit.lock);
      if (Slot* slot = Find(block); slot != nullptr && slot->state == State::Live) {
        if (slot->owner == Owner::Object) {
          problem = std::wstring(L"the caller resized memory that ") + slot->call +
                    L" handed out but the object keeps";
        }
        // The caller may resize its own string; the watch ends with the old address.
        slot->state = State::Unused;
      }
    }
    if (!problem.empty()) {
      ReportMisuse(problem.c_str());
    }
    return bytes;
  }
  void* STDMETHODCALLTYPE PostRealloc(void* block, BOOL) override { return block; }

  // SysFreeString asks for the size first and stops quietly when the block is no longer
  // allocated, so a second free of a BSTR shows here.
  void* STDMETHODCALLTYPE PreGetSize(void* block, BOOL) override {
    std::wstring problem;
    {
      const Exclusive hold(audit.lock);
      if (Slot* slot = Find(block); slot != nullptr && slot->state == State::Freed) {
        problem = FreedTwice(*slot);
        slot->state = State::Reported;
      }
    }
    if (!problem.empty()) {
      ReportMisuse(problem.c_str());
    }
    return block;
  }
  SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T bytes, BOOL) override { return bytes; }

  void* STDMETHODCALLTYPE PreDidAlloc(void* block, BOOL) override { return block; }
  int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int allocated) override { return allocated; }
  void STDMETHODCALLTYPE PreHeapMinimize() override {}
  void STDMETHODCALLTYPE PostHeapMinimize() override {}
};

constinit AllocationSpy spy;

// Runs allocate on this thread and returns the allocation it made through the COM allocator
// (null when it made none), together with allocate's own result.
template <typename Allocate>
auto Captured(Allocate allocate, void*& block) {
  const Exclusive one(audit.captureLock);
  {
    const Exclusive hold(audit.lock);
    audit.captureThread = GetCurrentThreadId();
    audit.captured = nullptr;
  }
  auto result = allocate();
  const Exclusive hold(audit.lock);
  block = audit.captured;
  audit.captureThread = 0;
  return result;
}

bool Calibrate() {
  void* block = nullptr;
  const BSTR probe = Captured([] { return SysAllocString(L"calibration"); }, block);
  if (probe == nullptr || block == nullptr) {
    if (probe != nullptr) {
      SysFreeString(probe);
    }
    return false;
  }
  {
    const Exclusive hold(audit.lock);
    audit.header = reinterpret_cast<const BYTE*>(probe) - static_cast<const BYTE*>(block);
    Watch(block, Owner::Caller, L"calibration");
  }
  SysFreeString(probe);
  const Exclusive hold(audit.lock);
  Slot* slot = Find(block);
  const bool freeSeen = slot != nullptr && slot->state == State::Freed;
  if (slot != nullptr) {
    slot->state = State::Unused;
  }
  return freeSeen;
}

}  // namespace

bool StartAllocationAudit() {
  {
    const Exclusive hold(audit.lock);
    if (audit.started) {
      return audit.usable;
    }
    audit.started = true;
  }
  const HRESULT registered = CoRegisterMallocSpy(&spy);
  const bool usable = (SUCCEEDED(registered) || registered == CO_E_OBJISREG) && Calibrate();
  if (!usable) {
    ReportMisuse(
        L"BSTRs bypass the checking allocator: the process needs OANOCACHE=1 (and no other "
        L"malloc spy)");
  }
  const Exclusive hold(audit.lock);
  audit.usable = usable;
  return usable;
}

BSTR AllocateCallerString(const wchar_t* text, UINT length, const wchar_t* call) {
  void* block = nullptr;
  const BSTR result = Captured([&] { return SysAllocStringLen(text, length); }, block);
  if (result == nullptr || block == nullptr) {
    return result;
  }
  const Exclusive hold(audit.lock);
  Watch(block, Owner::Caller, call);
  return result;
}

void* AllocateTaskMemory(std::size_t bytes, Owner owner, const wchar_t* call) {
  void* block = CoTaskMemAlloc(bytes);
  if (block != nullptr) {
    const Exclusive hold(audit.lock);
    Watch(block, owner, call);
  }
  return block;
}

void FreeObjectMemory(void* memory) {
  if (memory == nullptr) {
    return;
  }
  {
    const Exclusive hold(audit.lock);
    if (Slot* slot = Find(memory)) {
      slot->state = State::Unused;
    }
  }
  CoTaskMemFree(memory);
}

void WatchCallerString(BSTR text, const wchar_t* call) {
  if (text == nullptr) {
    return;
  }
  void* block = nullptr;
  {
    const Exclusive hold(audit.lock);
    if (!audit.usable) {
      return;
    }
    block = reinterpret_cast<BYTE*>(text) - audit.header;
    if (Slot* slot = Find(block); slot != nullptr && slot->state == State::Live) {
      return;
    }
  }
  IMalloc* allocator = nullptr;
  bool allocated = false;
  if (SUCCEEDED(CoGetMalloc(1, &allocator)) && allocator != nullptr) {
    allocated = allocator->DidAlloc(block) == 1;
    allocator->Release();
  }
  if (!allocated) {
    ReportMisuse((std::wstring(call) + L" was given a string that is not a BSTR").c_str());
    return;
  }
  const Exclusive hold(audit.lock);
  Watch(block, Owner::Caller, call);
}

void ReportBlocksNeverFreed() {
  std::vector<std::wstring> problems;
  {
    const Exclusive hold(audit.lock);
    for (const Slot& slot : audit.slots) {
      if (slot.state == State::Live && slot.owner == Owner::Caller) {
        problems.push_back(std::wstring(L"a block from ") + slot.call +
                           L" was never freed by the caller");
      }
    }
  }
  for (const std::wstring& problem : problems) {
    ReportMisuse(problem.c_str());
  }
}

}  // namespace digital_id::stand_in
