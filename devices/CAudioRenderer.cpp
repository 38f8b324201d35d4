#include "devices/CAudioRenderer.h"

#include <algorithm>
#include <cstring>

#include "devices/AudDataConvert.h"
#include "engine/graph/CDxBufRenderer.h"
#include "engine/graph/CDxSource.h"
#include "engine/graph/SampleKernels.h"
#include "platform/media/IBufferMatcher.h"
#include "platform/sync/ThreadAffinity.h"

namespace {

constexpr LONGLONG kUnitsPerSecond = 10000000;
constexpr LONG kStereoFrameBytes = 8;

HRESULT ResetMatcher(IBufferMatcher* matcher, BOOL* present)
{
    if (!matcher)
        return S_OK;
    if (present)
        *present = TRUE;
    HRESULT hr = matcher->Reset();
    return FAILED(hr) ? hr : S_OK;
}

HRESULT SizeMatcher(IBufferMatcher* matcher, int segment, int block)
{
    if (!matcher)
        return S_OK;
    HRESULT hr = matcher->SetSegmentSize(segment * kStereoFrameBytes);
    if (SUCCEEDED(hr))
        hr = matcher->SetBlockSize(block * kStereoFrameBytes);
    return FAILED(hr) ? hr : S_OK;
}

}  // namespace

CAudioRenderer::CAudioRenderer() { std::fill(std::begin(m_input), std::end(m_input), 0.0f); }

CAudioRenderer::~CAudioRenderer() = default;

HRESULT CAudioRenderer::SetSampleRate(int rate)
{
    if (rate < 1)
        return E_INVALIDARG;
    m_sampleRate = rate;
    return S_OK;
}

HRESULT CAudioRenderer::SetBitDepth(unsigned short bits)
{
    if (bits != 16 && bits != 24 && bits != 32)
        return E_INVALIDARG;
    m_bitsPerSample = bits;
    return S_OK;
}

HRESULT CAudioRenderer::Set24BitMode(unsigned short mode)
{
    m_mode24 = mode;
    return S_OK;
}

HRESULT CAudioRenderer::SetSamplePosition(LONGLONG position)
{
    m_samplePosition.store(position);
    m_firstBlock = TRUE;
    return S_OK;
}

HRESULT CAudioRenderer::Prepare()
{
    MV_ASSERT_UI_THREAD();
    m_firstBlock = TRUE;
    m_matchersPresent = FALSE;
    if (!m_lock.TryLock())
        return E_FAIL;
    m_inputPresent = FALSE;
    if (m_document) {
        CDxSource* single = m_document->GetInputSource();
        if (single && single->IsConnected()) {
            m_inputPresent = TRUE;
        } else {
            for (int i = 0; i < m_document->GetPushSourceCount() && !m_inputPresent; ++i) {
                CDxSource* s = m_document->GetPushSource(i);
                m_inputPresent = s && s->IsConnected();
            }
        }
    }
    HRESULT hr = ResetRenderers();
    m_lock.Unlock();
    return hr;
}

HRESULT CAudioRenderer::ResetRenderers()
{
    MV_ASSERT_UI_THREAD();
    IRenderDocument* doc = m_document;
    if (!doc)
        return S_OK;
    HRESULT hr = S_OK;
    for (int c = 0; c < doc->GetChannelCount() && SUCCEEDED(hr); ++c)
        for (int o = 0; o < doc->GetChannelOutputCount(c) && SUCCEEDED(hr); ++o)
            hr = ResetMatcher(doc->GetChannelOutputMatcher(c, o), &m_matchersPresent);
    for (int b = 0; b < doc->GetAuxBusCount() && SUCCEEDED(hr); ++b)
        hr = ResetMatcher(doc->GetAuxBusMatcher(b), &m_matchersPresent);
    if (FAILED(hr))
        return hr;
    if (!doc->HasMasterBus())
        return E_FAIL;
    hr = ResetMatcher(doc->GetMasterChainMatcher(), nullptr);
    if (SUCCEEDED(hr))
        hr = ResetMatcher(doc->GetMasterBusMatcher(), nullptr);
    return hr;
}

HRESULT CAudioRenderer::BeginSegment(int segment, int remaining)
{
    MV_ASSERT_AUDIO_THREAD();
    if (!m_matchersPresent)
        return S_OK;
    IRenderDocument* doc = m_document;
    if (!doc)
        return E_UNEXPECTED;
    HRESULT hr = S_OK;
    const int channels = doc->GetChannelCount();
    if (channels > 0) {
        // Each count asked once: every ask walks the document's channels.
        for (int c = 0; c < channels && SUCCEEDED(hr); ++c) {
            const int outputs = doc->GetChannelOutputCount(c);
            for (int o = 0; o < outputs && SUCCEEDED(hr); ++o)
                hr = SizeMatcher(doc->GetChannelOutputMatcher(c, o), segment, remaining);
        }
        for (int b = 0; b < doc->GetAuxBusCount() && SUCCEEDED(hr); ++b)
            if (doc->AuxBusHasConnectedInputs(b))
                hr = SizeMatcher(doc->GetAuxBusMatcher(b), segment, remaining);
    }
    if (FAILED(hr))
        return hr;
    if (!doc->HasMasterBus())
        return E_FAIL;
    return SizeMatcher(doc->GetMasterChainMatcher(), segment, segment);
}

