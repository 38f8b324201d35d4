// Two small filters for exercising the media base classes: a source whose
// output pin offers a list of types and pushes blocks of bytes, and a sink
// whose input pin accepts the types a predicate allows and records what it
// receives. Both log their state changes to a shared journal.
#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/media/CBaseFilter.h"
#include "platform/media/CBaseInputPin.h"
#include "platform/media/CBaseOutputPin.h"
#include "platform/media/CMediaType.h"

namespace mvtest {

MV_DEFINE_GUID(CLSID_TestSource, 0x1A2B3C4D, 0x0001, 0x0001, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01);
MV_DEFINE_GUID(CLSID_TestSink, 0x1A2B3C4D, 0x0002, 0x0002, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02);

// A float audio type with the given channel count.
inline CMediaType FloatType(WORD channels, DWORD rate = 44100)
{
    CMediaType mt;
    mt.majortype = MEDIATYPE_Audio;
    mt.subtype = MEDIASUBTYPE_IEEE_FLOAT;
    mt.formattype = FORMAT_WaveFormatEx;
    mt.bFixedSizeSamples = TRUE;
    mt.lSampleSize = 4u * channels;
    WAVEFORMATEX wfx{WAVE_FORMAT_IEEE_FLOAT, channels, rate, rate * 4u * channels, WORD(4 * channels), 32, 0};
    mt.SetFormat(reinterpret_cast<const BYTE*>(&wfx), sizeof wfx);
    return mt;
}

inline WORD ChannelsOf(const AM_MEDIA_TYPE& mt)
{
    return mt.pbFormat ? reinterpret_cast<const WAVEFORMATEX*>(mt.pbFormat)->nChannels : 0;
}

class TestSource;

class TestSourcePin : public CBaseOutputPin {
public:
    TestSourcePin(TestSource* filter, CCritSec* lock);
    HRESULT CheckMediaType(const CMediaType* mt) override;
    HRESULT GetMediaType(int position, CMediaType* mt) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) override;
    HRESULT InitAllocator(IMemAllocator** allocator) override;

private:
    TestSource* m_owner;
};

class TestSource : public CBaseFilter {
public:
    TestSource(std::vector<std::string>* journal, bool* destroyed = nullptr);
    ~TestSource() override;
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &m_pin : nullptr; }
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;

    // Gets a buffer, writes `bytes` copies of `fill` and delivers it.
    HRESULT Push(LONG bytes, BYTE fill);

    std::vector<CMediaType> offered;
    std::function<HRESULT(const CMediaType*)> accept = [](const CMediaType*) { return S_OK; };
    LONG buffers = 2;
    LONG bufferBytes = 1024;
    bool ownAllocatorFails = false;  // InitAllocator answers S_OK with nothing
    TestSourcePin* Pin() { return &m_pin; }

private:
    CCritSec m_lock;
    TestSourcePin m_pin;
    std::vector<std::string>* m_journal;
    bool* m_destroyed;
};

class TestSink;

class TestSinkPin : public CBaseInputPin {
public:
    TestSinkPin(TestSink* filter, CCritSec* lock);
    HRESULT CheckMediaType(const CMediaType* mt) override;
    HRESULT GetMediaType(int position, CMediaType* mt) override;
    STDMETHODIMP Receive(IMediaSample* sample) override;

private:
    TestSink* m_owner;
};

class TestSink : public CBaseFilter {
public:
    TestSink(std::vector<std::string>* journal, bool* destroyed = nullptr);
    ~TestSink() override;
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &m_pin : nullptr; }
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;

    std::vector<CMediaType> offered;
    std::function<HRESULT(const CMediaType*)> accept = [](const CMediaType*) { return S_OK; };
    // Sees each sample before the sink reads it.
    std::function<void(IMediaSample*)> onReceive;
    std::vector<BYTE> lastBlock;
    int received = 0;
    TestSinkPin* Pin() { return &m_pin; }

private:
    CCritSec m_lock;
    TestSinkPin m_pin;
    std::vector<std::string>* m_journal;
    bool* m_destroyed;
};

// Definitions, kept here so every test program can use the filters.


namespace detail {
inline void Note(std::vector<std::string>* journal, std::string what)
{
    if (journal)
        journal->push_back(std::move(what));
}
}  // namespace detail

