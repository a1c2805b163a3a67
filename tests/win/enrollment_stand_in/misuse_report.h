#pragma once

#include <windows.h>

namespace digital_id::stand_in {

// Name of the environment variable that holds the report file's path. Every call the stand-in
// refuses as a misuse adds one line there, so a run that misused the objects fails its checks
// even where the caller ignores the failure results.
inline constexpr wchar_t kReportVariable[] = L"DIGITAL_ID_STAND_IN_REPORT";

// Appends "misuse: <what>" to the report file; nothing when the variable is not set.
void ReportMisuse(const wchar_t* what);

// Reports the misuse and returns the failure result the call gives.
HRESULT Misuse(HRESULT result, const wchar_t* what);

}  // namespace digital_id::stand_in
