#include "platform/media/CBufferMatcherFilter.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/com/ComRuntime.h"

namespace {

constexpr LONGLONG kUnitsPerSecond = 10000000;
// Output buffers the ring holds, at the least.
constexpr std::size_t kRingBuffers = 4;

const bool g_registered =
    SUCCEEDED(mvcom::RegisterBuiltinClass(CLSID_BufferMatcherFilter, &CBufferMatcherFilter::CreateInstance));

// The buffer size of an allocator, 0 when unknown.
LONG BufferBytes(IMemAllocator* allocator)
{
    ALLOCATOR_PROPERTIES props{};
    return (allocator && SUCCEEDED(allocator->GetProperties(&props))) ? props.cbBuffer : 0;
}

// The other pin's format, when it has one, must match in width and rate.
HRESULT SameShape(const CMediaType* mt, const WAVEFORMATEX& other)
{
    HRESULT hr = CFloatAudioFilter::CheckFloatType(mt);
    if (hr != S_OK || other.nChannels == 0)
        return hr;
    const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat);
    return (wfx->nChannels == other.nChannels && wfx->nSamplesPerSec == other.nSamplesPerSec)
               ? S_OK
               : VFW_E_TYPE_NOT_ACCEPTED;
}

}  // namespace

CBufferMatcherFilter::CBufferMatcherFilter(IUnknown* outer)
    : CFloatAudioFilter("CBufferMatcherFilter", outer, CLSID_BufferMatcherFilter)
{
}

CBufferMatcherFilter::~CBufferMatcherFilter() = default;

HRESULT CBufferMatcherFilter::CreateInstance(IUnknown* outer, REFIID riid, void** ppv)
{
    return CreateInstanceOf<CBufferMatcherFilter>(outer, riid, ppv);
}

HRESULT CBufferMatcherFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    HRESULT hr = AnswerFromTable(riid, ppv, {{&IID_IBufferMatcher, static_cast<IBufferMatcher*>(this)}});
    return hr == E_NOINTERFACE ? CFloatAudioFilter::NonDelegatingQueryInterface(riid, ppv) : hr;
}

