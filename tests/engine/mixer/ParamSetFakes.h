// Stand-ins for what a parameter set talks to: the song document, a plug-in
// with media parameters, a soft synth's name lists, remote-controlled
// parameters, and a mixer object (the set's owner) that saves the set in its
// chunk 0 and records what its overrides were asked.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/IMfxTimeConverter.h"
#include "engine/mixer/CControlParamSet.h"
#include "engine/mixer/IParamSetDocument.h"
#include "engine/mixer/IRCParam.h"
#include "engine/mixer/ISynthNameLists.h"
#include "model/CKelPersistArchive.h"
#include "model/CKelPersistObject.h"
#include "model/CUndoHistory.h"
#include "platform/com/ComStream.h"
#include "platform/com/CComPtr.h"
#include "platform/win/WideString.h"

namespace paramtest {

constexpr GUID kOwnClass = {0x11111111, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
constexpr GUID kSynthClass = {0x22222222, 0, 0, {0, 0, 0, 0, 0, 0, 0, 2}};
constexpr GUID kFxClass = {0x33333333, 0, 0, {0, 0, 0, 0, 0, 0, 0, 3}};
constexpr GUID kInstanceA = {0xAAAAAAAA, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0xA}};
constexpr GUID kInstanceB = {0xBBBBBBBB, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0xB}};
constexpr GUID kInstanceC = {0xCCCCCCCC, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0xC}};

inline std::string Label(const MP_PARAMINFO& info)
{
    return mvwin::Utf16ToUtf8(std::u16string_view(info.szLabel, mvwin::WideLength(info.szLabel)));
}

inline MP_PARAMINFO Info(const char* label, float minimum, float maximum, float neutral)
{
    MP_PARAMINFO info{};
    info.mpType = MPT_FLOAT;
    info.mopCaps = MP_CAPS_CURVE_JUMP;
    info.mpdMinValue = minimum;
    info.mpdMaxValue = maximum;
    info.mpdNeutralValue = neutral;
    const std::u16string wide = mvwin::Utf8ToUtf16(label);
    std::copy_n(wide.data(), std::min<std::size_t>(wide.size(), 32), info.szLabel);
    return info;
}

// Converts ticks to seconds at a fixed 0.001 s per tick.
class FakeTimeConverter final : public IMfxTimeConverter {
public:
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP ConvertTime(MFX_TIME* t, DWORD target) override
    {
        if (t->format != MfxTimeTicks || target != MfxTimeSeconds)
            return E_NOTIMPL;
        t->seconds = t->ticks * 0.001;
        t->format = target;
        return S_OK;
    }
};

class FakeRCParam;

class FakeParamDocument : public IParamSetDocument {
public:
    HRESULT RecalcSongLength() override { return S_OK; }
    HRESULT ResetInstanceCursors(SHORT) override { return S_OK; }
    HRESULT RefreshActiveSelection() override { return S_OK; }
    SHORT GetActiveContainer() override { return kNoId; }
    HRESULT SetActiveContainer(SHORT, BOOL, CMvCommand*) override { return S_OK; }

    int GetChannelPosition(const CControlParamSet* set) override { return set == channel ? trackNumber : 0; }
    HRESULT RunRemoteControlDialog(CRCContainer*, DWORD id, const char* title, LONG, LONG) override
    {
        dialogTitles.push_back(title);
        dialogIds.push_back(id);
        return S_OK;
    }
    HRESULT CreateRCParam(CControlParamSet* set, REFGUID classId, REFGUID instanceId, IRCParam** param) override;
    void PostToMainWindow(UINT message, WPARAM, LPARAM) override { posted.push_back(message); }
    IMfxTimeConverter* GetTimeConverter() override { return &converter; }

    const CControlParamSet* channel = nullptr;
    int trackNumber = 0;
    std::vector<std::string> dialogTitles;
    std::vector<DWORD> dialogIds;
    std::vector<UINT> posted;
    FakeTimeConverter converter;
    // Every remote-controlled parameter alive, and their life events.
    std::vector<FakeRCParam*> live;
    int registrations = 0;
    int unregistrations = 0;
    int gestureEnds = 0;
};

