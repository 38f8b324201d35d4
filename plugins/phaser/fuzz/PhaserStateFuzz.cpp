// Feeds arbitrary bytes to the phaser's state loader, as a project's
// stored effect state reaches it, then saves the state again. A refusal is
// fine; a read past the stream or a crash is not.
#include <cstdint>

#include "CPhaser.h"
#include "platform/com/ComStream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    IUnknown* unknown = nullptr;
    if (FAILED(mvsynth::CFilter::CreateInstance(mvphaser::CPhaser::Class(), nullptr, IID_IUnknown,
                                                reinterpret_cast<void**>(&unknown))))
        return 0;
    IPersistStream* persist = nullptr;
    unknown->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist));
    IStream* stream = nullptr;
    if (persist && SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) {
        stream->Write(data, static_cast<ULONG>(size), nullptr);
        LARGE_INTEGER zero{};
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        persist->Load(stream);
        stream->Release();
        if (SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) {
            persist->Save(stream, TRUE);
            stream->Release();
        }
    }
    if (persist)
        persist->Release();
    unknown->Release();
    return 0;
}
