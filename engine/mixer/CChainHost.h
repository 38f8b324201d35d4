// The base of every audio path of the mixer that carries insert effects (a
// channel's output branches, the aux buses, the master bus): it owns the
// path's effect chain, names the chain's filters after its own number,
// reaches the song document for the graph-dirty mark and the keep-alive set,
// and forwards the transport's start, loop and stop to effects that also
// speak the soft-synth interface. UI thread.
#pragma once

#include "engine/mixer/CFxChain.h"

class CControlParamSet;
class IMixerDocument;

class CChainHost {
public:
    // `lock` guards the chain's containers (borrowed; may be null).
    explicit CChainHost(CHeapCriticalSection* lock);
    virtual ~CChainHost();
    CChainHost(const CChainHost&) = delete;
    CChainHost& operator=(const CChainHost&) = delete;

    // The number in the chain's graph filter names.
    virtual SHORT GetHostId() = 0;
    // The object with the parameter set the effects' groups live in; its
    // display name names the host in undo texts.
    virtual CControlParamSet* GetParamOwner() = 0;
    // Every effect in order; the first failure.
    virtual HRESULT OnStart(LONGLONG time);
    virtual HRESULT OnLoop(LONGLONG from, LONGLONG to);
    virtual HRESULT OnStop(LONGLONG time);
    // Flags the host's chain section and marks the document's graph dirty;
    // E_UNEXPECTED without document.
    virtual HRESULT MarkGraphDirty() = 0;
    // A filter leaving the graph goes to the document's keep-alive set.
    virtual HRESULT RetireFilter(IUnknown* filter) = 0;
    // Null while the host has no document.
    virtual IMixerDocument* GetMixerDocument() = 0;

    CFxChain& GetChain() { return m_chain; }

protected:
    CFxChain m_chain;
};
