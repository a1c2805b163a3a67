#pragma once

#include <windows.h>

namespace digital_id::stand_in {

// Each makes one new object of a class the stand-in registers and asks it for interface iid;
// the usual results of CoCreateInstance.
HRESULT CreatePrivateKeyObject(REFIID iid, void** object);
HRESULT CreateRequestObject(REFIID iid, void** object);
HRESULT CreateEnrollmentObject(REFIID iid, void** object);
HRESULT CreateLegacyEnrollObject(REFIID iid, void** object);

// Whether iid names IEnroll4 (or IUnknown), for the legacy control's QueryInterface.
bool IsLegacyEnrollInterface(REFIID iid);

}  // namespace digital_id::stand_in
