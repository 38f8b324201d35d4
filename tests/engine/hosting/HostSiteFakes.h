// A song document as the MIDI-effect host site sees it (real tempo and
// meter/key maps, a marker list, the step preview and the chain pump
// counted) and an engine owner with a real timer service.
#pragma once

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "engine/CTimer.h"
#include "engine/ITransportDocument.h"
#include "engine/IMfxSiteDocument.h"
#include "engine/IMfxSiteEngine.h"
#include "model/CMeterKeySigMap.h"
#include "model/CTempoMap.h"

namespace sitetest {

class FakeSiteDocument final : public ITransportDocument, public IMfxSiteDocument {
public:
    // ITransportDocument: nothing the site uses.
    BOOL GetSendMidiSync() override { return FALSE; }
    LONG GetTicksPerQuarter() override { return 960; }
    LONG GetGraphDirty() override { return 0; }
    IRenderDocument* GetRenderDocument() override { return nullptr; }
    IRenderTargets* GetRenderTargets() override { return nullptr; }
    CTempoMap* GetTempoMap() override { return &tempo; }
    void SetMetronomeOn(BOOL) override {}
    WORD GetActivePatternId() override { return kNoPattern; }
    HRESULT GetPatternTimes(WORD, LONG*, LONG*) override { return E_INVALIDARG; }
    HRESULT CommitLiveTempo(BOOL) override { return S_OK; }
    HRESULT OnBufferTempoHook(LONG, LONG) override { return S_OK; }
    HRESULT ResetInstanceCursors(WORD) override { return S_OK; }
    HRESULT ConnectAllContainers() override { return S_OK; }
    HRESULT InvalidateGraph() override { return S_OK; }
    HRESULT RebuildGraph() override { return S_OK; }

    const CTempoMap& GetSiteTempoMap() override { return tempo; }
    const CMeterKeySigMap& GetSiteMeterKeySigMap() override { return meter; }
    int GetMarkerCount() override { return static_cast<int>(markers.size()); }
    HRESULT GetMarker(int index, LONG* tick, CString* name) override
    {
        if (index < 0 || index >= GetMarkerCount())
            return E_INVALIDARG;
        *tick = markers[static_cast<std::size_t>(index)].first;
        if (name)
            *name = markers[static_cast<std::size_t>(index)].second.c_str();
        return S_OK;
    }
    HRESULT SetStepPreview(WORD channelId, BOOL on) override
    {
        previews.push_back({channelId, on});
        return previewResult;
    }
    void PumpMfxChains() override { ++pumps; }

    CTempoMap tempo;
    CMeterKeySigMap meter;
    std::vector<std::pair<LONG, std::string>> markers;
    std::vector<std::pair<WORD, BOOL>> previews;
    HRESULT previewResult = S_OK;
    std::atomic<int> pumps{0};
};

class FakeSiteEngine final : public IMfxSiteEngine {
public:
    CTimer* GetSiteTimer() override { return timer; }
    int GetSiteSampleRate() override { return rate; }
    CTimer* timer = nullptr;
    int rate = 44100;
};

}  // namespace sitetest
