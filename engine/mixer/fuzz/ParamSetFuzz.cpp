// A mixer object's saved parameter set from arbitrary bytes: its groups, the
// remote-control maps nested in it (each with its remote-controlled
// parameters) and its parameter lists. A load must fail cleanly or give a
// set whose saved form loads again; nothing may leak or be freed twice.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/mixer/CControlParamSet.h"
#include "engine/mixer/IParamSetDocument.h"
#include "engine/mixer/CMvRCParam.h"
#include "engine/mixer/IRCParam.h"
#include "model/CKelPersistArchive.h"
#include "model/CKelPersistObject.h"
#include "platform/com/CComPtr.h"
#include "platform/com/ComStream.h"

namespace {

class FuzzDocument final : public IParamSetDocument {
public:
    HRESULT RecalcSongLength() override { return S_OK; }
    HRESULT ResetInstanceCursors(SHORT) override { return S_OK; }
    HRESULT RefreshActiveSelection() override { return S_OK; }
    SHORT GetActiveContainer() override { return kNoId; }
    HRESULT SetActiveContainer(SHORT, BOOL, CMvCommand*) override { return S_OK; }
    int GetChannelPosition(const CControlParamSet*) override { return 0; }
    HRESULT RunRemoteControlDialog(CRCContainer*, DWORD, const char*, LONG, LONG) override { return S_OK; }
    // The program's own remote-controlled parameters, with their learned
    // messages, but no timer and no input router.
    HRESULT CreateRCParam(CControlParamSet* set, REFGUID classId, REFGUID instanceId, IRCParam** param) override
    {
        CMvRCParam* made = nullptr;
        HRESULT hr = CMvRCParam::Create(set, classId, instanceId, nullptr, nullptr, &made);
        *param = made;
        return hr;
    }
    void PostToMainWindow(UINT, WPARAM, LPARAM) override {}
    IMfxTimeConverter* GetTimeConverter() override { return nullptr; }
};

class FuzzOwner final : public CControlParamSet, public CKelPersistObject {
public:
    explicit FuzzOwner(FuzzDocument* doc) : CControlParamSet(doc, &m_lock), CKelPersistObject(0x70000000) {}
    HRESULT FormatValue(DWORD, float, CString*) override { return E_NOTIMPL; }
    HRESULT SetParamValueFromUser(DWORD id, double v) override { return SetParamValue(id, static_cast<float>(v)); }
    HRESULT GetGroupName(CString*, const GroupKey&) override { return S_OK; }
    HRESULT GetParamTarget(DWORD, DWORD*, GUID*, GUID*, IMediaParams**) override { return S_FALSE; }
    STDMETHODIMP PersistChunk(DWORD word, CKelPersistArchive* archive) override
    {
        return PersistParamSet(KelVersionIndex(word), archive);
    }

private:
    CHeapCriticalSection m_lock;
};

mvcom::CComPtr<IStream> StreamOf(const uint8_t* data, size_t size)
{
    mvcom::CComPtr<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
    ULONG written = 0;
    if (size > 0)
        stream->Write(data, static_cast<ULONG>(size), &written);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    return stream;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzDocument doc;
    FuzzOwner set(&doc);
    // A chunk header of the owner's class, so the bytes reach the set's form.
    std::vector<uint8_t> chunk(12);
    const uint64_t length = 12 + size;
    const uint32_t word = 0x70000000;
    std::memcpy(chunk.data(), &length, 8);
    std::memcpy(chunk.data() + 8, &word, 4);
    chunk.insert(chunk.end(), data, data + size);
    if (FAILED(set.Load(StreamOf(chunk.data(), chunk.size()).Get())))
        return 0;
    mvcom::CComPtr<IStream> saved;
    CreateStreamOnHGlobal(nullptr, TRUE, saved.Put());
    if (FAILED(set.Save(saved.Get(), FALSE)))
        __builtin_trap();
    LARGE_INTEGER zero{};
    saved->Seek(zero, STREAM_SEEK_SET, nullptr);
    FuzzOwner again(&doc);
    if (FAILED(again.Load(saved.Get())))
        __builtin_trap();
    return 0;
}
