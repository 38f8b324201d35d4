// Feeds arbitrary bytes to the variant reader as a saved page stream: it
// reads variants until one is refused, and every variant it accepted must
// come back the same through a write and a second read. A crash, a
// sanitizer report or a value that changes on its way round stops the run.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/com/CComPtr.h"
#include "platform/com/ComStream.h"
#include "platform/com/VariantStream.h"

namespace {

bool Same(const VARIANT& a, const VARIANT& b)
{
    if (a.vt != b.vt || a.bstrVal != b.bstrVal)
        return false;
    switch (a.vt) {
    case VT_I4: return a.lVal == b.lVal;
    case VT_R8: return std::memcmp(&a.dblVal, &b.dblVal, sizeof a.dblVal) == 0;
    case VT_BOOL: return a.boolVal == b.boolVal;
    default: return true;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    mvcom::CComPtr<IStream> in;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, in.Put())))
        return 0;
    ULONG written = 0;
    if (size)
        in->Write(data, static_cast<ULONG>(size), &written);
    LARGE_INTEGER zero{};
    in->Seek(zero, STREAM_SEEK_SET, nullptr);
    VARIANT v;
    while (SUCCEEDED(ReadVariant(in.Get(), v))) {
        mvcom::CComPtr<IStream> round;
        CreateStreamOnHGlobal(nullptr, TRUE, round.Put());
        if (FAILED(WriteVariant(round.Get(), v)))
            std::abort();
        round->Seek(zero, STREAM_SEEK_SET, nullptr);
        VARIANT back;
        if (FAILED(ReadVariant(round.Get(), back)) || !Same(v, back))
            std::abort();
    }
    return 0;
}
