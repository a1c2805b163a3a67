#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace digital_id {

// Deletes a GDI font.
struct FontDelete {
  void operator()(HFONT font) const { DeleteObject(font); }
};
// An owned GDI font.
using FontPtr = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDelete>;

// A "Trebuchet MS" font of the given height (0: the face's default size) with every other
// attribute at its default; null when it cannot be created.
FontPtr CreateTrebuchetFont(int height);

}  // namespace digital_id
