#include "platform/media/CBaseOutputPin.h"

#include "platform/media/CMemAllocator.h"

CBaseOutputPin::CBaseOutputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr,
                               LPCWSTR name)
    : CBasePin(objectName, filter, lock, phr, name, PINDIR_OUTPUT)
{
}

CBaseOutputPin::~CBaseOutputPin()
{
    if (m_pAllocator)
        m_pAllocator->Release();
    if (m_pInputPin)
        m_pInputPin->Release();
}

HRESULT CBaseOutputPin::CheckConnect(IPin* pin)
{
    HRESULT hr = CBasePin::CheckConnect(pin);
    if (FAILED(hr))
        return hr;
    IMemInputPin* input = nullptr;
    hr = pin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input));
    if (FAILED(hr))
        return hr;
    if (m_pInputPin)
        m_pInputPin->Release();
    m_pInputPin = input;
    return S_OK;
}

HRESULT CBaseOutputPin::CompleteConnect(IPin*)
{
    if (!m_pInputPin)
        return VFW_E_NOT_CONNECTED;
    return DecideAllocator(m_pInputPin, &m_pAllocator);
}

HRESULT CBaseOutputPin::BreakConnect()
{
    if (m_pAllocator) {
        m_pAllocator->Decommit();
        m_pAllocator->Release();
        m_pAllocator = nullptr;
    }
    if (m_pInputPin) {
        m_pInputPin->Release();
        m_pInputPin = nullptr;
    }
    return S_OK;
}

HRESULT CBaseOutputPin::DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator)
{
    if (!pin || !allocator)
        return E_POINTER;
    *allocator = nullptr;
    ALLOCATOR_PROPERTIES props{};
    pin->GetAllocatorRequirements(&props);
    if (props.cbAlign == 0)
        props.cbAlign = 1;

    HRESULT hr = pin->GetAllocator(allocator);
    if (SUCCEEDED(hr) && *allocator && AcceptsInputAllocator(*allocator) &&
        SUCCEEDED(SizeAndNotify(pin, *allocator, &props)))
        return S_OK;
    if (*allocator) {
        (*allocator)->Release();
        *allocator = nullptr;
    }

    hr = InitAllocator(allocator);
    if (SUCCEEDED(hr) && !*allocator)
        hr = VFW_E_NO_ALLOCATOR;
    if (SUCCEEDED(hr))
        hr = SizeAndNotify(pin, *allocator, &props);
    if (FAILED(hr) && *allocator) {
        (*allocator)->Release();
        *allocator = nullptr;
    }
    return hr;
}

bool CBaseOutputPin::AcceptsInputAllocator(IMemAllocator*) { return true; }

HRESULT CBaseOutputPin::SizeAndNotify(IMemInputPin* pin, IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props)
{
    HRESULT hr = DecideBufferSize(allocator, props);
    return SUCCEEDED(hr) ? pin->NotifyAllocator(allocator, FALSE) : hr;
}

HRESULT CBaseOutputPin::InitAllocator(IMemAllocator** allocator) { return CMemAllocator::Create(allocator); }

HRESULT CBaseOutputPin::Active()
{
    if (!m_pAllocator)
        return VFW_E_NO_ALLOCATOR;
    return m_pAllocator->Commit();
}

HRESULT CBaseOutputPin::Inactive()
{
    if (!m_pAllocator)
        return VFW_E_NO_ALLOCATOR;
    return m_pAllocator->Decommit();
}

HRESULT CBaseOutputPin::GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* end,
                                          DWORD flags)
{
    if (!sample)
        return E_POINTER;
    if (!m_pAllocator) {
        *sample = nullptr;
        return VFW_E_NOT_CONNECTED;
    }
    return m_pAllocator->GetBuffer(sample, start, end, flags);
}

HRESULT CBaseOutputPin::Deliver(IMediaSample* sample)
{
    if (!m_pInputPin)
        return VFW_E_NOT_CONNECTED;
    return m_pInputPin->Receive(sample);
}

HRESULT CBaseOutputPin::DeliverEndOfStream()
{
    if (!m_Connected)
        return VFW_E_NOT_CONNECTED;
    return m_Connected->EndOfStream();
}

HRESULT CBaseOutputPin::DeliverBeginFlush()
{
    if (!m_Connected)
        return VFW_E_NOT_CONNECTED;
    return m_Connected->BeginFlush();
}

HRESULT CBaseOutputPin::DeliverEndFlush()
{
    if (!m_Connected)
        return VFW_E_NOT_CONNECTED;
    return m_Connected->EndFlush();
}

HRESULT CBaseOutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    if (!m_Connected)
        return VFW_E_NOT_CONNECTED;
    return m_Connected->NewSegment(start, stop, rate);
}

HRESULT CBaseOutputPin::EndOfStream() { return E_UNEXPECTED; }

HRESULT CBaseOutputPin::BeginFlush() { return E_UNEXPECTED; }

HRESULT CBaseOutputPin::EndFlush() { return E_UNEXPECTED; }
