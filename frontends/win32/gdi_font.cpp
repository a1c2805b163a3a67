#include "frontends/win32/gdi_font.h"

namespace digital_id {

FontPtr CreateTrebuchetFont(int height) {
  return FontPtr(CreateFontW(height, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, L"Trebuchet MS"));
}

}  // namespace digital_id
