// The toolkit's application class, which the program's application object
// derives from: the application's registry key texts, the user-interface
// language, the shared fonts and display metrics, the halftone palette,
// profile access with a default section, the single-instance check, the
// first-run-of-a-new-version flag and help through the help viewer.
// UI thread only.
#pragma once

#include "platform/ui/CDC.h"
#include "platform/ui/CWinApp.h"
#include "uikit/CHelpFile.h"
#include "uikit/CLocalization.h"

class CBaseApp : public CWinApp, public CLocalization {
public:
    CBaseApp(const char* appName, const char* appVersion);
    ~CBaseApp() override;

    BOOL InitApplication() override;
    int ExitInstance() override;
    void WinHelp(DWORD_PTR data, UINT command = HELP_CONTEXT) override;

    // Fonts of the whole program from string resource 34481 ("Tahoma") at
    // `pointSize`; then the line height and average character width of the bold one.
    static void CreateAppFonts(int pointSize, BYTE charSet, int boldWeight);
    static void CreateAppPalette();
    static void DestroyAppObjects();

    void SetProfileSection(const char* section) { m_defaultSection = section; }
    const CString& GetProfileSection() const { return m_defaultSection; }
    UINT GetProfileInt(const char* entry, int defaultValue, const char* section = nullptr);
    void GetProfileString(CString& out, const char* entry, const char* defaultValue = nullptr,
                          const char* section = nullptr);
    BOOL WriteProfileInt(const char* entry, int value, const char* section = nullptr);
    BOOL WriteProfileString(const char* entry, const char* value, const char* section = nullptr);

    // True when this instance may run: no other holds the name, or the
    // profile's "MultipleInstance" allows more than one. Brings a running
    // instance's window forward when it refuses.
    bool CheckSingleInstance(const char* name);
    // Compares the module's "ProductVersion" with the profile's "LastVerExecuted".
    void CheckFirstRunOfVersion();
    bool IsFirstRunOfVersion() const { return m_firstRunOfVersion; }
    // The first-run flag once; false afterwards.
    bool TakeNewVersionFlag();
    void SetHelpFile(const char* name);

    CHelpFile m_help;

    static CFont s_font;
    static CFont s_fontAnsi;
    static CFont s_fontBold;
    static CFont s_fontItalic;
    static CFont s_fontSmall;
    static int s_lineHeight;
    static int s_avgCharWidth;
    static CPalette s_palette;
    static UINT s_spinCtrlDropped;
    static bool s_shiftJis;

private:
    CString m_defaultSection;
    bool m_firstRunOfVersion = false;
    bool m_newVersionOnce = false;
    int m_instanceLock = -1;
};
