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
#include "model/PersistBytes.h"

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
    if (SUCCEEDED(mvpersist::LoadFromBytes(wrap, chunk.data(), chunk.size()))) {
        if (!wrap->GetFilter() && !IsEqualGUID(wrap->GetClsid(), CLSID_NoSynth))
            __builtin_trap();  // neither the plug-in nor its placeholder ("no synth" has neither)
        const std::vector<BYTE> saved = mvpersist::SaveToBytes(wrap);
        CSynthWrap* again = nullptr;
        if (SUCCEEDED(CSynthWrap::Create(&CLSID_NoSynth, "", graph, &host, &again))) {
            if (FAILED(mvpersist::LoadFromBytes(again, saved.data(), saved.size())))
                __builtin_trap();
            DestroyPlugInWrap(static_cast<ISynthWrap*>(again));
        }
    }
    DestroyPlugInWrap(static_cast<ISynthWrap*>(wrap));
    return 0;
}
