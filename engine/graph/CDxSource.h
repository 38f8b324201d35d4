// The head of every chain of the engine graph: the filter from which the
// audio renderer pushes one block per device buffer. Its one output pin
// carries the caller's frames (when enabled) or deferred silence, with the
// block's start time and discontinuity mark. The graph owner creates sources
// and gives them the allocator they fall back to.
#pragma once

#include "engine/graph/CDxSourceStream.h"
#include "platform/media/CBaseFilter.h"

class CDxFilterGraph;

MV_DEFINE_GUID(CLSID_DxSource, 0xD8B2A4C4, 0xD817, 0x489E, 0xA6, 0xB0, 0xE4, 0xAE, 0x8B, 0xDB, 0xF5, 0xB3);

class CDxSource : public CBaseFilter {
public:
    // A new source with one reference. E_INVALIDARG unless the format has 32
    // bits per sample; E_OUTOFMEMORY when the filter or its pin cannot be made.
    static HRESULT Create(IUnknown* outer, const WAVEFORMATEX* format, CDxFilterGraph* graph, CDxSource** out);
    ~CDxSource() override;

    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override;

    // Audio thread: no allocation, no blocking. The downstream Receive result,
    // or the failure that stopped the block. Frames may be null.
    HRESULT PushBuffer(REFERENCE_TIME start, const float* frames, LONG frameCount, BOOL discontinuity);
    void SetEnabled(BOOL enabled);
    // Keeps the allocator when it is the engine's (S_FALSE, nothing changed,
    // otherwise).
    HRESULT SetAllocator(IUnknown* allocator);
    // Audio thread: no allocation, no blocking.
    BOOL IsConnected() const;

    CDxSourceStream* Stream() const { return m_stream; }
    CDxFilterGraph* Graph() const { return m_graph; }
    IMemAllocator* FallbackAllocator() const { return m_allocator; }

private:
    CDxSource(IUnknown* outer, CDxFilterGraph* graph);

    CCritSec m_lock;
    CDxSourceStream* m_stream = nullptr;
    IMemAllocator* m_allocator = nullptr;
    CDxFilterGraph* m_graph;
};
