// What the aux buses and the master bus share: a sum mixer that every path
// into the bus feeds, the bus's insert-effect chain, a gain/pan filter whose
// media parameters are the bus's own parameter group, and one endless
// automation pattern that plays while the transport runs.
//
// Parameters. The bus group (the derived bus's group class, GUID_NULL) holds
// the gain/pan filter's parameters in their order; Invert (0), Width (2) and
// Solo Mute (7) are not automatable; 5 is Mute. Each effect of the chain
// adds its own group keyed by its class and instance.
//
// Automation. Start chases the pattern to the start time and applies what
// it finds; every span renders the pattern's events into values and into
// envelopes of the filters behind the parameters, while the engine's
// automation switch is on. A span holds at most kSpanEvents automation
// events: the rest are dropped and counted, so the audio thread never
// allocates.
//
// Threads: UI thread unless said. Start, loop and stop come from the thread
// that changes the transport, under the engine's locks; Locate and
// RenderAutomation on the audio thread. The bus's lock guards the parameter
// table and the chain's containers; the audio thread only tries it.
#pragma once

#include <atomic>
#include <new>
#include <vector>

#include "engine/graph/CStereoSumMixer.h"
#include "engine/mixer/CChainHost.h"
#include "engine/mixer/CControlParamSet.h"
#include "model/CKelPersistObject.h"
#include "model/CPatternInstance.h"
#include "platform/sync/ThreadAffinity.h"

class CDxFilterGraph;
class CPattern;
class IBusDocument;
struct IGainPan;
struct IGainPanSend;

class CMixBus : public CControlParamSet, public CChainHost, public CKelPersistObject {
public:
    static constexpr DWORD kMuteIndex = 5;
    // Automation events one span renders at most.
    static constexpr std::size_t kSpanEvents = 64;
    static constexpr SHORT kAllPatterns = -1;

    // ---- Parameter-set slots ----
    HRESULT FormatValue(DWORD id, float value, CString* text) override;
    // Stores the value and sends it, in the parameter's own range, to the
    // filter behind it; a change of Mute invalidates the document's mute
    // state.
    HRESULT SetParamValue(DWORD id, float value) override;
    HRESULT SetParamValueFromUser(DWORD id, double value) override;
    HRESULT BeginTouch(DWORD id, DWORD bits) override;
    HRESULT EndTouch(DWORD id, DWORD bits) override;
    HRESULT GetParamTarget(DWORD id, DWORD* localIndex, GUID* classId, GUID* instanceId,
                           IMediaParams** params) override;
    HRESULT GetGroupName(CString* name, const GroupKey& key) override;
    // Flushes the envelopes of the gain/pan filter and of every effect.
    HRESULT FlushEnvelopes();
    // The id lies in the bus group.
    BOOL IsBusParam(DWORD id);
    // The gain/pan filter's send object of that index, with a reference;
    // null when none.
    IUnknown* GetSendObject(LONG index);

    BOOL IsMuted();
    HRESULT SetMute(BOOL on);

    // ---- CChainHost ----
    SHORT GetHostId() override { return static_cast<SHORT>(m_index); }
    CControlParamSet* GetParamOwner() override { return this; }
    HRESULT RetireFilter(IUnknown* filter) override;
    IMixerDocument* GetMixerDocument() override;

    // ---- Transport (the thread that changes it) ----
    // Locates the automation to the loop start, then loops the effects.
    HRESULT OnLoop(LONGLONG from, LONGLONG to) override;

    // ---- Automation ----
    // Seeks the automation to the time and flushes the envelopes; the
    // first failure. Audio thread: no allocation, no blocking.
    HRESULT Locate(LONG time);
    // S_FALSE when the pattern has no events or the automation switch is
    // off; E_UNEXPECTED for an event that is not automation; E_INVALIDARG
    // for an envelope parameter without description.
    // Audio thread: no allocation, no blocking.
    HRESULT RenderAutomation(LONG from, LONG to);
    // Resets the automation's play cursor when its pattern has the id
    // (kAllPatterns: any).
    void ResetAutomationCursor(SHORT patternId);
    CPattern* GetAutomationPattern() const { return m_automationPattern; }
    // Automation events dropped because a span held more than kSpanEvents.
    DWORD GetDroppedEvents() const { return m_dropped.load(std::memory_order_relaxed); }

