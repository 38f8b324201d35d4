#include "app/CRewireDeviceApp.h"

#include <signal.h>
#include <sys/stat.h>
#include <time.h>

#include <climits>
#include <string>

#include "devices/CAppConfig.h"
#include "devices/CAudioRenderer.h"
#include "engine/CTransport.h"
#include "engine/hosting/CHostedRewireDevice.h"
#include "engine/hosting/CHostingEngineFactory.h"
#include "engine/hosting/CProjectDocument.h"
#include "model/CUndoHistory.h"
#include "platform/com/ComRuntime.h"
#include "platform/ipc/Mailslot.h"
#include "platform/registry/Profile.h"
#include "platform/rewire/MvDeviceProtocol.h"
#include "platform/sync/ThreadAffinity.h"
#include "uikit/core/ModulePath.h"

namespace {

volatile sig_atomic_t g_endRequested = 0;

void OnEndRequest(int) { g_endRequested = 1; }

void CatchEndRequests()
{
    struct sigaction action {};
    action.sa_handler = OnEndRequest;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

void SleepMs(unsigned ms)
{
    timespec t{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    nanosleep(&t, nullptr);
}

bool MailslotStands()
{
    HANDLE slot = OpenMailslotA(mvdevice::kMailslotName);
    if (slot == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(slot);
    return true;
}

// The file of that name beside the program, when there is one.
std::string BesideProgram(const char* name)
{
    char path[PATH_MAX];
    struct stat st {};
    if (!BuildModulePath(nullptr, path, sizeof path, name) || stat(path, &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    return path;
}

// The song the program starts with; a file that cannot be opened ends the
// start, as a failing shell command does.
HRESULT OpenFirstSong(CProjectDocument& project, const CMvCommandLineInfo& commandLine)
{
    HRESULT hr = project.NewDocument();
    if (FAILED(hr))
        return hr;
    if (!commandLine.FileName().empty())
        return project.LoadProject(commandLine.FileName().c_str());
    std::string first = BesideProgram("AUTORUN.MVP");
    if (first.empty())
        first = BesideProgram("TEMPLATE.MVT");
    return first.empty() ? S_OK : project.LoadProject(first.c_str());
}

}  // namespace

bool CRewireDeviceApp::IsDeviceMode(const CMvCommandLineInfo& commandLine)
{
    return MailslotStands() || commandLine.ReWirePanel();
}

int CRewireDeviceApp::Run(const CMvCommandLineInfo& commandLine)
{
    MV_ASSERT_UI_THREAD();
    g_endRequested = 0;
    CatchEndRequests();
    CoInitialize(nullptr);
    SetRegistryKey("Varnholt Music Software\\Morvane");
    SetProfileName("1.0");
    int exitCode = 1;
    {
        CAppConfig settings;
        // Missing folders beside the program do not keep the device from playing.
        CAppConfig::Load();
        CAppConfig::SetRewireDeviceMode(true);
        CUndoHistory::Instance().SetMaxLevels(CAppConfig::GetUndoDepth());

        CHostingEngineFactory factory;
        CTransport transport(&factory);
        if (SUCCEEDED(transport.Init(TRUE))) {
            CProjectDocument::Setup setup;
            setup.engine = &transport;
            setup.engineOwner = &transport;
            setup.rendererLock = &transport.GetAudioRenderer()->GetLock();
            CProjectDocument project(setup);
            if (SUCCEEDED(OpenFirstSong(project, commandLine))) {
                exitCode = 0;
                for (int tick = 1; !g_endRequested; ++tick) {
                    SleepMs(kTickMs);
                    if (tick % kTicksPerReset != 0)
                        continue;
                    if (!MailslotStands())
                        break;
                    if (transport.NeedsAudioReset() == S_OK && transport.ApplyAudioReset() == S_OK) {
                        if (auto* device = dynamic_cast<CHostedRewireDevice*>(transport.GetRewireDevice()))
                            device->RefreshTaps();
                    }
                }
            }
            // The device first: its worker renders the song that goes next.
            transport.CloseAudioDevice();
        }
        transport.Shutdown();
        CUndoHistory::Instance().Clear();
        CAppConfig::Save();
    }
    CoUninitialize();
    return exitCode;
}
