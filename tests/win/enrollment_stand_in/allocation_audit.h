#pragma once

#include <windows.h>

#include <oleauto.h>

#include <cstddef>

namespace digital_id::stand_in {

// Who frees a block that the audit watches.
enum class Owner {
  Caller,  // the caller frees it exactly once: a BSTR it passed in or was given, blob data
  Object,  // the object keeps it and frees it itself; the caller must not free it
};

// Puts the checking allocator (an IMallocSpy over the COM task allocator, which also carries
// every BSTR) in place once per process and learns where a BSTR starts inside its allocation.
// False, with a report, when strings bypass the allocator (the string cache is on: the process
// needs OANOCACHE=1).
bool StartAllocationAudit();

// The call arguments below name the call that hands out or receives a block, in reports; they
// must outlive the process (string literals).

// A BSTR copy of text for the caller, who must free it exactly once.
BSTR AllocateCallerString(const wchar_t* text, UINT length, const wchar_t* call);

// COM task memory of the given size for its owner; null when memory is exhausted.
void* AllocateTaskMemory(std::size_t bytes, Owner owner, const wchar_t* call);

// Frees task memory that the object kept (Owner::Object).
void FreeObjectMemory(void* memory);

// Watches a BSTR the caller passed in: it must come from the BSTR allocator and stays the
// caller's, to be freed exactly once.
void WatchCallerString(BSTR text, const wchar_t* call);

// Reports every watched block the caller still holds; called when the process ends.
void ReportBlocksNeverFreed();

}  // namespace digital_id::stand_in