    WORD GetIndex() const { return m_index; }
    IBusDocument* GetBusDocument() const { return m_document; }
    IBaseFilter* GetGainPan() const { return m_gainPan; }
    CStereoSumMixer* GetSumMixer() const { return m_mixer; }
    GroupKey GetBusGroupKey() const { return {m_groupClass, GUID_NULL}; }

protected:
    CMixBus(IBusDocument* document, WORD index, REFGUID groupClass, WORD major, WORD minor);
    ~CMixBus() override;

    // The bus's filters, parameters and automation made after construction.
    virtual HRESULT Init() = 0;
    // What a bus releases before its contents go; nothing by default.
    virtual void ReleaseBeforeDestroy() {}
    // A new bus, initialised; null when either fails (what was made is
    // destroyed). The bus class befriends CMixBus.
    template <class Bus>
    static Bus* CreateBus(IBusDocument* document, WORD index)
    {
        MV_ASSERT_UI_THREAD();
        Bus* bus = new (std::nothrow) Bus(document, index);
        if (bus != nullptr && FAILED(bus->Init()))
            DestroyBus(bus);
        return bus;
    }
    template <class Bus>
    static void DestroyBus(Bus*& bus)
    {
        if (bus == nullptr)
            return;
        bus->ReleaseBeforeDestroy();
        bus->DestroyContents();
        delete bus;
        bus = nullptr;
    }
    template <class T>
    static void ReleaseAndClear(T*& p)
    {
        if (p) {
            p->Release();
            p = nullptr;
        }
    }

    // The gain/pan filter and its two control interfaces; failures
    // returned, nothing kept then.
    HRESULT CreateGainPan();
    // The sum mixer under that name; E_UNEXPECTED without audio properties.
    HRESULT CreateSumMixer(const char* name);
    // Both retired to the document's keep-alive set and released.
    void ReleaseGainPanAndMixer();
    // The bus group from the gain/pan filter, then every effect's group.
    HRESULT InitParams();
    // The endless "Automation" pattern, its instance and the span buffer.
    HRESULT InitAutomation();
    // Closes the property window of every effect.
    void CloseEffectWindows();
    // The automation pattern and instance, then every effect wrapper.
    void DestroyContents();
    // Applies the automation's state at the time (transport start).
    HRESULT ChaseAutomation(LONG time);
    // The undoable step of a touch that ended with a changed value.
    virtual HRESULT FileParamStep(DWORD id, float value) = 0;
    // Chunk 0's start: the parameter set, then the gain/pan filter's state
    // through the graph; a load re-reads the bus group from the filter.
    HRESULT PersistParamsAndGainPan(CKelPersistArchive* archive);
    // Takes the filter out of the graph; one that is not in it is out
    // already.
    static HRESULT RemoveIfPresent(CDxFilterGraph* graph, IBaseFilter* filter);
    // The automation pattern as a nested object.
    HRESULT PersistAutomation(CKelPersistArchive* archive);

    IBusDocument* m_document;
    WORD m_index;
    CHeapCriticalSection m_lock;
    IBaseFilter* m_gainPan = nullptr;
    IGainPanSend* m_gainPanSend = nullptr;
    IGainPan* m_gainPanControl = nullptr;
    CStereoSumMixer* m_mixer = nullptr;

private:
    struct Point {
        DWORD id;
        MP_ENVELOPE_SEGMENT segment;
    };
    // The plug-in behind an effect group, no reference added; null when
    // none.
    IBaseFilter* EffectOf(const GroupKey& key) const;
    // Sends the span's points to their filters; under the bus's lock.
    HRESULT SendEnvelopes(std::size_t count, REFERENCE_TIME start);

    GUID m_groupClass;
    CPattern* m_automationPattern = nullptr;
    CPatternInstance* m_automationInstance = nullptr;
    std::vector<CMfxEvent> m_span;
    CChaseSet m_chase;
    Point m_points[kSpanEvents]{};
    std::atomic<DWORD> m_dropped{0};
};
