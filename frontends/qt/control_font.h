#pragma once

#include <QFont>
#include <functional>

namespace digital_id {

// The "Trebuchet MS" font of a control or caption. A height above 0 is the character cell
// height (ascent plus descent, as a Win32 font height counts it). Where the face is missing,
// "Liberation Sans Narrow" stands in, and fontconfig's fallback after it: the window's layout is
// fixed in pixels for Trebuchet MS, and of the faces Debian ships, that narrow face keeps the texts
// of both languages within it at the given cell height. The size is chosen so that the
// substitute's cell fits the height too. Height 0 gives the face at the application's default size.
QFont ControlFont(int height);

// font at its present size when fits accepts it, otherwise at the largest smaller pixel size it
// accepts; at the smallest size tried (6 pixels) when it accepts none.
QFont LargestFittingFont(QFont font, const std::function<bool(const QFont&)>& fits);

}  // namespace digital_id
