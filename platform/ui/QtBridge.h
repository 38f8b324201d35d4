// Where the window layer meets Qt, for the layer's own sources and for
// tests that look at pixels or drive Qt events: the widget and the image
// surface behind a window, and the image behind a bitmap. Nothing above the
// layer includes this. UI thread only.
#pragma once

#include <QImage>
#include <QWidget>

#include "platform/ui/WinUser.h"

class CBitmap;

namespace mvui {
// Null for a stale handle.
QWidget* WindowWidget(HWND hwnd);
// The window's persistent surface (its whole rectangle); an empty image for a stale handle.
QImage WindowSurface(HWND hwnd);
QImage BitmapImage(const CBitmap& bitmap);
// Makes a bitmap from an image (kept as RGB32).
void SetBitmapImage(CBitmap& bitmap, const QImage& image);
// The interval of a running window timer in milliseconds, 0 when it is not running.
int TimerInterval(HWND hwnd, UINT_PTR id);
// QApplication must exist before windows are made; tests call this once.
void EnsureApplication();
}  // namespace mvui
