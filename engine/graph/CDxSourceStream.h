// The push source's single output pin, "Plug-in src". It keeps the agreed
// float format by value and the enabled flag: a disabled stream passes every
// block as deferred silence. Its allocator is the downstream pin's when that
// is the engine's allocator, else the one the graph gave its source.
//
// Lock order: this pin's own lock, then the filter lock.
#pragma once

#include "platform/media/CBaseOutputPin.h"

class CDxSource;

class CDxSourceStream : public CBaseOutputPin {
public:
    CDxSourceStream(CDxSource* filter, CCritSec* filterLock, HRESULT* phr, const WAVEFORMATEX* format);

    HRESULT CheckMediaType(const CMediaType* mt) override;
    HRESULT SetMediaType(const CMediaType* mt) override;
    HRESULT GetMediaType(int position, CMediaType* mt) override;
    // Only the engine's allocator is taken from the downstream pin.
    bool AcceptsInputAllocator(IMemAllocator* allocator) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) override;
    // The source's allocator, referenced; VFW_E_NO_ALLOCATOR when it has none.
    HRESULT InitAllocator(IMemAllocator** allocator) override;

    // Audio thread: no allocation, no blocking. Delivers one block: the
    // caller's frames, or deferred silence when they are null or the stream
    // is disabled. VFW_E_WRONG_STATE, without delivering, while another
    // thread holds the stream lock.
    HRESULT PushBuffer(REFERENCE_TIME start, const float* frames, LONG frameCount, BOOL discontinuity);

    void SetEnabled(BOOL enabled);
    const WAVEFORMATEX& Format() const { return m_format; }

private:
    CCritSec m_streamLock;
    CCritSec* m_filterLock;
    WAVEFORMATEX m_format;
    BOOL m_enabled = FALSE;
    CDxSource* m_source;
};
