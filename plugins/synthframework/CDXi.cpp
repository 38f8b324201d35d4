#include "plugins/synthframework/CDXi.h"

#include <cstring>

namespace mvsynth {

HRESULT CDXi::Process(LONGLONG, const DXiBuffer* input, DXiBuffer* outputs, DWORD outputCount, LONGLONG,
                      const DXiEventList&)
{
    // Leaves the outputs pending: the filter clears them on delivery. With
    // no input there is nothing more to come.
    return input ? S_OK : kTailDone;
}

BYTE* CDXi::SliceData(const DXiBuffer& buffer, WORD)
{
    BYTE* p = nullptr;
    if (!buffer.sample || FAILED(buffer.sample->GetPointer(&p)) || !p)
        return nullptr;
    return p + buffer.offset;
}

void CDXi::BeginWrite(DXiBuffer& buffer)
{
    if (!buffer.zeroFillPending)
        return;
    BYTE* p = nullptr;
    if (buffer.sample && SUCCEEDED(buffer.sample->GetPointer(&p)) && p)
        std::memset(p, 0, static_cast<std::size_t>(buffer.sample->GetSize()));
    buffer.zeroFillPending = 0;
}

}  // namespace mvsynth
