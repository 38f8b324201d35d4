// The master bus ("Master Bus"), the end of the song's audio graph: every
// output branch and aux bus feeds its sum mixer ("MainSumMixer"); the sum
// runs through the metronome's click source ("Metronome"), the master
// insert-effect chain, a gain/pan filter ("MainBusGainPan") and a buffer
// matcher ("MainBusBufMatcher") into the graph's buffer renderer
// ("Render"), from which the audio renderer takes each block. Without a
// click source the sum goes straight to the chain.
//
// The document's rebuild runs RemoveFromGraph, AddToGraph and ConnectGraph
// in that order on the UI thread; the bus's own filters are one section,
// its chain another.
//
// Saved form: major 0x6010, minor 2. Chunk 0: the parameter set and the
// gain/pan filter's state; chunk 1: the effect chain and the automation
// pattern; chunk 2: the metronome.
//
// Threads as CMixBus.
#pragma once

#include "engine/graph/CDxBufRenderer.h"
#include "engine/mixer/CMetronome.h"
#include "engine/mixer/CMixBus.h"

struct IBufferMatcher;

// {01EEA979-51F5-4573-A99E-0A1403F5406E}: the key of the master bus's own
// parameters.
MV_DEFINE_GUID(kMainBusGroupClass, 0x01EEA979, 0x51F5, 0x4573, 0xA9, 0x9E, 0x0A, 0x14, 0x03, 0xF5, 0x40, 0x6E);

class CMainBus : public CMixBus {
public:
    static constexpr WORD kMajor = 0x6010;
    static constexpr WORD kMinor = 2;

    // A built bus with its metronome, parameters and automation; null when
    // any step but the metronome's fails.
    static CMainBus* Create(IBusDocument* document, WORD index);
    // The graph objects, the metronome, the automation, every effect
    // wrapper, then the bus; the pointer is cleared.
    static void Destroy(CMainBus*& bus);

    // ---- Graph (UI thread) ----
    // E_UNEXPECTED without graph or audio properties; a click source that
    // cannot be made leaves the bus without clicks.
    HRESULT Build();
    HRESULT RemoveFromGraph();
    HRESULT AddToGraph();
    HRESULT ConnectGraph();
    HRESULT ReleaseFilterObjects();
    // ReleaseFilterObjects, then closes every effect's property window.
    HRESULT ReleaseGraphObjects();
    HRESULT InvalidateGraph();
    // A free input of the sum mixer (a new one when none is free), marked
    // used, no reference added; null without mixer.
    IPin* AddMixerInput();
    // No reference added; null until built.
    IBufferMatcher* GetBufMatcher() const { return m_matcherControl; }
    CDxBufRenderer* GetRenderer() const { return m_renderer; }
    bool IsBuilt() const { return m_built != 0; }

    CMetronome& GetMetronome() { return m_metronome; }

    // ---- Transport (the thread that changes it) ----
    // The click source, the gain/pan filter's fresh start, the automation's
    // state at the time, then the effects.
    HRESULT OnStart(LONGLONG time) override;
    HRESULT OnStop(LONGLONG time) override;
    void InvalidatePatternInstance(SHORT patternId) { ResetAutomationCursor(patternId); }

    // ---- CChainHost ----
    HRESULT MarkGraphDirty() override;

    // The master bus's mark, set by its strip; the document lists the bus
    // among the marked containers while it is set.
    DWORD GetTrackFlag() const { return m_trackFlag; }
    void SetTrackFlag(DWORD flag) { m_trackFlag = flag; }

    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

protected:
    HRESULT FileParamStep(DWORD id, float value) override;

    void ReleaseBeforeDestroy() override;

private:
    friend class CMixBus;
    CMainBus(IBusDocument* document, WORD index);
    ~CMainBus() override;
    HRESULT Init() override;
    HRESULT BuildFilters();

    BOOL m_chainDirty = FALSE;
    BOOL m_busDirty = FALSE;
    BOOL m_built = FALSE;
    DWORD m_trackFlag = 0;
    IBaseFilter* m_matcher = nullptr;
    IBufferMatcher* m_matcherControl = nullptr;
    CMetronome m_metronome;
    CDxBufRenderer* m_renderer = nullptr;
};
