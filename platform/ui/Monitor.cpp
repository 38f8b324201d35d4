#include "platform/ui/Monitor.h"

#include <QGuiApplication>
#include <QScreen>
#include <climits>

namespace {

std::vector<RECT>& Injected()
{
    static std::vector<RECT> list;
    return list;
}

std::vector<RECT> Monitors()
{
    if (!Injected().empty())
        return Injected();
    std::vector<RECT> list;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (QScreen* primary = QGuiApplication::primaryScreen()) {
            const QRect g = primary->geometry();
            list.push_back(RECT{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()});
        }
        for (QScreen* s : QGuiApplication::screens()) {
            if (s == QGuiApplication::primaryScreen())
                continue;
            const QRect g = s->geometry();
            list.push_back(RECT{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()});
        }
    }
    return list;
}

long long DistanceSquared(const RECT& r, POINT p)
{
    const long long dx = p.x < r.left ? r.left - p.x : p.x >= r.right ? p.x - r.right + 1 : 0;
    const long long dy = p.y < r.top ? r.top - p.y : p.y >= r.bottom ? p.y - r.bottom + 1 : 0;
    return dx * dx + dy * dy;
}

}  // namespace

HMONITOR MonitorFromPoint(POINT point, DWORD flags)
{
    const std::vector<RECT> list = Monitors();
    std::size_t best = 0;
    long long bestDistance = LLONG_MAX;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const long long d = DistanceSquared(list[i], point);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    if (list.empty())
        return nullptr;
    if (bestDistance != 0) {
        if (flags == MONITOR_DEFAULTTONULL)
            return nullptr;
        if (flags == MONITOR_DEFAULTTOPRIMARY)
            best = 0;
    }
    return reinterpret_cast<HMONITOR>(best + 1);
}

BOOL GetMonitorInfoA(HMONITOR monitor, MONITORINFO* info)
{
    const std::vector<RECT> list = Monitors();
    const auto index = reinterpret_cast<std::uintptr_t>(monitor);
    if (!info || index == 0 || index > list.size())
        return FALSE;
    info->rcMonitor = list[index - 1];
    info->rcWork = list[index - 1];
    info->dwFlags = index == 1 ? 1 : 0;
    return TRUE;
}

namespace mvui {
void SetMonitors(const std::vector<RECT>& monitors)
{
    Injected() = monitors;
}
}  // namespace mvui
