#include "CPlugInOutputPin.h"

#include <algorithm>
#include <cstring>

#include "CPlugInFilter.h"
#include "platform/media/AllocatorRequest.h"

namespace {
// Bytes of an output buffer when the input does not tell.
constexpr LONG kDefaultBytes = 8192 * 8;
}  // namespace

CPlugInOutputPin::CPlugInOutputPin(CPlugInFilter* filter, CCritSec* lock, HRESULT* phr)
    : CBaseOutputPin("CPlugInOutputPin", filter, lock, phr, u"Output"), m_filter(filter)
{
}

HRESULT CPlugInOutputPin::CheckMediaType(const CMediaType* mt)
{
    if (!mt)
        return E_POINTER;
    CPlugInInputPin* in = m_filter->InputPin();
    if (!in->IsConnected())
        return VFW_E_NOT_CONNECTED;
    if (m_filter->GetKind() != CPlugInFilter::kAsync) {
        // What comes in goes out, in the same format.
        const CMediaType& input = in->CurrentMediaType();
        return mt->majortype == input.majortype && mt->cbFormat == input.cbFormat &&
                       std::memcmp(mt->pbFormat, input.pbFormat, input.cbFormat) == 0
                   ? S_OK
                   : VFW_E_TYPE_NOT_ACCEPTED;
    }
    if (mt->majortype != MEDIATYPE_Audio || mt->cbFormat < sizeof(WAVEFORMATEX) - 2 || !mt->pbFormat)
        return VFW_E_TYPE_NOT_ACCEPTED;
    return m_filter->Process()->AcceptOutputFormat(reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat))
               ? S_OK
               : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CPlugInOutputPin::GetMediaType(int position, CMediaType* mt)
{
    if (!mt)
        return E_POINTER;
    if (position < 0)
        return E_INVALIDARG;
    if (m_filter->GetKind() == CPlugInFilter::kAsync)
        return m_filter->GetOutputCandidate(position, mt);
    CPlugInInputPin* in = m_filter->InputPin();
    if (!in->IsConnected() || position > 0)
        return VFW_S_NO_MORE_ITEMS;
    *mt = in->CurrentMediaType();
    return S_OK;
}

HRESULT CPlugInOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props)
{
    ALLOCATOR_PROPERTIES request = *props;
    CPlugInInputPin* in = m_filter->InputPin();
    ALLOCATOR_PROPERTIES input{};
    if (in->IsConnected() && in->Allocator() && SUCCEEDED(in->Allocator()->GetProperties(&input)) &&
        input.cbBuffer > 0)
        request = input;
    request.cbBuffer = std::max<LONG>(request.cbBuffer, props->cbBuffer > 0 ? props->cbBuffer : kDefaultBytes);
    request.cBuffers = std::max<LONG>(2, request.cBuffers);
    request.cbAlign = std::max<LONG>(1, request.cbAlign);
    return RequestBuffers(allocator, request);
}
