#include "uikit/CBaseApp.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <utility>
#include <sys/file.h>
#include <unistd.h>

#include "platform/res/Resources.h"
#include "platform/ui/SystemMetrics.h"
#include "platform/win/MulDiv.h"
#include "uikit/DrawHelpers.h"
#include "uikit/core/CAppRegKey.h"
#include "uikit/core/ResString.h"

CFont CBaseApp::s_font;
CFont CBaseApp::s_fontAnsi;
CFont CBaseApp::s_fontBold;
CFont CBaseApp::s_fontItalic;
CFont CBaseApp::s_fontSmall;
int CBaseApp::s_lineHeight = 0;
int CBaseApp::s_avgCharWidth = 0;
CPalette CBaseApp::s_palette;
UINT CBaseApp::s_spinCtrlDropped = 0;
bool CBaseApp::s_shiftJis = false;

namespace {

constexpr UINT IDS_APP_FONT_FACE = 34481;
constexpr UINT IDS_APP_SMALL_FONT_FACE = 34482;

LOGFONT MakeFont(LONG height, int weight, BYTE italic, BYTE charSet, BYTE pitch, const char* face)
{
    LOGFONT lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfItalic = italic;
    lf.lfCharSet = charSet;
    lf.lfQuality = ANTIALIASED_QUALITY;
    lf.lfPitchAndFamily = pitch;
    std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return lf;
}

// A named lock that lives as long as the process holding it: a file lock in
// the user's runtime folder stands in for a named mutex.
std::string LockPath(const char* name)
{
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    std::string path = dir && *dir ? dir : "/tmp";
    path += "/morvane-instance-";
    for (const char* p = name; p && *p; ++p)
        path += (std::isalnum(static_cast<unsigned char>(*p)) || *p == '.' || *p == '-') ? *p : '_';
    return path;
}

}  // namespace

CBaseApp::CBaseApp(const char* appName, const char* appVersion) : CWinApp(nullptr)
{
    CAppRegKey::SetAppRegistryRoot(appName, appVersion);
    CLocalization::Init();
    m_firstRunOfVersion = false;
    m_newVersionOnce = false;
    s_spinCtrlDropped = RegisterWindowMessageA("spinctrl_dropped");
    s_shiftJis = m_language == Japanese;
}

CBaseApp::~CBaseApp()
{
    if (m_instanceLock >= 0)
        ::close(m_instanceLock);
}

BOOL CBaseApp::InitApplication()
{
    return CWinApp::InitApplication();
}

int CBaseApp::ExitInstance()
{
    CString version;
    GetModuleVersionString(AfxGetInstanceHandle(), "ProductVersion", version);
    CWinApp::WriteProfileString("Options", "LastVerExecuted", version);
    return CWinApp::ExitInstance();
}

void CBaseApp::WinHelp(DWORD_PTR data, UINT command)
{
    CWnd* main = AfxGetMainWnd();
    m_help.m_window = main ? main->m_hWnd : nullptr;
    if (FAILED(m_help.Call(command, data)))
        m_help.Call(5);
}

void CBaseApp::SetHelpFile(const char* name)
{
    m_help.Init(AfxGetInstanceHandle(), nullptr, name);
    m_strHelpFilePath = m_help.m_path;
}

void CBaseApp::CreateAppFonts(int pointSize, BYTE charSet, int boldWeight)
{
    CDC display;
    display.CreateDC("DISPLAY");
    const LONG height = -MulDiv(pointSize, display.GetDeviceCaps(LOGPIXELSY), 72);
    const char* face = LoadResString(IDS_APP_FONT_FACE);
    const BYTE swiss = VARIABLE_PITCH | FF_SWISS;
    LOGFONT lf = MakeFont(height, FW_NORMAL, 0, charSet, swiss, face);
    s_font.CreateFontIndirect(&lf);
    lf.lfCharSet = ANSI_CHARSET;
    s_fontAnsi.CreateFontIndirect(&lf);
    lf = MakeFont(height, boldWeight, 0, charSet, swiss, face);
    s_fontBold.CreateFontIndirect(&lf);
    lf = MakeFont(height, FW_NORMAL, 1, charSet, swiss, face);
    s_fontItalic.CreateFontIndirect(&lf);
    const LONG small = -MulDiv(MulDiv(pointSize, 9, 10), display.GetDeviceCaps(LOGPIXELSY), 72);
    lf = MakeFont(small, 0, 0, charSet, 0, LoadResString(IDS_APP_SMALL_FONT_FACE));
    s_fontSmall.CreateFontIndirect(&lf);

    CFont* old = display.SelectObject(&s_fontBold);
    TEXTMETRIC tm{};
    display.GetTextMetrics(&tm);
    s_lineHeight = std::max<int>(8, tm.tmHeight + tm.tmExternalLeading);
    s_avgCharWidth = tm.tmAveCharWidth;
    display.SelectObject(old);
}

void CBaseApp::CreateAppPalette()
{
    CDC display;
    display.CreateDC("DISPLAY");
    s_palette.CreateHalftonePalette(&display);
    SetGradientPalette(&s_palette);
}

void CBaseApp::DestroyAppObjects()
{
    SetGradientPalette(nullptr);
    s_font.DeleteObject();
    s_fontAnsi.DeleteObject();
    s_fontBold.DeleteObject();
    s_fontItalic.DeleteObject();
    s_fontSmall.DeleteObject();
}

UINT CBaseApp::GetProfileInt(const char* entry, int defaultValue, const char* section)
{
    return CWinApp::GetProfileInt(section ? section : m_defaultSection.GetString(), entry, defaultValue);
}

void CBaseApp::GetProfileString(CString& out, const char* entry, const char* defaultValue, const char* section)
{
    out = CWinApp::GetProfileString(section ? section : m_defaultSection.GetString(), entry,
                                    defaultValue ? defaultValue : "");
}

BOOL CBaseApp::WriteProfileInt(const char* entry, int value, const char* section)
{
    return CWinApp::WriteProfileInt(section ? section : m_defaultSection.GetString(), entry, value);
}

BOOL CBaseApp::WriteProfileString(const char* entry, const char* value, const char* section)
{
    return CWinApp::WriteProfileString(section ? section : m_defaultSection.GetString(), entry, value);
}

bool CBaseApp::CheckSingleInstance(const char* name)
{
    const std::string path = LockPath(name);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return true;  // nowhere to keep the lock: do not stop the program from starting
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        if (m_instanceLock >= 0)
            ::close(m_instanceLock);
        m_instanceLock = fd;
        return true;
    }
    ::close(fd);
    // Another instance holds it.
    if (GetProfileInt("MultipleInstance", 0) != 0)
        return true;
    // Its window belongs to another process; there is nothing of ours to bring forward.
    return false;
}

void CBaseApp::CheckFirstRunOfVersion()
{
    CString version;
    GetModuleVersionString(AfxGetInstanceHandle(), "ProductVersion", version);
    const CString last = CWinApp::GetProfileString("Options", "LastVerExecuted", "");
    if (version.CompareNoCase(last) != 0) {
        m_firstRunOfVersion = true;
        m_newVersionOnce = true;
    }
}

bool CBaseApp::TakeNewVersionFlag()
{
    return std::exchange(m_newVersionOnce, false);
}
