#include "platform/ui/HtmlHelp.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace {

mvui::HelpViewer& Viewer()
{
    static mvui::HelpViewer viewer;
    return viewer;
}

bool DesktopViewer(const char* file, UINT, DWORD_PTR)
{
    const QString path = QString::fromUtf8(file);
    if (!QFileInfo::exists(path))
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

// What a successful call answers with: never a real window, never null.
HWND ViewerToken()
{
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0xFFFF0001u));
}

}  // namespace

HWND HtmlHelpA(HWND, LPCSTR file, UINT command, DWORD_PTR data)
{
    if (command == HH_INITIALIZE) {
        static DWORD nextCookie = 1;
        if (data)
            *reinterpret_cast<DWORD*>(data) = nextCookie++;
        return ViewerToken();
    }
    if (command == HH_UNINITIALIZE || command == HH_CLOSE_ALL)
        return ViewerToken();
    if (!file || !*file)
        return nullptr;
    const bool shown = Viewer() ? Viewer()(file, command, data) : DesktopViewer(file, command, data);
    return shown ? ViewerToken() : nullptr;
}

namespace mvui {

void SetHelpViewer(HelpViewer viewer)
{
    Viewer() = std::move(viewer);
}

}  // namespace mvui