// A remote-controlled parameter whose saved form is its local index and a
// learned controller number.
class FakeRCParam final : public IRCParam {
public:
    explicit FakeRCParam(FakeParamDocument* doc) : m_doc(doc), m_persist(this) { doc->live.push_back(this); }
    ~FakeRCParam() override
    {
        auto& v = m_doc->live;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
    }
    HRESULT SetParamIndex(DWORD localIndex) override
    {
        index = localIndex;
        return S_OK;
    }
    void PresetMessage(DWORD k, WORD c, DWORD top, LONG t, LONG m) override
    {
        kind = k;
        channel = c;
        topValue = top;
        tail = t;
        mode = m;
    }
    void EndGesture() override { ++m_doc->gestureEnds; }
    IPersistStreamInit* GetPersist() override { return &m_persist; }
    HRESULT Register() override
    {
        ++m_doc->registrations;
        registered = true;
        return S_OK;
    }
    HRESULT Unregister() override
    {
        ++m_doc->unregistrations;
        registered = false;
        return S_OK;
    }

    DWORD index = 0xFFFFFFFF;
    DWORD controller = 0;
    DWORD kind = 0;
    WORD channel = 0;
    DWORD topValue = 0;
    LONG tail = 0;
    LONG mode = 0;
    bool registered = false;

private:
    class Persist : public CKelPersistObject {
    public:
        explicit Persist(FakeRCParam* p) : CKelPersistObject(0x70010000), m_p(p) {}
        STDMETHODIMP PersistChunk(DWORD, CKelPersistArchive* archive) override
        {
            HRESULT hr = archive->PersistBytes(4, &m_p->index);
            return FAILED(hr) ? hr : archive->PersistBytes(4, &m_p->controller);
        }
        FakeRCParam* m_p;
    };
    FakeParamDocument* m_doc;
    Persist m_persist;
};

inline HRESULT FakeParamDocument::CreateRCParam(CControlParamSet*, REFGUID, REFGUID, IRCParam** param)
{
    *param = new FakeRCParam(this);
    return S_OK;
}

// A mixer object: names its groups, records user changes and saves the set
// as its chunk 0.
class TestParamSet : public CControlParamSet, public CKelPersistObject {
public:
    explicit TestParamSet(FakeParamDocument* doc) : CControlParamSet(doc, &lock), CKelPersistObject(0x70000000) {}
    HRESULT FormatValue(DWORD, float value, CString* text) override
    {
        text->Format("%.2f", value);
        return S_OK;
    }
    HRESULT SetParamValueFromUser(DWORD id, double value) override
    {
        userChanges.push_back({id, static_cast<float>(value)});
        return failUserChange ? E_FAIL : SetParamValue(id, static_cast<float>(value));
    }
    HRESULT GetGroupName(CString* name, const GroupKey& key) override
    {
        *name = key.instanceId == GUID_NULL ? "Own" : key.instanceId == kInstanceA ? "Synth" : "Effect";
        return S_OK;
    }
    HRESULT GetParamTarget(DWORD, DWORD*, GUID*, GUID*, IMediaParams**) override { return S_FALSE; }
    STDMETHODIMP PersistChunk(DWORD word, CKelPersistArchive* archive) override
    {
        return PersistParamSet(KelVersionIndex(word), archive);
    }
    // The owner's own controls: n parameters of 0..1 from block 0.
    DWORD AddOwnControls(DWORD n)
    {
        DWORD first = 0;
        EXPECT_EQ(S_OK, RegisterGroup(kOwnClass, GUID_NULL, n, &first));
        for (DWORD i = 0; i < n; ++i) {
            ControlParam p{};
            p.info = Info("Control", 0.0f, 1.0f, 0.5f);
            p.number = 0xFFFF;
            p.touchStartValue = kNoTouch;
            p.automatable = 1;
            AddParamIfAbsent(first + i, p);
        }
        return first;
    }

