// A channel's MIDI-effect chain: the ordered MIDI-effect plug-ins that the
// channel's events pass through before they reach its soft synth. Playback
// runs a span's events through the effects one after another by swapping
// the two queues it is handed, live input the same way with the data
// queues; the transport's start, loop and stop are forwarded; step-sequencer
// effects are kept told of the channel's synth, id and the song's shuffle.
// Edits (insert, remove, move, copy) are undoable project commands. The
// chain has no graph filters and does not own its wrappers: the channel
// destroys them, and removed ones live on in the undo steps.
//
// Kept in the mixer layer, beside the channel that owns it; it reaches the
// plug-in wrappers of the hosting layer through IMfxFilterWrap and the
// owner's factory.
//
// Threads: edits on the UI thread; ProcessEvents on the audio thread from the
// channel's render step; ProcessInput from the document's MIDI-effect pump
// on the timer thread. When the owner gives a lock, the containers change
// under it and processing only tries it, passing the span through
// unprocessed while an edit holds it.
//
// Saved as chunk 0 (major 0x6019): u32 count, then each effect's wrapper as
// a nested object.
#pragma once

#include "engine/mixer/CFxMap.h"
#include "engine/mixer/CFxOrdinalVect.h"
#include "engine/mixer/IMfxFilterWrap.h"
#include "model/CKelPersistObject.h"
#include "model/CMfxDataQueue.h"
#include "model/CMfxEventQueue.h"

class IMfxChainOwner;
struct IStepSeqPlugIn;

class CMfxChain : public IChain<IMfxFilterWrap*>, public CKelPersistObject {
public:
    static constexpr WORD kMajor = 0x6019;
    static constexpr DWORD kEditHint = 1024;

    explicit CMfxChain(IMfxChainOwner* owner);
    ~CMfxChain() override;
    CMfxChain(const CMfxChain&) = delete;
    CMfxChain& operator=(const CMfxChain&) = delete;

    int GetCount() const { return m_order.GetSize(); }
    // Null out of range.
    IMfxFilterWrap* GetAt(int position) const;

    // ---- Edits (undoable; out of bounds E_INVALIDARG) ----
    HRESULT InsertMfxByClsid(int position, REFCLSID clsid, const char* name);
    HRESULT InsertMfx(int position, IMfxFilterWrap* wrap);
    HRESULT RemoveMfx(int position);
    HRESULT MoveMfx(int from, int to);
    HRESULT CopyMfx(int from, int to);
    HRESULT ShowMfxProperties(int position, HWND parent);

    // ---- Transport: every effect in order; the first failure ----
    HRESULT OnStart(LONG time);
    HRESULT OnLoop(LONG a, LONG b, LONG c);
    HRESULT OnStop(LONG time);

    // The events of the span go from `in` through every effect; the result
    // is in `out` and `in` is left empty. S_FALSE, the events passed through
    // unprocessed, while an edit holds the owner's lock.
    // Audio thread: no allocation, no blocking.
    HRESULT ProcessEvents(LONG from, LONG to, CMfxEventQueue*& in, CMfxEventQueue*& out);
    // The same for live input data. Timer thread.
    HRESULT ProcessInput(CMfxDataQueue*& in, CMfxDataQueue*& out);

    // ---- Step sequencers ----
    HRESULT CountStepSeqPlugIns(int* count);
    HRESULT GetStepSeqPlugIn(int n, IStepSeqPlugIn** plugIn);
    HRESULT NotifySynthChanged(IUnknown* synthFilter);
    HRESULT SetChannelId(WORD id);
    // 0..1, else E_INVALIDARG; the plug-ins get (amount + 1) x 50.
    HRESULT SetShuffle(double amount);

    // ---- IChain ----
    CHeapCriticalSection* GetLock() override;
    HRESULT MarkDirty() override { return 1; }
    HRESULT OnFxAdded(IMfxFilterWrap* wrap) override;
    HRESULT OnFxRemoved(IMfxFilterWrap* wrap) override;

    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

private:
    template <class Step>
    HRESULT RunEdit(const CString& name, BOOL updateViews, Step&& steps);
    template <class Call>
    HRESULT ForEachStepSeq(Call&& call);

    CFxMap<IMfxFilterWrap*, IMfxFilterWrap*> m_effects;
    CFxOrdinalVect<IMfxFilterWrap*> m_order;
    IMfxChainOwner* m_owner;
};
