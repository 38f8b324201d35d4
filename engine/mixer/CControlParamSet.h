// The automatable, remote-controllable parameter table of one mixer object
// (channel, aux bus, master bus; each derives from it). A 32-bit parameter
// id maps to one record: the parameter's description, its current value
// normalised to 0..1 over its range, and the state of a user gesture
// ("touch") on it.
//
// Parameters come in groups keyed by a pair of GUIDs (class, instance), one
// per thing that owns parameters inside the mixer object: its own controls
// (instance GUID_NULL), its soft synth, each effect. A group takes a block of
// 0x10000 ids: the owner's own group the lowest free block from 0, any other
// the lowest free block from 0x10000; a block is free when no group starts
// there, so a removed group's block stays taken until the set goes. Per group
// the set also keeps remote-control assignments, a relay for the plug-in
// editor's callbacks, and a chosen list of parameter ids; per parameter the
// envelope points built from recorded automation.
//
// Views poll the dirty mask: every stored change sets all 32 bits, each kind
// of view owns one bit and clears it when it redraws.
//
// Threads and locking. Every operation holds the owner's lock while it
// reads or changes the tables: the UI thread (views, commands, plug-in
// editors' callbacks, loading) enters it; playback applies automation on the
// audio thread with ApplyAutomation, which only tries it and skips the batch
// when it is busy, so a group added or removed never races a value being
// applied. The lock is recursive, so the owners' overrides may hold it
// around the set's own operations. The dirty mask is atomic: playback sets
// it, the views clear their bits.
#pragma once

#include <atomic>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "engine/mixer/CRCContainer.h"
#include "engine/mixer/CRCParamMap.h"
#include "engine/mixer/IParamValueMapping.h"
#include "model/CMfxEvent.h"
#include "platform/com/CComPtr.h"
#include "platform/media/MediaParams.h"
#include "platform/win/CString.h"
#include "uikit/core/CHeapCriticalSection.h"

class CKelPersistArchive;
class CParamCallbackProxy;
class IParamSetDocument;
class ISynthNameLists;

// 32 bytes: the class GUID, then the instance GUID (GUID_NULL for the mixer
// object's own controls). Ordered byte-wise, class first.
struct GroupKey {
    GUID classId;
    GUID instanceId;
};
static_assert(sizeof(GroupKey) == 32);

inline bool operator<(const GroupKey& a, const GroupKey& b)
{
    return std::memcmp(&a, &b, sizeof(GroupKey)) < 0;
}

struct ParamGroup {
    DWORD first;
    DWORD count;
};

struct ControlParam {
    MP_PARAMINFO info;
    DWORD kind;    // kMedia, kController, kRpn, kNrpn
    WORD number;   // controller, RPN or NRPN number; 0xFFFF for media parameters
    float value;   // normalised over info's minimum..maximum
    DWORD touchMask;
    float touchStartValue;  // -1 while no touch is open
    DWORD automatable;
};

class CControlParamSet : public IParamValueMapping, public CRCContainer {
public:
    static constexpr DWORD kMedia = 0;
    static constexpr DWORD kController = 1;
    static constexpr DWORD kRpn = 2;
    static constexpr DWORD kNrpn = 3;
    static constexpr DWORD kBlock = 0x10000;
    static constexpr DWORD kPlugInBlockStart = 0x10000;
    static constexpr DWORD kBlockLimit = 0xFFFE0000;
    static constexpr DWORD kAllDirtyBits = 0xFFFFFFFF;
    static constexpr float kNoTouch = -1.0f;
    // Posted to the main window when a touch ends with a changed value.
    static constexpr UINT kTouchEndedMessage = WM_APP + 6;
    // Touch source of a plug-in's own editor.
    static constexpr DWORD kTouchPlugInEditor = 4;
    // From time 0 to 24 hours, in 100 ns.
    static constexpr REFERENCE_TIME kFlushEnd = 864000000000LL;

    // `document` may be null (no track numbers, dialogs or remote-control
    // objects then); `ownerLock` is the owner's lock that guards the set's
    // structure, borrowed for the set's life.
    CControlParamSet(IParamSetDocument* document, CHeapCriticalSection* ownerLock);
    // Destroys the remote-control objects of every group and every callback
    // relay.
    ~CControlParamSet() override;
    CControlParamSet(const CControlParamSet&) = delete;
    CControlParamSet& operator=(const CControlParamSet&) = delete;