HRESULT CBufferMatcherFilter::Pause()
{
    CAutoLock lock(&m_lock);
    if (m_State == State_Stopped) {
        m_outBytes = BufferBytes(m_output.Allocator());
        const std::size_t biggest = static_cast<std::size_t>(
            std::max({BufferBytes(m_input.Allocator()), m_outBytes, kDefaultFrames * 8}));
        try {
            m_ring.assign(kRingBuffers * biggest, 0);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        Empty();
    }
    return CFloatAudioFilter::Pause();
}

HRESULT CBufferMatcherFilter::CheckSizeArgument(LONG bytes) const
{
    const LONG align = m_input.Format().nBlockAlign;
    if (bytes < 0 || (align && bytes % align))
        return E_INVALIDARG;
    return S_OK;
}

HRESULT CBufferMatcherFilter::SetSegmentSize(LONG bytes)
{
    HRESULT hr = CheckSizeArgument(bytes);
    if (FAILED(hr))
        return hr;
    if (m_outBytes && bytes > m_outBytes)
        return VFW_E_BUFFER_OVERFLOW;
    m_segment.store(bytes);
    return S_OK;
}

HRESULT CBufferMatcherFilter::SetBlockSize(LONG bytes)
{
    HRESULT hr = CheckSizeArgument(bytes);
    if (FAILED(hr))
        return hr;
    if (!m_ring.empty() && static_cast<std::size_t>(bytes) > m_ring.size())
        return VFW_E_BUFFER_OVERFLOW;
    return S_OK;
}

void CBufferMatcherFilter::Empty()
{
    m_read = 0;
    m_count = 0;
    m_timed = false;
    m_discontinuity = FALSE;
}

HRESULT CBufferMatcherFilter::Reset()
{
    CAutoLock lock(&m_lock);
    Empty();
    m_segment.store(0);
    return S_OK;
}

HRESULT CBufferMatcherFilter::CheckInputType(const CMediaType* mt) { return SameShape(mt, m_output.Format()); }

HRESULT CBufferMatcherFilter::CheckOutputType(const CMediaType* mt) { return SameShape(mt, m_input.Format()); }

HRESULT CBufferMatcherFilter::Emit(IMediaSample* out, std::size_t bytes)
{
    BYTE* dst = nullptr;
    HRESULT hr = out->SetActualDataLength(static_cast<LONG>(bytes));
    if (SUCCEEDED(hr))
        hr = out->GetPointer(&dst);
    if (FAILED(hr))
        return hr;
    const std::size_t first = std::min(bytes, m_ring.size() - m_read);
    std::memcpy(dst, m_ring.data() + m_read, first);
    std::memcpy(dst + first, m_ring.data(), bytes - first);
    m_read = (m_read + bytes) % m_ring.size();
    m_count -= bytes;
    return StampAndDeliver(out, static_cast<LONGLONG>(bytes / m_input.Format().nBlockAlign));
}

HRESULT CBufferMatcherFilter::StampAndDeliver(IMediaSample* out, LONGLONG frames)
{
    const WAVEFORMATEX& format = m_input.Format();
    if (m_timed) {
        // Measured from the anchor each time, so no rounding piles up.
        REFERENCE_TIME start = m_anchorTime + m_headOffset * kUnitsPerSecond / format.nSamplesPerSec;
        REFERENCE_TIME stop = m_anchorTime + (m_headOffset + frames) * kUnitsPerSecond / format.nSamplesPerSec;
        out->SetTime(&start, &stop);
    }
    m_headOffset += frames;
    out->SetDiscontinuity(m_discontinuity);
    m_discontinuity = FALSE;
    return m_output.Deliver(out);
}

HRESULT CBufferMatcherFilter::Transform(IMediaSample* sample)
{
    const WAVEFORMATEX& format = m_input.Format();
    if (m_ring.empty() || !format.nBlockAlign || !format.nSamplesPerSec)
        return VFW_E_WRONG_STATE;
    const LONG length = sample->GetActualDataLength();
    if (length < 0 || static_cast<std::size_t>(length) > m_ring.size() - m_count)
        return VFW_E_BUFFER_OVERFLOW;
    REFERENCE_TIME start = 0, stop = 0;
    if (SUCCEEDED(sample->GetTime(&start, &stop))) {
        m_anchorTime = start;
        m_headOffset = -static_cast<LONGLONG>(m_count / format.nBlockAlign);
        m_timed = true;
    }
    if (sample->IsDiscontinuity() == S_OK)
        m_discontinuity = TRUE;
    const std::size_t segment = static_cast<std::size_t>(m_segment.load());
    const auto incoming = static_cast<std::size_t>(length);
    // Nothing held and a block that leaves whole as it came: the block
    // itself goes on, without a copy (and a silent one still without its
    // zeros written); its sender is done with it once it has delivered it,
    // as with any sample handed downstream. Without a segment it must also
    // fit the blocks the output hands on.
    const auto room = static_cast<std::size_t>(m_outBytes - m_outBytes % format.nBlockAlign);
    if (m_count == 0 && incoming > 0 && incoming % format.nBlockAlign == 0 &&
        (segment == 0 ? incoming <= room : segment == incoming))
        return StampAndDeliver(sample, static_cast<LONGLONG>(incoming / format.nBlockAlign));
    BYTE* src = nullptr;
    HRESULT hr = sample->GetPointer(&src);
    if (FAILED(hr))
        return hr;
    const std::size_t write = (m_read + m_count) % m_ring.size();
    const std::size_t first = std::min(static_cast<std::size_t>(length), m_ring.size() - write);
    std::memcpy(m_ring.data() + write, src, first);
    std::memcpy(m_ring.data(), src + first, static_cast<std::size_t>(length) - first);
    m_count += static_cast<std::size_t>(length);

    while (m_count > 0 && (segment == 0 || m_count >= segment)) {
        IMediaSample* out = nullptr;
        hr = m_output.GetDeliveryBuffer(&out, nullptr, nullptr, 0);
        if (FAILED(hr))
            return hr;
        std::size_t bytes = segment;
        if (segment == 0) {
            const std::size_t room = static_cast<std::size_t>(out->GetSize());
            bytes = std::min(m_count, room - room % format.nBlockAlign);
        }
        hr = bytes ? Emit(out, bytes) : VFW_E_BUFFER_OVERFLOW;
        out->Release();
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}