inline TestSourcePin::TestSourcePin(TestSource* filter, CCritSec* lock)
    : CBaseOutputPin("TestSourcePin", filter, lock, nullptr, u"Out"), m_owner(filter)
{
}

inline HRESULT TestSourcePin::CheckMediaType(const CMediaType* mt) { return m_owner->accept(mt); }

inline HRESULT TestSourcePin::GetMediaType(int position, CMediaType* mt)
{
    if (position < 0)
        return E_INVALIDARG;
    if (position >= static_cast<int>(m_owner->offered.size()))
        return VFW_S_NO_MORE_ITEMS;
    *mt = m_owner->offered[static_cast<std::size_t>(position)];
    return S_OK;
}

inline HRESULT TestSourcePin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props)
{
    props->cBuffers = m_owner->buffers;
    props->cbBuffer = m_owner->bufferBytes;
    ALLOCATOR_PROPERTIES actual{};
    return allocator->SetProperties(props, &actual);
}

inline HRESULT TestSourcePin::InitAllocator(IMemAllocator** allocator)
{
    if (m_owner->ownAllocatorFails) {
        *allocator = nullptr;
        return S_OK;
    }
    return CBaseOutputPin::InitAllocator(allocator);
}

inline TestSource::TestSource(std::vector<std::string>* journal, bool* destroyed)
    : CBaseFilter("TestSource", nullptr, &m_lock, CLSID_TestSource), m_pin(this, &m_lock), m_journal(journal),
      m_destroyed(destroyed)
{
}

inline TestSource::~TestSource()
{
    if (m_destroyed)
        *m_destroyed = true;
}

inline HRESULT TestSource::Stop()
{
    detail::Note(m_journal, "source stop");
    return CBaseFilter::Stop();
}

inline HRESULT TestSource::Pause()
{
    detail::Note(m_journal, "source pause");
    return CBaseFilter::Pause();
}

inline HRESULT TestSource::Push(LONG bytes, BYTE fill)
{
    IMediaSample* sample = nullptr;
    HRESULT hr = m_pin.GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
    if (FAILED(hr))
        return hr;
    BYTE* p = nullptr;
    sample->GetPointer(&p);
    std::fill(p, p + bytes, fill);
    hr = sample->SetActualDataLength(bytes);
    if (SUCCEEDED(hr))
        hr = m_pin.Deliver(sample);
    sample->Release();
    return hr;
}

inline TestSinkPin::TestSinkPin(TestSink* filter, CCritSec* lock)
    : CBaseInputPin("TestSinkPin", filter, lock, nullptr, u"In"), m_owner(filter)
{
}

inline HRESULT TestSinkPin::CheckMediaType(const CMediaType* mt) { return m_owner->accept(mt); }

inline HRESULT TestSinkPin::GetMediaType(int position, CMediaType* mt)
{
    if (position < 0)
        return E_INVALIDARG;
    if (position >= static_cast<int>(m_owner->offered.size()))
        return VFW_S_NO_MORE_ITEMS;
    *mt = m_owner->offered[static_cast<std::size_t>(position)];
    return S_OK;
}

inline HRESULT TestSinkPin::Receive(IMediaSample* sample)
{
    HRESULT hr = CBaseInputPin::Receive(sample);
    if (hr != S_OK)
        return hr;
    if (m_owner->onReceive)
        m_owner->onReceive(sample);
    BYTE* p = nullptr;
    sample->GetPointer(&p);
    m_owner->lastBlock.assign(p, p + sample->GetActualDataLength());
    ++m_owner->received;
    return S_OK;
}

inline TestSink::TestSink(std::vector<std::string>* journal, bool* destroyed)
    : CBaseFilter("TestSink", nullptr, &m_lock, CLSID_TestSink), m_pin(this, &m_lock), m_journal(journal),
      m_destroyed(destroyed)
{
}

inline TestSink::~TestSink()
{
    if (m_destroyed)
        *m_destroyed = true;
}

inline HRESULT TestSink::Stop()
{
    detail::Note(m_journal, "sink stop");
    return CBaseFilter::Stop();
}

inline HRESULT TestSink::Pause()
{
    detail::Note(m_journal, "sink pause");
    return CBaseFilter::Pause();
}

}  // namespace mvtest