    // ---- Overridable operations (the owners wrap or supply them) ----
    // The label as text; E_INVALIDARG for an unknown id.
    virtual HRESULT GetParamName(DWORD id, CString* name);
    // E_INVALIDARG for an unknown id. Storing the value it already has
    // changes nothing; any other value sets every dirty bit.
    virtual HRESULT SetParamValue(DWORD id, float value);
    // A change made by the user.
    virtual HRESULT SetParamValueFromUser(DWORD id, double value) = 0;
    // The touch mask gains the bits; the first bit keeps the start value.
    virtual HRESULT BeginTouch(DWORD id, DWORD bits);
    // Posts the end-of-touch notice while the value differs from its start,
    // then clears the bits; the start value is forgotten when none is left.
    virtual HRESULT EndTouch(DWORD id, DWORD bits);
    // A touch is open on the parameter and its value differs from the one
    // it started with; *value is the current value then.
    bool TouchChangedValue(DWORD id, float* value);
    virtual CString GetDisplayName();
    virtual HRESULT GetGroupName(CString* name, const GroupKey& key) = 0;
    // The plug-in interface and local index through which a parameter
    // reaches its filter; S_FALSE when no plug-in is behind it.
    virtual HRESULT GetParamTarget(DWORD id, DWORD* localIndex, GUID* classId, GUID* instanceId,
                                   IMediaParams** params) = 0;

    // ---- Parameters ----
    HRESULT IsParamAutomatable(DWORD id, DWORD* automatable);
    // Either out may be null, not both.
    HRESULT GetParamCurveInfo(DWORD id, DWORD* kind, WORD* number);
    bool HasParam(DWORD id);
    HRESULT GetParamValue(DWORD id, float* value);
    // Any out may be null, not all.
    HRESULT GetParamTouchState(DWORD id, BOOL* touched, float* value, float* touchStartValue);
    // The neutral value normalised; 0 for a parameter without range.
    HRESULT GetNormalizedDefault(DWORD id, float* value);
    // The description of a parameter (UI thread; views and tests).
    HRESULT GetParamInfo(DWORD id, MP_PARAMINFO* info);

    // Sets a value that playback carries (an automation event's parameter
    // number and value, clamped to 0..1) for each event of kind automation;
    // other kinds and unknown ids are passed over. S_FALSE, with nothing
    // stored, when the owner's lock is busy.
    // Audio thread: no allocation, no blocking.
    HRESULT ApplyAutomation(const CMfxEvent* events, std::size_t count);

    // ---- Dirty mask ----
    // Any thread.
    DWORD GetDirtyMask() const { return m_dirty.load(std::memory_order_acquire); }
    // S_FALSE when none of the bits is set.
    HRESULT ClearDirtyBits(DWORD bits);

    // ---- Groups ----
    HRESULT RegisterGroup(REFGUID classId, REFGUID instanceId, DWORD count, DWORD* first);
    // S_FALSE for an unknown key. The group keeps its block.
    HRESULT RemoveParamGroup(REFGUID classId, REFGUID instanceId);
    // Any out may be null, not all. E_INVALIDARG when no group holds the id.
    HRESULT GetParamGroup(DWORD id, DWORD* localIndex, GUID* classId, GUID* instanceId);
    // first + localIndex, unchecked against the group's count; S_FALSE for
    // an unknown key.
    HRESULT GetGroupParamIndex(const GroupKey& key, DWORD localIndex, DWORD* id);
    HRESULT ListParams(std::vector<GroupKey>* keys, std::vector<CString>* names);
    // S_FALSE when the key is unknown or its first id has no record.
    HRESULT ListGroupParams(const GroupKey& key, std::vector<CString>* names, std::vector<DWORD>* ids,
                            ParamGroup* group);
    HRESULT SetGroupParamList(const GroupKey& key, const std::vector<DWORD>& ids);
    HRESULT GetGroupParamList(const GroupKey& key, std::vector<DWORD>* ids);

    // ---- Plug-ins ----
    HRESULT AddPlugInParams(REFGUID classId, REFGUID instanceId, IUnknown* plugIn);
    HRESULT AddControllerParams(REFGUID classId, REFGUID instanceId, ISynthNameLists* synth);
    HRESULT SyncGroupFromPlugIn(REFGUID classId, REFGUID instanceId, IUnknown* plugIn);
    // Native values from a plug-in's editor, by the group's local indices.
    HRESULT SetGroupValuesFromPlugIn(const GroupKey& key, const DWORD* localIndices, DWORD count,
                                     const float* values);
    HRESULT FlushPlugInEnvelopes(IUnknown* plugIn);
    // E_UNEXPECTED when the key already has a relay.
    HRESULT AddUICallback(const GroupKey& key, CParamCallbackProxy** proxy);
    // S_FALSE when the key has none.
    HRESULT RemoveUICallback(const GroupKey& key);

