// An effect-send bus of the song: the aux sends of channel outputs feed its
// sum mixer ("AuxSumMixer%d"); the sum runs through its insert-effect chain
// and its gain/pan filter ("AuxBusGainPan%d") into a free input of the
// master bus's sum mixer. A bus that no channel output sends to keeps its
// filters out of the graph.
//
// The document's rebuild runs RemoveFromGraph, AddToGraph and ConnectInGraph
// in that order on the UI thread; only the sections flagged dirty (chain,
// mixer, gain/pan) are touched.
//
// Saved form: major 0x600F, minor 1. Chunk 0: the parameter set, the
// gain/pan filter's state, the effect chain; chunk 1: the automation
// pattern.
//
// Threads as CMixBus.
#pragma once

#include "engine/mixer/CMixBus.h"

// {2A6D27E4-70F5-48AA-9C5F-C60AB16E251C}: the key of an aux bus's own
// parameters.
MV_DEFINE_GUID(kAuxBusGroupClass, 0x2A6D27E4, 0x70F5, 0x48AA, 0x9C, 0x5F, 0xC6, 0x0A, 0xB1, 0x6E, 0x25, 0x1C);

class CAuxBus : public CMixBus {
public:
    static constexpr WORD kMajor = 0x600F;
    static constexpr WORD kMinor = 1;
    // ConnectInGraph and AddToGraph for a bus no channel sends to.
    static constexpr HRESULT kUnused = 1;

    // A built bus with its parameters and automation; null when any step
    // fails (what was made is destroyed).
    static CAuxBus* Create(IBusDocument* document, WORD index);
    // The automation, every effect wrapper, then the bus; the pointer is
    // cleared.
    static void Destroy(CAuxBus*& bus);

    // ---- Graph (UI thread) ----
    // The gain/pan filter and the sum mixer; E_UNEXPECTED without graph or
    // audio properties.
    HRESULT Build();
    HRESULT RemoveFromGraph();
    HRESULT AddToGraph();
    HRESULT ConnectInGraph();
    // Retires and releases the bus's filters and its chain's; the bus must
    // be built again before it plays.
    HRESULT ReleaseFilterObjects();
    // ReleaseFilterObjects, then closes every effect's property window.
    HRESULT ReleaseFilters();
    HRESULT InvalidateGraph();
    BOOL HasConnectedInputs();
    // A free input of the sum mixer, marked used (a new one when none is
    // free); no reference added; null without mixer.
    IPin* GetFreeMixerInput();
    bool IsBuilt() const { return m_built != 0; }
    HRESULT MarkMixerDirty();
    HRESULT MarkGainPanDirty();

    // ---- Transport (the thread that changes it) ----
    // Applies the automation's state at the time, then starts the effects.
    HRESULT OnStart(LONGLONG time) override;

    // ---- CChainHost ----
    HRESULT MarkGraphDirty() override;

    CString GetDisplayName() override;
    // The per-track flag the document resets on every channel and bus.
    DWORD GetTrackFlag() const { return m_trackFlag; }
    void SetTrackFlag(DWORD flag) { m_trackFlag = flag; }

    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

protected:
    HRESULT FileParamStep(DWORD id, float value) override;

    void ReleaseBeforeDestroy() override;

private:
    friend class CMixBus;
    CAuxBus(IBusDocument* document, WORD index);
    ~CAuxBus() override;
    HRESULT Init() override;
    HRESULT MarkDocumentDirty();

    BOOL m_chainDirty = FALSE;
    BOOL m_mixerDirty = FALSE;
    BOOL m_gainPanDirty = FALSE;
    BOOL m_built = FALSE;
    DWORD m_trackFlag = 0;
    CString m_defaultName;
};
