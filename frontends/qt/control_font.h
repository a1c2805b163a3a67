#pragma once

#include <QFont>

namespace digital_id {

// The "Trebuchet MS" font of a control or caption. A height above 0 is the character cell
// height (ascent plus descent, as a Win32 font height counts it). Where the face is missing,
// "Liberation Sans" stands in, and fontconfig's fallback after it; the size is chosen so that the
// substitute's cell fits the height too. Height 0 gives the face at the application's default size.
QFont ControlFont(int height);

}  // namespace digital_id