HRESULT CAudioRenderer::BeginBuffer(int frames)
{
    MV_ASSERT_AUDIO_THREAD();
    IRenderDocument* doc = m_document;
    if (!doc)
        return E_UNEXPECTED;
    if (!doc->HasMasterBus())
        return E_FAIL;
    return SizeMatcher(doc->GetMasterBusMatcher(), frames, frames);
}

void CAudioRenderer::ConvertInput(const void* input, int samples)
{
    if (!input) {
        FillFloatBuffer(m_input, samples, FALSE, 0.0f);
        return;
    }
    if (m_bitsPerSample == 16) {
        Int16ToFloat(m_input, static_cast<const short*>(input), samples);
        return;
    }
    // Wider samples arrive in the layout the 24-bit mode gives the device.
    switch (m_mode24) {
    case 0:
        Packed24ToFloat(m_input, static_cast<const BYTE*>(input), samples);
        break;
    case 1:
    case 3:
        Int32ToFloat(m_input, static_cast<const std::int32_t*>(input), samples, false);
        break;
    case 2:
    case 4:
        Int32ToFloat(m_input, static_cast<const std::int32_t*>(input), samples, true);
        break;
    default:
        FillFloatBuffer(m_input, samples, FALSE, 0.0f);
        break;
    }
}

HRESULT CAudioRenderer::PushToSources(REFERENCE_TIME start, int frames)
{
    IRenderDocument* doc = m_document;
    if (!doc)
        return S_FALSE;
    bool pushed = false;
    auto push = [&](CDxSource* s) {
        if (s && s->IsConnected()) {
            s->PushBuffer(start, m_input, frames, m_firstBlock);
            pushed = true;
        }
    };
    push(doc->GetInputSource());
    for (int i = 0; i < doc->GetPushSourceCount(); ++i)
        push(doc->GetPushSource(i));
    if (!pushed)
        return S_FALSE;
    m_samplePosition.fetch_add(frames, std::memory_order_relaxed);
    m_firstBlock = FALSE;
    return S_OK;
}

void CAudioRenderer::ConvertOutput(void* output, const float* data, int frames, int floatOutput)
{
    const int samples = frames * 2;
    if (floatOutput) {
        std::memcpy(output, data, static_cast<std::size_t>(frames) * kStereoFrameBytes);
        return;
    }
    if (m_bitsPerSample == 16) {
        FloatToInt16(static_cast<short*>(output), data, samples, 32767.0, 2, 4);
        return;
    }
    switch (m_mode24) {
    case 0:
        Float24ToPacked(static_cast<BYTE*>(output), data, samples, kScale24Out, 2, 6);
        break;
    case 1:
    case 3:
        Float24To32(static_cast<std::int32_t*>(output), data, samples, kScale24Out, 2, 8);
        break;
    case 2:
    case 4:
        Float24To32(static_cast<std::int32_t*>(output), data, samples, kScale24Out, 2, 8);
        ShiftWordsLeft8(static_cast<std::int32_t*>(output), samples);
        break;
    default:
        break;
    }
}

HRESULT CAudioRenderer::RenderBuffer(void* output, const void* input, int frames, int* outFrames, int,
                                     int floatOutput)
{
    MV_ASSERT_AUDIO_THREAD();
    if (!outFrames || !output)
        return E_POINTER;
    if (frames < 1 || frames > kMaxFrames)
        return E_INVALIDARG;
    const REFERENCE_TIME start = GetSamplePosition() * kUnitsPerSecond / GetSampleRate();
    ConvertInput(input, frames * 2);
    PushToSources(start, frames);

    *outFrames = 0;
    CDxBufRenderer* renderer = m_document ? m_document->GetMasterRenderer() : nullptr;
    if (!renderer)
        return S_FALSE;
    float* data = nullptr;
    LONG got = 0;
    // Only a stereo block can be written, and never more than the device
    // asked for.
    if (FAILED(renderer->GetRenderedBuffer(&data, &got)) || renderer->Format().nChannels != 2) {
        renderer->ReleaseSample();
        return S_FALSE;
    }
    const int n = std::min<int>(got, frames);
    ConvertOutput(output, data, n, floatOutput);
    *outFrames = n;
    renderer->ReleaseSample();
    return S_OK;
}
