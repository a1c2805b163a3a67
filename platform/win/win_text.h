#pragma once

// The wide-text conversions of the Windows backend live in base/, where the Win32 front end
// finds them too.
#include "base/wide_text.h"
