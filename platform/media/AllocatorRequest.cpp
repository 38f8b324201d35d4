#include "platform/media/AllocatorRequest.h"

HRESULT RequestBuffers(IMemAllocator* allocator, const ALLOCATOR_PROPERTIES& request)
{
    if (!allocator)
        return E_POINTER;
    ALLOCATOR_PROPERTIES wanted = request;
    ALLOCATOR_PROPERTIES actual{};
    HRESULT hr = allocator->SetProperties(&wanted, &actual);
    if (FAILED(hr))
        return hr;
    return (actual.cBuffers < request.cBuffers || actual.cbBuffer < request.cbBuffer) ? E_FAIL : S_OK;
}
