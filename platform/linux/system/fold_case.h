#pragma once

#include <string>

namespace digital_id {

// Lower-cases UTF-16 text for case-insensitive comparison (ASCII and the common Latin letters).
std::u16string FoldCase(const std::u16string& text);

}  // namespace digital_id
