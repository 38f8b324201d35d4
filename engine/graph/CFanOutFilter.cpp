#include "engine/graph/CFanOutFilter.h"

#include <cstring>
#include <new>

#include "engine/graph/DxSampleOps.h"

CFanOutFilter::CFanOutFilter(const char* objectName, CDxFilterGraph* graph, REFCLSID clsid)
    : CBaseFilter(objectName, nullptr, this, clsid), m_graph(graph)
{
}

CFanOutFilter::~CFanOutFilter()
{
    HoldAllocator(nullptr);
    for (CFanOutOutputPin* pin : m_outputs)
        delete pin;
    delete m_input;
}

HRESULT CFanOutFilter::AdoptPins(CFanOutInputPin* input, std::vector<CFanOutOutputPin*> outputs)
{
    m_input = input;
    m_outputs = std::move(outputs);
    HRESULT hr = input ? S_OK : E_OUTOFMEMORY;
    for (CFanOutOutputPin*& pin : m_outputs) {
        if (!pin)
            hr = E_OUTOFMEMORY;
    }
    if (FAILED(hr))
        return hr;
    try {
        m_copies.assign(m_outputs.size(), nullptr);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

CBasePin* CFanOutFilter::GetPin(int n)
{
    if (n == 0)
        return m_input;
    return OutputPin(n - 1);
}

CFanOutOutputPin* CFanOutFilter::OutputPin(int n) const
{
    return (n >= 0 && n < OutputCount()) ? m_outputs[static_cast<std::size_t>(n)] : nullptr;
}

void CFanOutFilter::HoldAllocator(IMemAllocator* allocator)
{
    if (allocator == m_held)
        return;
    if (allocator)
        allocator->AddRef();
    if (m_held)
        m_held->Release();
    m_held = allocator;
}

void CFanOutFilter::EndIfUnfed()
{
    // Nothing will ever arrive: say so downstream. Whether anyone listens
    // does not decide the state change.
    if (m_input && !m_input->IsConnected())
        m_input->EndOfStream();
}

HRESULT CFanOutFilter::Stop()
{
    CAutoLock lock(this);
    return CBaseFilter::Stop();
}

HRESULT CFanOutFilter::Pause()
{
    CAutoLock lock(this);
    if (m_State == State_Paused)
        return S_OK;
    HRESULT hr = CBaseFilter::Pause();
    if (SUCCEEDED(hr))
        EndIfUnfed();
    return hr;
}

HRESULT CFanOutFilter::Run(REFERENCE_TIME start)
{
    CAutoLock lock(this);
    HRESULT hr = CBaseFilter::Run(start);
    if (SUCCEEDED(hr))
        EndIfUnfed();
    return hr;
}

HRESULT CFanOutFilter::FanOut(IMediaSample* sample)
{
    if (!sample)
        return E_POINTER;
    CTryLock lock(this);
    if (!lock.Locked())
        return VFW_E_WRONG_STATE;
    CFanOutOutputPin* first = OutputPin(0);
    if (!first || !first->IsConnected())
        return VFW_E_NOT_CONNECTED;

    REFERENCE_TIME start = 0, stop = 0;
    HRESULT timeHr = E_FAIL;
    if (sample->IsDiscontinuity() == S_OK)
        timeHr = sample->GetTime(&start, &stop);
    const LONG length = sample->GetActualDataLength();
    const BOOL silent = IsZeroFillPending(sample);

    // Every copy is made before output 0 gets the block: whatever sits
    // behind output 0 may rework the sample in place.
    HRESULT failure = S_OK;
    const int count = OutputCount();
    for (int k = 1; k < count && SUCCEEDED(failure); ++k) {
        CFanOutOutputPin* out = m_outputs[static_cast<std::size_t>(k)];
        if (!out->IsConnected())
            continue;
        IMediaSample* copy = nullptr;
        HRESULT hr = out->GetDeliveryBuffer(&copy, nullptr, nullptr, 0);
        if (SUCCEEDED(hr))
            hr = copy->SetActualDataLength(length);
        if (SUCCEEDED(hr) && silent) {
            hr = MarkSilent(copy);
        } else if (SUCCEEDED(hr)) {
            BYTE* from = nullptr;
            BYTE* to = nullptr;
            hr = sample->GetPointer(&from);
            if (SUCCEEDED(hr))
                hr = copy->GetPointer(&to);
            if (SUCCEEDED(hr))
                std::memcpy(to, from, static_cast<std::size_t>(length));
        }
        if (SUCCEEDED(hr) && SUCCEEDED(timeHr)) {
            copy->SetDiscontinuity(TRUE);
            copy->SetTime(&start, timeHr == S_OK ? &stop : nullptr);
        }
        if (FAILED(hr)) {
            if (copy)
                copy->Release();
            failure = hr;
        } else {
            m_copies[static_cast<std::size_t>(k)] = copy;
        }
    }

    HRESULT hr = first->Deliver(sample);
    for (int k = 1; k < count; ++k) {
        IMediaSample*& copy = m_copies[static_cast<std::size_t>(k)];
        if (!copy)
            continue;
        if (SUCCEEDED(hr))
            hr = m_outputs[static_cast<std::size_t>(k)]->Deliver(copy);
        copy->Release();
        copy = nullptr;
    }
    return FAILED(hr) ? hr : failure;
}
