// A one-in, one-out filter for the engine graph's tests that reworks each
// block in place and hands the same sample on, as an effect may; it counts
// the blocks it sees and remembers the last sample.
#pragma once

#include <functional>

#include "engine/graph/FloatAudioType.h"
#include "platform/media/CBaseFilter.h"
#include "platform/media/CBaseInputPin.h"
#include "platform/media/CBaseOutputPin.h"

namespace mvtest {

MV_DEFINE_GUID(CLSID_InPlaceFilter, 0x5EC0D1A6, 0x0002, 0x0002, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08);

class InPlaceFilter;

class InPlaceIn : public CBaseInputPin {
public:
    InPlaceIn(InPlaceFilter* owner, CCritSec* lock);
    HRESULT CheckMediaType(const CMediaType* mt) override { return CheckSourceFloatType(mt); }
    STDMETHODIMP Receive(IMediaSample* sample) override;

private:
    InPlaceFilter* m_owner;
};

class InPlaceOut : public CBaseOutputPin {
public:
    InPlaceOut(CBaseFilter* owner, CCritSec* lock) : CBaseOutputPin("InPlaceOut", owner, lock, nullptr, u"Out")
    {
    }
    HRESULT CheckMediaType(const CMediaType* mt) override { return CheckSourceFloatType(mt); }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) override
    {
        props->cBuffers = 2;
        props->cbBuffer = 64 * 1024;
        props->cbAlign = 16;
        ALLOCATOR_PROPERTIES actual{};
        return allocator->SetProperties(props, &actual);
    }
};

class InPlaceFilter : public CBaseFilter {
public:
    // `work` gets the block's floats and their count.
    explicit InPlaceFilter(std::function<void(float*, int)> work)
        : CBaseFilter("InPlaceFilter", nullptr, &m_lock, CLSID_InPlaceFilter), work(std::move(work)),
          m_in(this, &m_lock), m_out(this, &m_lock)
    {
    }
    int GetPinCount() override { return 2; }
    CBasePin* GetPin(int n) override
    {
        return n == 0 ? static_cast<CBasePin*>(&m_in) : n == 1 ? static_cast<CBasePin*>(&m_out) : nullptr;
    }
    InPlaceOut& Out() { return m_out; }

    std::function<void(float*, int)> work;
    int received = 0;
    IMediaSample* lastSample = nullptr;  // identity only

private:
    CCritSec m_lock;
    InPlaceIn m_in;
    InPlaceOut m_out;
};

inline InPlaceIn::InPlaceIn(InPlaceFilter* owner, CCritSec* lock)
    : CBaseInputPin("InPlaceIn", owner, lock, nullptr, u"In"), m_owner(owner)
{
}

inline HRESULT InPlaceIn::Receive(IMediaSample* sample)
{
    ++m_owner->received;
    m_owner->lastSample = sample;
    // Without work the block is not even read, so silence stays a flag.
    if (m_owner->work) {
        BYTE* p = nullptr;
        sample->GetPointer(&p);
        m_owner->work(reinterpret_cast<float*>(p), sample->GetActualDataLength() / 4);
    }
    return m_owner->Out().Deliver(sample);
}

}  // namespace mvtest
