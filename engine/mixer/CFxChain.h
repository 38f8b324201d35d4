// The insert-effect chain of one audio path: an ordered list of effect
// wrappers built into the engine graph between merge switches, so that the
// whole chain and every single effect can be bypassed while the graph runs.
//
//   MSMain out 0 -> [effect i's switch out 0 -> plug-in -> next switch in 0,
//                    switch out 1 -> next switch in 1] ... -> MSLastFx
//   MSLastFx -> buffer matcher -> MSFinal in 0;  MSMain out 1 -> MSFinal in 1
//
// Edits (insert, remove, copy, move) are undoable project commands; the
// chain is the callback target of its two containers, so an edit, an undo
// and a redo all attach or detach the plug-in and mark the graph dirty. The
// chain never owns its wrappers: the host destroys them, and removed ones
// live on in the undo steps.
//
// The graph is rebuilt by the document on the UI thread in the order remove,
// add, connect; only what the two dirty flags name is touched, so an
// unchanged chain keeps its connections. The containers change under the
// host's lock, which the audio thread takes through the host.
//
// Saved as chunk 0 (major 0x6007): u32 count, each wrapper as a nested
// object, one byte of chain bypass.
#pragma once

#include "engine/mixer/CFxMap.h"
#include "engine/mixer/CFxOrdinalVect.h"
#include "engine/mixer/IFxWrap.h"
#include "model/CKelPersistObject.h"

class CChainHost;
class CDxFilterGraph;
class CMvCommand;
struct IBufferMatcher;

class CFxChain : public IChain<IFxWrap*>, public CKelPersistObject {
public:
    static constexpr WORD kMajor = 0x6007;
    static constexpr DWORD kEditHint = 1024;

    CFxChain(CChainHost* host, CHeapCriticalSection* lock);
    ~CFxChain() override;
    CFxChain(const CFxChain&) = delete;
    CFxChain& operator=(const CFxChain&) = delete;

    int GetCount() const { return m_effects.GetSize(); }
    // Null out of range.
    IFxWrap* GetAt(int position) const;

    // ---- Edits (undoable) ----
    // E_INVALIDARG out of range; E_UNEXPECTED without a graph.
    HRESULT InsertFxByClsid(int position, REFCLSID clsid, const char* name);
    HRESULT InsertFx(int position, IFxWrap* wrap);
    HRESULT RemoveFx(int position);
    HRESULT CopyFx(int from, int to);
    HRESULT MoveFx(int from, int to);
    HRESULT ShowFxProperties(int position, HWND parent);
    HRESULT CloseFxProperties(int position);

    // ---- Graph ----
    // E_POINTER for null; creates the chain's own filters (their failure is
    // not returned: the next rebuild reports it).
    HRESULT SetGraph(CDxFilterGraph* graph);
    HRESULT CreateContainerFilters();
    HRESULT AddToGraph(CDxFilterGraph* graph);
    HRESULT Connect(CDxFilterGraph* graph);
    HRESULT RemoveFromGraph();
    HRESULT ReleaseFilters();
    HRESULT ReleaseContainerFilters();
    HRESULT LinkSwitches();
    HRESULT LoadEffectsAndCreate();
    bool HasContainerFilters() const { return m_msMain != nullptr; }
    HRESULT MarkAllDirty();
    // The host's teardown, once it has destroyed the wrappers: both
    // containers emptied without calling back.
    void ClearWithoutUndo();
    bool IsEffectsDirty() const { return m_effectsDirty != 0; }
    bool IsContainerDirty() const { return m_containerDirty != 0; }

    // ---- Bypass ----
    BOOL IsBypassed() const { return m_bypass; }
    HRESULT SetBypass(BOOL bypass);
    // Not undoable. E_FAIL out of range, E_UNEXPECTED for an empty place.
    HRESULT SetFxBypass(int position, BOOL bypass);
    BOOL IsFxBypassed(int position) const;

    // ---- Pins and per-effect reads (neutral values out of range) ----
    // No reference added; null when absent.
    IPin* GetInputPin() const;
    IPin* GetOutputPin() const;
    IBufferMatcher* GetBufMatcher() const { return m_matcherControl; }
    GUID GetFxClsid(int position) const;
    GUID GetFxInstanceGuid(int position) const;
    CString GetFxName(int position) const;
    IBaseFilter* GetFxPlugIn(int position) const;

    // ---- IChain ----
    CHeapCriticalSection* GetLock() override { return m_lock; }
    HRESULT MarkDirty() override;
    HRESULT OnFxAdded(IFxWrap* wrap) override;
    HRESULT OnFxRemoved(IFxWrap* wrap) override;

    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

    // The filter names of the chain's host `id`.
    static std::u16string FilterName(SHORT id, const char* what);
    static std::u16string FilterName(SHORT id, const char* what, int position);

private:
    template <class Steps>
    HRESULT RunEdit(const CString& name, BOOL updateViews, Steps&& steps);
    CDxFilterGraph* EngineGraph() const;
    CString HostName() const;
    void ReportConnectFailure(IFxWrap* wrap);
    void Retire(IUnknown* filter);

    CFxMap<IFxWrap*, IFxWrap*> m_effects;
    CFxOrdinalVect<IFxWrap*> m_order;
    CChainHost* m_host;
    CHeapCriticalSection* m_lock;
    CMergeSwitch* m_msMain = nullptr;
    CMergeSwitch* m_msLastFx = nullptr;
    CMergeSwitch* m_msFinal = nullptr;
    CDxFilterGraph* m_graph = nullptr;
    BOOL m_bypass = FALSE;
    BOOL m_effectsDirty = TRUE;
    BOOL m_containerDirty = TRUE;
    IBaseFilter* m_matcher = nullptr;
    IBufferMatcher* m_matcherControl = nullptr;
};
