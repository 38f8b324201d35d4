// One audio output of a channel: the synth output runs through the branch's
// insert-effect chain, a volume/pan filter and a tee whose output 0 feeds
// the master bus and whose outputs 1-4 feed four aux sends, each a further
// gain/pan filter into an aux bus's sum mixer (only the enabled sends are
// connected). Filters are named after the channel: "Chan%d VolPan",
// "Chan%d AuxTee", "Chan%d AuxSnd%d", and the chain's "Container%d ...".
//
// The document's rebuild runs RemoveDirtySections, AddDirtySections and
// Connect in that order; only the sections flagged dirty (chain, volume/pan
// with tee and master connection, aux sends) are touched. Filters leaving
// the graph go to the document's keep-alive set.
//
// UI thread only; the branch's lock is its chain's container lock.
#pragma once

#include <vector>

#include "engine/graph/CSimpleTee.h"
#include "engine/mixer/CChainHost.h"

class IMixerDocument;
class IOutputBranchOwner;
struct IGainPanSend;
struct IGainPan;

class COutputBranch : public CChainHost {
public:
    static constexpr int kAuxSends = 4;

    COutputBranch(IMixerDocument* document, IOutputBranchOwner* channel);
    ~COutputBranch() override;

    // ---- CChainHost ----
    SHORT GetHostId() override;
    CControlParamSet* GetParamOwner() override;
    HRESULT MarkGraphDirty() override;
    HRESULT RetireFilter(IUnknown* filter) override;
    IMixerDocument* GetMixerDocument() override { return m_document; }

    // The volume/pan filter's send object of that index, with a reference;
    // null when none.
    virtual IUnknown* GetSendObject(LONG index);
    // The channel's object of that index, with a reference.
    virtual IUnknown* GetChannelObject(LONG index);

    // ---- Graph ----
    HRESULT AddToGraph();
    HRESULT RemoveFromGraph();
    HRESULT Build();
    HRESULT ReleaseFilters();
    HRESULT RemoveDirtySections();
    HRESULT AddDirtySections();
    HRESULT Connect();
    HRESULT InvalidateAll();
    bool IsBuilt() const { return m_built != 0; }

    // ---- Aux sends (0..3) ----
    BOOL GetAuxSendEnabled(int aux) const;
    HRESULT SetAuxSendEnabled(int aux, BOOL enabled);
    // Flags the aux section when send `aux` is enabled; 1 when it is not.
    HRESULT RefreshAuxSend(int aux);

    // The chain's input, where the channel connects the synth output; no
    // reference added.
    IPin* GetInputPin() const { return m_chain.GetInputPin(); }

    // The filters, no reference added (null until built).
    IBaseFilter* GetVolPan() const { return m_volPan; }
    IBaseFilter* GetAuxSend(int aux) const;
    CSimpleTee* GetTee() const { return m_tee; }
    bool IsChainDirty() const { return m_chainDirty != 0; }
    bool IsVolPanDirty() const { return m_volPanDirty != 0; }
    bool IsAuxDirty() const { return m_auxDirty != 0; }

private:
    HRESULT BuildFilters();
    CDxFilterGraph* EngineGraph() const;
    HRESULT MarkDocumentDirty();

    IBaseFilter* m_volPan = nullptr;
    IGainPanSend* m_volPanSend = nullptr;
    IGainPan* m_volPanControl = nullptr;
    std::vector<IBaseFilter*> m_auxSends;
    std::vector<BOOL> m_auxEnabled;
    CSimpleTee* m_tee = nullptr;
    BOOL m_chainDirty = FALSE;
    BOOL m_volPanDirty = FALSE;
    BOOL m_auxDirty = FALSE;
    BOOL m_built = FALSE;
    IOutputBranchOwner* m_channel;
    IMixerDocument* m_document;
    CHeapCriticalSection m_lock;
};

// A new branch with its chain's own filters in the engine graph; S_OK and
// nothing made for a null document.
HRESULT CreateOutputBranch(IMixerDocument* document, IOutputBranchOwner* channel, COutputBranch** out);
// Destroys the chain's effect wrappers, then the branch; the pointer is
// cleared.
void DestroyOutputBranch(COutputBranch*& branch);