    // ---- Recorded automation ----
    // Appends a jump point at the event's time to its parameter's envelope.
    // UI thread (it allocates).
    HRESULT AddAutomationPoint(const CMfxEvent& event);
    static void SortEnvelope(std::vector<MP_ENVELOPE_SEGMENT>& segments);
    const std::map<DWORD, std::vector<MP_ENVELOPE_SEGMENT>>& GetEnvelopes() const { return m_envelopes; }

    // ---- Remote control ----
    HRESULT EndRCGestures();
    HRESULT OpenRemoteControlDialog(LONG a, LONG b, DWORD id);
    HRESULT CreateRCParam(DWORD id, IRCParam** param) override;
    HRESULT DestroyRCParam(IRCTarget* target) override;
    HRESULT ListRCParams(std::vector<RCParamRecord>* records) override;
    HRESULT UnassignRCParam(DWORD id, CMvCommand* command) override;
    HRESULT AssignRCParam(DWORD id, IRCTarget* target, CMvCommand* command) override;
    HRESULT ModifyRCParam(DWORD id, IRCTarget* target, CMvCommand* command) override;
    // A remote-controlled parameter for the set and key, from the document;
    // E_UNEXPECTED without one.
    HRESULT NewRCParam(REFGUID classId, REFGUID instanceId, IRCParam** param);
    // The group's map, null when the group never had an assignment.
    CRCParamMap* GetRCParamMap(const GroupKey& key);

    // ---- Saved form (inside the owner's chunk 0) ----
    HRESULT PersistParamSet(DWORD chunk, CKelPersistArchive* archive);

    IParamSetDocument* GetDocument() const { return m_document; }
    CHeapCriticalSection* GetOwnerLock() const { return m_ownerLock; }
    void SetDisplayName(const CString& name) { m_displayName = name; }

    // Owners' playback scratch (span events and chase set).
    std::vector<CMfxEvent>& GetEventVector() { return m_events; }

protected:
    // Adds a record unless the id has one already (a plug-in registered
    // again keeps its values). UI thread, under the owner's lock.
    void AddParamIfAbsent(DWORD id, const ControlParam& param);
    // Null for an unknown id. Caller holds the owner's lock.
    ControlParam* FindParam(DWORD id);
    const ParamGroup* FindGroup(const GroupKey& key) const;
    // The envelope points waiting for their plug-ins. Caller holds the
    // owner's lock.
    std::map<DWORD, std::vector<MP_ENVELOPE_SEGMENT>>& PendingEnvelopes() { return m_envelopes; }
    void MarkDirty() { m_dirty.store(kAllDirtyBits, std::memory_order_release); }

private:
    struct LessByTarget {
        bool operator()(const CMfxEvent& a, const CMfxEvent& b) const { return CMfxEvent::LessByTarget(a, b); }
    };
    struct Lock {
        explicit Lock(CHeapCriticalSection* cs) : m_cs(cs) { m_cs->Lock(); }
        ~Lock() { m_cs->Unlock(); }
        CHeapCriticalSection* m_cs;
    };

    std::size_t IndexOf(DWORD id) const;  // m_ids.size() when absent
    HRESULT AddMediaParams(DWORD first, IMediaParamInfo* info, IMediaParams* params, DWORD count);
    static HRESULT QueryMediaParams(IUnknown* plugIn, mvcom::CComPtr<IMediaParams>& params,
                                    mvcom::CComPtr<IMediaParamInfo>& info, DWORD* count);
    const GroupKey* GroupOfId(DWORD id, DWORD* localIndex) const;
    HRESULT PostTouchEnded();

    std::map<GroupKey, ParamGroup> m_groups;
    // The parameter table, ascending by id: ids apart from the records so
    // the audio thread's lookups walk one small array.
    std::vector<DWORD> m_ids;
    std::vector<ControlParam> m_params;
    CString m_displayName;
    IParamSetDocument* m_document;
    CHeapCriticalSection* m_ownerLock;
    std::map<GroupKey, std::vector<DWORD>> m_paramLists;
    std::atomic<DWORD> m_dirty{kAllDirtyBits};
    std::map<GroupKey, CRCParamMap> m_rcMaps;
    std::map<GroupKey, CParamCallbackProxy*> m_callbacks;
    std::map<DWORD, std::vector<MP_ENVELOPE_SEGMENT>> m_envelopes;
    MP_ENVELOPE_SEGMENT m_scratch{};
    std::vector<CMfxEvent> m_events;
    std::set<CMfxEvent, LessByTarget> m_eventSet;
};
