// A project's soft-synth wrapper chunk from arbitrary bytes (the chunk's
// payload): names, pin count, class, instance and the plug-in's state.
// Whatever class it names, the load must end with the plug-in or its
// placeholder (but for "no synth"), never read past the chunk or allocate what the chunk cannot
// hold; a loaded wrapper saves a chunk that loads again.
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/graph/CDxFilterGraph.h"
#include "engine/hosting/CSynthWrap.h"
#include "platform/com/ComStream.h"

namespace {

class Host final : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
};

HRESULT Load(CSynthWrap* wrap, const std::vector<BYTE>& bytes)
{
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)))
        return E_OUTOFMEMORY;
    stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    HRESULT hr = wrap->Load(stream);
    stream->Release();
    return hr;
}

std::vector<BYTE> Save(CSynthWrap* wrap)
{
    std::vector<BYTE> bytes;
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)))
        return bytes;
    if (SUCCEEDED(wrap->Save(stream, TRUE))) {
        STATSTG stat{};
        stream->Stat(&stat, 1);
        bytes.resize(static_cast<std::size_t>(stat.cbSize.QuadPart));
        LARGE_INTEGER zero{};
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
    }
    stream->Release();
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Host host;
    HRESULT hr = E_FAIL;
    static CDxFilterGraph* graph = new CDxFilterGraph(&hr);
    std::vector<BYTE> chunk(12);
    const std::uint64_t length = 12 + size;
    const std::uint32_t word = static_cast<std::uint32_t>(CSynthWrap::kMajor) << 16;
    std::memcpy(chunk.data(), &length, 8);
    std::memcpy(chunk.data() + 8, &word, 4);
    chunk.insert(chunk.end(), data, data + size);

    CFilterWrap::ClearFailedPlugIns();
    CSynthWrap* wrap = nullptr;
    if (FAILED(CSynthWrap::Create(&CLSID_NoSynth, "", graph, &host, &wrap)))
        return 0;
    if (SUCCEEDED(Load(wrap, chunk))) {
        if (!wrap->GetFilter() && !IsEqualGUID(wrap->GetClsid(), CLSID_NoSynth))
            __builtin_trap();  // neither the plug-in nor its placeholder ("no synth" has neither)
        const std::vector<BYTE> saved = Save(wrap);
        CSynthWrap* again = nullptr;
        if (SUCCEEDED(CSynthWrap::Create(&CLSID_NoSynth, "", graph, &host, &again))) {
            if (FAILED(Load(again, saved)))
                __builtin_trap();
            DestroyPlugInWrap(static_cast<ISynthWrap*>(again));
        }
    }
    DestroyPlugInWrap(static_cast<ISynthWrap*>(wrap));
    return 0;
}
