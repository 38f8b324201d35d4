// The body of a synth plug-in's state fuzz target: a filter of the class is
// made, the bytes reach its state loader as a project's stored synth state
// does (through the filter's persistence), and the state is saved again. A
// refusal is fine; a read past the stream or a crash is not.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/com/ComStream.h"
#include "plugins/synthframework/CFilter.h"

namespace mvsynth {

inline int FuzzSynthState(const SynthClass& cls, const std::uint8_t* data, std::size_t size)
{
    IUnknown* unknown = nullptr;
    if (FAILED(CFilter::CreateInstance(cls, nullptr, IID_IUnknown, reinterpret_cast<void**>(&unknown)))) return 0;
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
    if (persist) persist->Release();
    unknown->Release();
    return 0;
}

}  // namespace mvsynth
