// Inside the window layer only: the Qt side of bitmaps and regions.
#pragma once

#include <QImage>
#include <QRegion>

struct BitmapData {
    QImage image;  // RGB32; a monochrome bitmap holds only black and white
    bool mono = false;
};

struct RegionData {
    QRegion region;
};

#include <QFont>

#include "platform/ui/GdiTypes.h"

namespace mvui {
// The Qt font that draws a LOGFONT: the mapped face, the height's sign kept
// (character height below zero, cell height above).
QFont QtFont(const LOGFONT& lf);
}
