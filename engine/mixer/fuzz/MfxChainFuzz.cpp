// A channel's saved MIDI-effect chain from arbitrary bytes: the effect count
// and each wrapper's nested chunk. A load must fail cleanly or give a chain
// whose saved form loads again; every wrapper made is freed exactly once.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/mixer/CMfxChain.h"
#include "engine/mixer/IMfxChainOwner.h"
#include "model/CKelPersistArchive.h"
#include "model/ICommandDocument.h"
#include "platform/com/CComPtr.h"
#include "platform/com/ComStream.h"

namespace {

// A wrapper whose saved form is its name.
class FuzzWrap final : public IMfxFilterWrap {
public:
    FuzzWrap() : m_persist(this) {}
    IMfxEventFilter* GetEventFilter() override { return nullptr; }
    CString GetDisplayName() override { return m_name; }
    HRESULT Clone(IMfxFilterWrap**) override { return E_NOTIMPL; }
    IPersistStreamInit* GetPersist() override { return &m_persist; }

private:
    class Persist : public CKelPersistObject {
    public:
        explicit Persist(FuzzWrap* w) : CKelPersistObject(0x70020000), m_w(w) {}
        STDMETHODIMP PersistChunk(DWORD, CKelPersistArchive* archive) override
        {
            return archive->PersistString(&m_w->m_name);
        }
        FuzzWrap* m_w;
    };
    CString m_name;
    Persist m_persist;
};

class FuzzChannel final : public IMfxChainOwner, public ICommandDocument {
public:
    CString GetDisplayName() override { return "Track"; }
    WORD GetChannelId() override { return 0; }
    IUnknown* GetFirstSynthFilter() override { return nullptr; }
    double GetShuffleAmount() override { return 0.0; }
    ICommandDocument* GetCommandDocument() override { return this; }
    HRESULT CreateMfxWrap(REFCLSID, const char*, IMfxFilterWrap** wrap) override
    {
        *wrap = new FuzzWrap();
        return S_OK;
    }
    HRESULT UpdateStepPreview() override { return S_OK; }
    HRESULT ShowPropertyPage(IMfxFilterWrap*, HWND) override { return S_OK; }
    HRESULT ClosePropertyPage(IMfxFilterWrap*) override { return S_OK; }
    CHeapCriticalSection* GetChainLock() override { return nullptr; }
    HRESULT RecalcSongLength() override { return S_OK; }
    HRESULT ResetInstanceCursors(SHORT) override { return S_OK; }
    HRESULT RefreshActiveSelection() override { return S_OK; }
    SHORT GetActiveContainer() override { return kNoId; }
    HRESULT SetActiveContainer(SHORT, BOOL, CMvCommand*) override { return S_OK; }
};

// The channel's part: it destroys the wrappers its chain lists.
void DestroyEffects(CMfxChain& chain)
{
    for (int i = chain.GetCount() - 1; i >= 0; --i)
        DestroyPlugInWrap(chain.GetAt(i));
}

mvcom::CComPtr<IStream> StreamOf(const std::vector<uint8_t>& bytes)
{
    mvcom::CComPtr<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
    ULONG written = 0;
    if (!bytes.empty())
        stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    return stream;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzChannel channel;
    CMfxChain chain(&channel);
    std::vector<uint8_t> chunk(12);
    const uint64_t length = 12 + size;
    const uint32_t word = static_cast<uint32_t>(CMfxChain::kMajor) << 16;
    std::memcpy(chunk.data(), &length, 8);
    std::memcpy(chunk.data() + 8, &word, 4);
    chunk.insert(chunk.end(), data, data + size);
    if (SUCCEEDED(chain.Load(StreamOf(chunk).Get()))) {
        mvcom::CComPtr<IStream> saved;
        CreateStreamOnHGlobal(nullptr, TRUE, saved.Put());
        if (FAILED(chain.Save(saved.Get(), FALSE)))
            __builtin_trap();
        LARGE_INTEGER zero{};
        saved->Seek(zero, STREAM_SEEK_SET, nullptr);
        CMfxChain again(&channel);
        if (FAILED(again.Load(saved.Get())))
            __builtin_trap();
        DestroyEffects(again);
    }
    DestroyEffects(chain);
    return 0;
}
