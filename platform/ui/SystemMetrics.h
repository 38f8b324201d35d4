// System metrics and system colours: tables of the layer with the values a
// classic desktop gives, replaceable in tests. UI thread only.
#pragma once

#include "platform/ui/GdiTypes.h"
#include "platform/ui/WinUser.h"

int GetSystemMetrics(int index);
COLORREF GetSysColor(int index);
// Device capabilities of the display, as GetDeviceCaps reads them.
constexpr int HORZRES = 8, VERTRES = 10, BITSPIXEL = 12, PLANES = 14, NUMCOLORS = 24,
              LOGPIXELSX = 88, LOGPIXELSY = 90;
int GetDisplayCaps(int index);

// The few system parameters the toolkit reads: whether windows are dragged
// whole (SPI_GETDRAGFULLWINDOWS) and whether captions are gradients
// (SPI_GETGRADIENTCAPTIONS); each writes a BOOL through `value`.
constexpr UINT SPI_GETDRAGFULLWINDOWS = 0x0026, SPI_GETGRADIENTCAPTIONS = 0x1008;
BOOL SystemParametersInfoA(UINT action, UINT param, void* value, UINT winIni);

namespace mvui {
void SetSystemMetric(int index, int value);
void SetSysColor(int index, COLORREF colour);
void SetDisplayCaps(int index, int value);
void SetSystemParameter(UINT action, BOOL value);
// Puts every table back to its defaults.
void ResetSystemTables();
}  // namespace mvui
