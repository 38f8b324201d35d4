// A sink for the engine graph's tests: its input pin "In" takes the types a
// predicate allows (float of one or two channels unless told otherwise),
// records every block that arrives (its sample, whether it was marked
// silent, its flags, time and data) and every end-of-stream, and answers
// Receive with a result the test chooses.
#pragma once

#include <functional>
#include <vector>

#include "engine/graph/CDxInputPin.h"
#include "engine/graph/DxSampleOps.h"
#include "engine/graph/FloatAudioType.h"
#include "platform/media/CBaseFilter.h"

namespace mvtest {

MV_DEFINE_GUID(CLSID_RecordingSink, 0x5EC0D1A6, 0x0001, 0x0001, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x07);

struct RecordedBlock {
    IMediaSample* sample;  // identity only: not referenced
    bool silent;
    bool discontinuity;
    bool timed;
    REFERENCE_TIME start;
    std::vector<float> data;
};

class RecordingSink;

class RecordingSinkPin : public CDxInputPin {
public:
    RecordingSinkPin(RecordingSink* owner, CCritSec* lock, CDxFilterGraph* graph);
    HRESULT CheckMediaType(const CMediaType* mt) override;
    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP EndOfStream() override;

private:
    RecordingSink* m_owner;
};

class RecordingSink : public CBaseFilter {
public:
    explicit RecordingSink(CDxFilterGraph* graph)
        : CBaseFilter("RecordingSink", nullptr, &m_lock, CLSID_RecordingSink), m_pin(this, &m_lock, graph)
    {
    }
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &m_pin : nullptr; }
    RecordingSinkPin* Pin() { return &m_pin; }
    WORD Channels() const
    {
        const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(m_pin.CurrentMediaType().pbFormat);
        return wfx ? wfx->nChannels : 0;
    }
    const RecordedBlock& Last() const { return blocks.back(); }

    std::function<HRESULT(const CMediaType*)> accept = [](const CMediaType* mt) {
        return CheckRendererFloatType(mt);
    };
    HRESULT answer = S_OK;
    std::vector<RecordedBlock> blocks;
    int endOfStreams = 0;

private:
    CCritSec m_lock;
    RecordingSinkPin m_pin;
};

inline RecordingSinkPin::RecordingSinkPin(RecordingSink* owner, CCritSec* lock, CDxFilterGraph* graph)
    : CDxInputPin("RecordingSinkPin", owner, lock, nullptr, u"In", graph), m_owner(owner)
{
}

inline HRESULT RecordingSinkPin::CheckMediaType(const CMediaType* mt) { return m_owner->accept(mt); }

inline HRESULT RecordingSinkPin::Receive(IMediaSample* sample)
{
    RecordedBlock block{sample, IsZeroFillPending(sample) == TRUE, sample->IsDiscontinuity() == S_OK, false, 0, {}};
    REFERENCE_TIME stop = 0;
    block.timed = SUCCEEDED(sample->GetTime(&block.start, &stop));
    BYTE* p = nullptr;
    sample->GetPointer(&p);
    const auto* f = reinterpret_cast<const float*>(p);
    block.data.assign(f, f + sample->GetActualDataLength() / 4);
    m_owner->blocks.push_back(std::move(block));
    return m_owner->answer;
}

inline HRESULT RecordingSinkPin::EndOfStream()
{
    ++m_owner->endOfStreams;
    return S_OK;
}

}  // namespace mvtest
