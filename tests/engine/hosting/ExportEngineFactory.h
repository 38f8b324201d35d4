// The engine factory of the export tests and benchmark: the program's own
// (with the MIDI-effect host site, the recorder, the clipboards and the clip
// pool that loop players play from), with stand-ins only for the MIDI ports
// and for the sound cards (a scripted one of BlockFrames frames of 16-bit
// stereo in place of each back-end).
//
// ExportEngine: that factory's engine owner at a rate of 16-bit blocks, the
// settings and registry temporary, a song document attached (and known to
// the model as the open song), plug-in servers registered first.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devices/CAppConfig.h"
#include "engine/hosting/CFilterWrap.h"
#include "engine/hosting/CHostingEngineFactory.h"
#include "engine/hosting/CMidiDoc.h"
#include "model/CUndoHistory.h"
#include "platform/com/ComRuntime.h"
#include "platform/registry/Registry.h"
#include "platform/res/CScriptedAnswerer.h"
#include "tests/engine/TransportFakes.h"
#include "tests/support/TempRegistry.h"

namespace mvtest {

template <int BlockFrames>
class ExportEngineFactory : public CHostingEngineFactory {
public:
    // No MIDI ports in a test: the MIDI objects are stand-ins too.
    IMidiInputRouter* CreateMidiInputRouter(IEngineOwner* owner) override
    {
        return new FakeMidiInputRouter(&journal, owner);
    }
    IMidiSource* CreateMidiSource() override { return new FakeMidiSource(&journal); }
    IMidiSyncGen* CreateMidiSyncGen(IMidiSyncHost*) override { return new FakeMidiSyncGen(&journal); }
    IAudioDevice* CreateDirectSound(IEngineOwner* owner) override { return Card("DirectSound", owner); }
    IAudioDevice* CreateWDMAudio(IEngineOwner* owner) override { return Card("WDM", owner); }
    IAudioDevice* CreateAsioDevice(IEngineOwner* owner) override { return Card("ASIO", owner); }
    void DestroyAsioDriverList() override {}

    Journal journal;

private:
    IAudioDevice* Card(const char* name, IEngineOwner* owner)
    {
        DeviceScript script;
        script.fixedBufferBytes = BlockFrames * 4;  // 16-bit stereo
        return new FakeAudioDevice(name, &journal, owner, script);
    }
};

template <int BlockFrames>
class ExportEngine {
public:
    // S_OK when every server registered and the engine and document stand.
    HRESULT StartEngine(int rate, const std::vector<const char*>& servers)
    {
        CUndoHistory::Instance().Clear();
        CFilterWrap::ClearFailedPlugIns();
        for (const char* server : servers) {
            const std::string command = std::string("'") + MVTEST_REGSVR + "' '" + server + "' >/dev/null 2>&1";
            const int status = std::system(command.c_str());
            mvreg::ReloadHives();
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
                return E_FAIL;
        }
        factory.journal.SetEnabled(false);
        CAppConfig::SetRewireDeviceMode(false);
        config.emplace();
        CAppConfig::SetDriverType(CTransport::kDriverDirectSound);
        CAppConfig::SetSampleRate(rate);
        CAppConfig::SetBitDepth(16);
        transport = std::make_unique<CTransport>(&factory);
        HRESULT hr = transport->Init(FALSE);
        if (SUCCEEDED(hr))
            hr = CMidiDoc::CreateMidiDoc(transport.get(), &doc);
        if (FAILED(hr))
            return hr;
        // The open song, as the program's document makes it known.
        SetSongDocument(doc);
        return transport->SetDocument(doc);
    }
    void StopEngine()
    {
        if (transport)
            transport->SetDocument(nullptr);
        SetSongDocument(nullptr);
        if (doc)
            CMidiDoc::DestroyMidiDoc(doc);
        transport.reset();
        config.reset();
        CUndoHistory::Instance().Clear();
        CFilterWrap::ClearFailedPlugIns();
        CoFreeUnusedLibraries();
    }
    ~ExportEngine() { StopEngine(); }

    TempRegistry registry;
    std::optional<CAppConfig> config;
    std::shared_ptr<CScriptedAnswerer> prompts = std::make_shared<CScriptedAnswerer>();
    CPromptAnswererScope promptScope{prompts};
    ExportEngineFactory<BlockFrames> factory;
    std::unique_ptr<CTransport> transport;
    CMidiDoc* doc = nullptr;
};

}  // namespace mvtest
