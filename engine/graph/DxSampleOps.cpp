#include "engine/graph/DxSampleOps.h"

#include <new>

#include "engine/graph/SampleKernels.h"

namespace {

IDeferZeroFill* DeferFace(IMediaSample* sample)
{
    IDeferZeroFill* face = nullptr;
    if (!sample || FAILED(sample->QueryInterface(IID_IDeferZeroFill, reinterpret_cast<void**>(&face))))
        return nullptr;
    return face;
}

}  // namespace

BOOL IsZeroFillPending(IMediaSample* sample)
{
    IDeferZeroFill* face = DeferFace(sample);
    if (!face)
        return FALSE;
    const BOOL pending = face->GetZeroFillPending();
    face->Release();
    return pending ? TRUE : FALSE;
}

HRESULT MarkSilent(IMediaSample* sample)
{
    if (!sample)
        return E_POINTER;
    if (IDeferZeroFill* face = DeferFace(sample)) {
        face->SetZeroFillPending(TRUE);
        face->Release();
        return S_OK;
    }
    BYTE* p = nullptr;
    HRESULT hr = sample->GetPointer(&p);
    if (FAILED(hr))
        return hr;
    FillSilence(reinterpret_cast<float*>(p), sample->GetSize() / 4);
    return S_OK;
}

HRESULT GetWritePointer(IMediaSample* sample, BYTE** buffer)
{
    if (!sample || !buffer)
        return E_POINTER;
    if (IDeferZeroFill* face = DeferFace(sample)) {
        HRESULT hr = face->GetPointerNoFill(buffer);
        face->Release();
        return hr;
    }
    return sample->GetPointer(buffer);
}

BOOL IsDxAllocator(IMemAllocator* allocator, CDxAllocator** out)
{
    IDeferZeroFillAllocator* face = nullptr;
    if (allocator && SUCCEEDED(allocator->QueryInterface(IID_IDeferZeroFillAllocator, reinterpret_cast<void**>(&face)))) {
        face->Release();
        if (out)
            *out = static_cast<CDxAllocator*>(face);
        return TRUE;
    }
    if (out)
        *out = nullptr;
    return FALSE;
}

HRESULT CreateDxAllocator(CDxAllocator** out)
{
    if (!out)
        return E_POINTER;
    HRESULT hr = S_OK;
    auto* made = new (std::nothrow) CDxAllocator("CDxAllocator", nullptr, &hr);
    return FinishCreate(made, hr, out);
}
