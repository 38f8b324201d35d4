#include "platform/ui/SystemMetrics.h"

#include <array>
#include <map>

namespace {

// A classic grey desktop: 96 dots per inch, true colour.
constexpr COLORREF kDefaultColours[MV_SYSCOLOR_COUNT] = {
    RGB(212, 208, 200), RGB(58, 110, 165),  RGB(10, 36, 106),   RGB(128, 128, 128),
    RGB(212, 208, 200), RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 0, 0),
    RGB(0, 0, 0),       RGB(255, 255, 255), RGB(212, 208, 200), RGB(212, 208, 200),
    RGB(128, 128, 128), RGB(10, 36, 106),   RGB(255, 255, 255), RGB(212, 208, 200),
    RGB(128, 128, 128), RGB(128, 128, 128), RGB(0, 0, 0),       RGB(212, 208, 200),
    RGB(255, 255, 255), RGB(64, 64, 64),    RGB(212, 208, 200), RGB(0, 0, 0),
    RGB(255, 255, 225), RGB(181, 181, 181), RGB(0, 0, 128),     RGB(166, 202, 240),
    RGB(192, 192, 192), RGB(49, 106, 197),  RGB(236, 233, 216)};

int DefaultMetric(int index)
{
    switch (index) {
    case SM_CXSCREEN: return 1920;
    case SM_CYSCREEN: return 1080;
    case SM_CXVSCROLL: case SM_CYHSCROLL: return 16;
    case SM_CYCAPTION: return 19;
    case SM_CXSIZE: case SM_CYSIZE: return 18;
    case SM_CXBORDER: case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME: case SM_CYDLGFRAME: return 3;
    case SM_CXICON: case SM_CYICON: case SM_CXCURSOR: case SM_CYCURSOR: return 32;
    case SM_CYMENU: return 19;
    case SM_CXDOUBLECLK: case SM_CYDOUBLECLK: return 4;
    case SM_CXEDGE: case SM_CYEDGE: return 2;
    case SM_CXSMICON: case SM_CYSMICON: return 16;
    case SM_CYSMCAPTION: return 15;
    case SM_CXDRAG: case SM_CYDRAG: return 4;
    case SM_CXFRAME: case SM_CYFRAME: return 4;
    case SM_CXVIRTUALSCREEN: return GetSystemMetrics(SM_CXSCREEN);
    case SM_CYVIRTUALSCREEN: return GetSystemMetrics(SM_CYSCREEN);
    default: return 0;
    }
}

int DefaultCaps(int index)
{
    switch (index) {
    case HORZRES: return 1920;
    case VERTRES: return 1080;
    case BITSPIXEL: return 32;
    case PLANES: return 1;
    case NUMCOLORS: return -1;
    case LOGPIXELSX: case LOGPIXELSY: return 96;
    default: return 0;
    }
}

struct Tables {
    std::map<int, int> metrics;
    std::map<int, int> caps;
    std::map<UINT, BOOL> parameters;
    std::array<COLORREF, MV_SYSCOLOR_COUNT> colours;
    Tables() { Reset(); }
    void Reset()
    {
        metrics.clear();
        caps.clear();
        parameters.clear();
        for (int i = 0; i < MV_SYSCOLOR_COUNT; ++i)
            colours[static_cast<std::size_t>(i)] = kDefaultColours[i];
    }
};

Tables& State()
{
    static Tables t;
    return t;
}

}  // namespace

int GetSystemMetrics(int index)
{
    auto it = State().metrics.find(index);
    return it != State().metrics.end() ? it->second : DefaultMetric(index);
}

COLORREF GetSysColor(int index)
{
    if (index < 0 || index >= MV_SYSCOLOR_COUNT)
        return 0;
    return State().colours[static_cast<std::size_t>(index)];
}

int GetDisplayCaps(int index)
{
    auto it = State().caps.find(index);
    return it != State().caps.end() ? it->second : DefaultCaps(index);
}

// A classic desktop drags whole windows and draws gradient captions.
BOOL SystemParametersInfoA(UINT action, UINT, void* value, UINT)
{
    if (!value || (action != SPI_GETDRAGFULLWINDOWS && action != SPI_GETGRADIENTCAPTIONS))
        return FALSE;
    auto it = State().parameters.find(action);
    *static_cast<BOOL*>(value) = it != State().parameters.end() ? it->second : TRUE;
    return TRUE;
}

namespace mvui {

void SetSystemParameter(UINT action, BOOL value) { State().parameters[action] = value; }

void SetSystemMetric(int index, int value) { State().metrics[index] = value; }

void SetSysColor(int index, COLORREF colour)
{
    if (index >= 0 && index < MV_SYSCOLOR_COUNT)
        State().colours[static_cast<std::size_t>(index)] = colour;
}

void SetDisplayCaps(int index, int value) { State().caps[index] = value; }

void ResetSystemTables() { State().Reset(); }

}  // namespace mvui