    CHeapCriticalSection lock;
    std::vector<std::pair<DWORD, float>> userChanges;
    bool failUserChange = false;
};

// A plug-in with media parameters (each with its info and current value);
// records flushes.
class FakePlugIn final : public IMediaParams, public IMediaParamInfo {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** ppv) override
    {
        *ppv = nullptr;
        if (iid == IID_IUnknown || (iid == IID_IMediaParams && hasParams))
            *ppv = static_cast<IMediaParams*>(this);
        else if (iid == IID_IMediaParamInfo && hasInfo)
            *ppv = static_cast<IMediaParamInfo*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP GetParam(DWORD i, MP_DATA* v) override
    {
        if (i >= values.size())
            return E_INVALIDARG;
        *v = values[i];
        return S_OK;
    }
    STDMETHODIMP SetParam(DWORD i, MP_DATA v) override
    {
        values.at(i) = v;
        return S_OK;
    }
    STDMETHODIMP AddEnvelope(DWORD, DWORD, MP_ENVELOPE_SEGMENT*) override { return E_NOTIMPL; }
    STDMETHODIMP FlushEnvelope(DWORD i, REFERENCE_TIME start, REFERENCE_TIME end) override
    {
        flushes.push_back({i, start, end});
        return S_OK;
    }
    STDMETHODIMP SetTimeFormat(GUID, MP_TIMEDATA) override { return E_NOTIMPL; }
    STDMETHODIMP GetParamCount(DWORD* n) override
    {
        *n = static_cast<DWORD>(infos.size());
        return S_OK;
    }
    STDMETHODIMP GetParamInfo(DWORD i, MP_PARAMINFO* info) override
    {
        if (i >= infos.size())
            return E_INVALIDARG;
        *info = infos[i];
        return S_OK;
    }
    STDMETHODIMP GetParamText(DWORD, WCHAR**) override { return E_NOTIMPL; }
    STDMETHODIMP GetNumTimeFormats(DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP GetSupportedTimeFormat(DWORD, GUID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCurrentTimeFormat(GUID*, MP_TIMEDATA*) override { return E_NOTIMPL; }

    void Add(const MP_PARAMINFO& info, float value)
    {
        infos.push_back(info);
        values.push_back(value);
    }

    struct Flush {
        DWORD index;
        REFERENCE_TIME start, end;
    };
    bool hasParams = true;
    bool hasInfo = true;
    std::vector<MP_PARAMINFO> infos;
    std::vector<float> values;
    std::vector<Flush> flushes;
    ULONG refs = 1;
};

class FakeSynth final : public ISynthNameLists {
public:
    IUnknown* GetPlugIn() override { return static_cast<IMediaParams*>(&plugIn); }
    HRESULT GetNames(List list, std::vector<SynthName>* out) override
    {
        const auto& src = names[list];
        out->insert(out->end(), src.begin(), src.end());
        return S_OK;
    }
    FakePlugIn plugIn;
    std::vector<SynthName> names[3];
};

// Saves the owner (its chunk 0 holds the set) and gives the bytes.
inline std::vector<BYTE> SaveBytes(TestParamSet& set)
{
    mvcom::CComPtr<IStream> stream;
    EXPECT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()));
    EXPECT_EQ(S_OK, set.Save(stream.Get(), FALSE));
    LARGE_INTEGER zero{};
    ULARGE_INTEGER end{};
    stream->Seek(zero, STREAM_SEEK_END, &end);
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    std::vector<BYTE> bytes(static_cast<std::size_t>(end.QuadPart));
    ULONG read = 0;
    stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
    return bytes;
}

inline HRESULT LoadBytes(TestParamSet& set, const std::vector<BYTE>& bytes)
{
    mvcom::CComPtr<IStream> stream;
    EXPECT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()));
    ULONG written = 0;
    stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    return set.Load(stream.Get());
}

}  // namespace paramtest
