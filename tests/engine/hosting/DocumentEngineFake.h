// The engine owner as the song document sees it, for the document's tests
// and benchmarks: a real filter graph, a MIDI source that takes every sink,
// fixed audio properties (48 kHz), no sync generator and the host site a
// test hands it (none by default); it
// notes the document it is handed, its re-seeks and its posted messages.
#pragma once

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "devices/IMidiSource.h"
#include "engine/IDocumentEngine.h"
#include "engine/graph/CDxFilterGraph.h"
#include "engine/graph/IAudioProperties.h"

namespace songdoctest {

class FakeMidiSource final : public IMidiSource {
public:
    HRESULT Init() override { return S_OK; }
    HRESULT AddSink(CMidiSink* sink) override
    {
        sinks.push_back(sink);
        return S_OK;
    }
    HRESULT AddPrioritySink(CMidiSink*) override { return S_OK; }
    HRESULT RemoveSink(CMidiSink* sink) override
    {
        auto at = std::find(sinks.begin(), sinks.end(), sink);
        if (at == sinks.end())
            return E_FAIL;
        sinks.erase(at);
        return S_OK;
    }
    HRESULT RemovePrioritySink(CMidiSink*) override { return S_OK; }

    // The normal sinks, in the order they came.
    std::vector<CMidiSink*> sinks;
};

class FixedAudio final : public IAudioProperties {
public:
    int GetSampleRate() override { return 48000; }
    LONGLONG GetSamplePosition() override { return 0; }
};

// The engine owner as the document sees it: a real filter graph, a MIDI
// source, fixed audio properties, no sync generator and no host site;
// notes what it is told.
class FakeEngine final : public IDocumentEngine {
public:
    FakeEngine()
    {
        HRESULT hr = S_OK;
        graph = new CDxFilterGraph(&hr);
    }
    ~FakeEngine() { delete graph; }

    HRESULT SetDocument(ITransportDocument* d) override
    {
        document = d;
        return S_OK;
    }
    CDxFilterGraph* GetFilterGraph() const override { return graph; }
    IAudioProperties* GetAudioProperties() override { return &audio; }
    IMidiSource* GetMidiSource() const override { return midiSource; }
    IMidiInputRouter* GetMidiInputRouter() const override { return router; }
    IMidiSyncGen* GetMidiSyncGen() const override { return nullptr; }
    IMfxHostSite* GetMfxHostSite() const override { return hostSite; }
    HRESULT ResyncEngine() override
    {
        ++resyncs;
        return S_OK;
    }
    void PostToMainWindow(UINT message, WPARAM, LPARAM) override { posted.push_back(message); }
    bool IsPlaying() override { return playing; }
    bool IsCountInActive() override { return false; }
    DWORD GetRecordMode() const override { return recordMode; }
    LONG GetPlayMode() const override { return playMode; }
    HRESULT Play() override
    {
        playing = true;
        ++plays;
        return S_OK;
    }
    HRESULT Stop() override
    {
        playing = false;
        playMode = 0;
        ++stops;
        return S_OK;
    }
    HRESULT SetRecordMode(DWORD bits) override
    {
        recordMode = bits;
        return S_OK;
    }
    void AddEngineError(const char* text) override { errors.push_back(text); }
    LONG GetNowTicks(BOOL) override { return now.load(); }
    HRESULT Locate(LONG tick) override
    {
        located.push_back(tick);
        now = tick;
        return S_OK;
    }
    HRESULT SetPlayMode(LONG flag) override
    {
        playMode = flag;
        return S_OK;
    }

    CDxFilterGraph* graph = nullptr;
    FixedAudio audio;
    FakeMidiSource source;
    IMidiSource* midiSource = &source;
    // Not owned; null: none.
    IMfxHostSite* hostSite = nullptr;
    ITransportDocument* document = nullptr;
    bool playing = false;
    DWORD recordMode = 0;
    LONG playMode = 0;
    // Every Locate, in order.
    std::vector<LONG> located;
    // Not owned; null: none.
    IMidiInputRouter* router = nullptr;
    int plays = 0;
    int stops = 0;
    std::vector<std::string> errors;
    // The song position the engine reports; set by a test, read by the
    // recorder on any thread.
    std::atomic<LONG> now{0};
    int resyncs = 0;
    std::vector<UINT> posted;
};

}  // namespace songdoctest
