// The buffer-matcher filter of the float audio graph: it re-blocks the
// stream so that what leaves it comes in blocks of the size the audio
// renderer asks for, whatever block sizes arrive (an effect may answer a
// block with more or less than it was given). The program creates it by
// class identifier; it is a built-in class of every program that links this
// library.
//
// Audio is kept, in order, in a ring sized when the filter pauses; every
// block that arrives is added, and while a whole segment is held one block
// of exactly the segment size goes out. Before any size is given (and after
// Reset) blocks pass with the size they came with. Each block leaves with
// the time of its first frame and carries a discontinuity that arrived in
// it. Input and output have the same width and rate.
//
// Sizes are bytes. The size calls come on the audio thread and are atomic;
// Reset runs on the UI thread before streaming starts.
#pragma once

#include <atomic>
#include <vector>

#include "platform/media/CFloatAudioFilter.h"
#include "platform/media/IBufferMatcher.h"

MV_DEFINE_GUID(CLSID_BufferMatcherFilter, 0x670EE083, 0xB049, 0x48D9, 0x83, 0x79, 0xA4, 0x7B, 0x45, 0x94, 0x38,
               0x88);

class CBufferMatcherFilter : public CFloatAudioFilter, public IBufferMatcher {
public:
    // The class factory's creation: a new filter asked for riid.
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv);
    ~CBufferMatcherFilter() override;

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // From stopped, sizes the ring for the agreed buffers and empties it.
    STDMETHODIMP Pause() override;

    // Audio thread: no allocation, no blocking. The size of every block
    // that leaves (0: as they come). E_INVALIDARG for a negative size or one
    // that is not whole frames; VFW_E_BUFFER_OVERFLOW for more than an output
    // buffer holds.
    STDMETHODIMP SetSegmentSize(LONG bytes) override;
    // Empties the held audio and forgets the sizes.
    STDMETHODIMP Reset() override;
    // Audio thread: no allocation, no blocking. The device block the
    // segments make up: the ring must be able to hold it
    // (VFW_E_BUFFER_OVERFLOW otherwise); E_INVALIDARG for a negative size or
    // one that is not whole frames.
    STDMETHODIMP SetBlockSize(LONG bytes) override;

    // Same width and rate as the other pin once that is connected.
    HRESULT CheckInputType(const CMediaType* mt) override;
    HRESULT CheckOutputType(const CMediaType* mt) override;

    // Audio thread: no allocation, no blocking. A block that does not fit
    // in the ring is refused (VFW_E_BUFFER_OVERFLOW) and nothing of it kept.
    HRESULT Transform(IMediaSample* sample) override;

    // Bytes held, waiting to make up a whole segment.
    LONG HeldBytes() const { return static_cast<LONG>(m_count); }

private:
    friend class CFloatAudioFilter;
    explicit CBufferMatcherFilter(IUnknown* outer);

    HRESULT CheckSizeArgument(LONG bytes) const;
    // Sends `bytes` downstream as one block: the oldest of the ring.
    // Audio thread: no allocation, no blocking.
    HRESULT Emit(IMediaSample* out, std::size_t bytes);
    // Stamps `out`, `frames` long, with its time and discontinuity and
    // delivers it. Audio thread: no allocation, no blocking.
    HRESULT StampAndDeliver(IMediaSample* out, LONGLONG frames);
    void Empty();

    std::vector<BYTE> m_ring;
    std::size_t m_read = 0;
    std::size_t m_count = 0;
    LONG m_outBytes = 0;
    std::atomic<LONG> m_segment{0};
    // The time of the last stamped frame that arrived, and how many frames
    // the oldest held frame lies after it (negative: before it).
    REFERENCE_TIME m_anchorTime = 0;
    LONGLONG m_headOffset = 0;
    bool m_timed = false;
    BOOL m_discontinuity = FALSE;
};
