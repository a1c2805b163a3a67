#pragma once

#include <QIcon>
#include <QImage>

namespace digital_id {

// The program's icon drawn at size by size pixels: an identity card with a portrait and lines of
// text, on a transparent background.
QImage DrawAppIcon(int size);

// The program's icon at the usual sizes (16, 32, 48, 256).
QIcon AppIcon();

}  // namespace digital_id
