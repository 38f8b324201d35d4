#include "engine/graph/CDeferZeroFillMediaSample.h"

#include "engine/graph/SampleKernels.h"
#include "platform/media/CUnknown.h"

CDeferZeroFillMediaSample::CDeferZeroFillMediaSample(const char* objectName, CBaseAllocator* allocator, HRESULT* phr,
                                                     BYTE* buffer, LONG length)
    : CMediaSample(objectName, allocator, phr, buffer, length)
{
}

HRESULT CDeferZeroFillMediaSample::QueryInterface(REFIID riid, void** ppv)
{
    HRESULT hr = AnswerFromTable(riid, ppv, {{&IID_IDeferZeroFill, static_cast<IDeferZeroFill*>(this)}});
    return hr == E_NOINTERFACE ? CMediaSample::QueryInterface(riid, ppv) : hr;
}

HRESULT CDeferZeroFillMediaSample::GetPointer(BYTE** buffer)
{
    HRESULT hr = CMediaSample::GetPointer(buffer);
    if (SUCCEEDED(hr) && *buffer && m_pending) {
        LONG length = GetActualDataLength();
        if (length < 0 || length > GetSize())
            length = GetSize();
        FillSilence(reinterpret_cast<float*>(*buffer), length / 4);
        m_pending = FALSE;
    }
    return hr;
}

HRESULT CDeferZeroFillMediaSample::SetZeroFillPending(BOOL pending)
{
    m_pending = pending;
    return S_OK;
}

HRESULT CDeferZeroFillMediaSample::GetPointerNoFill(BYTE** buffer)
{
    HRESULT hr = CMediaSample::GetPointer(buffer);
    if (SUCCEEDED(hr))
        m_pending = FALSE;
    return hr;
}
