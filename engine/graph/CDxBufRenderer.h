// The end of the engine graph. It renders nothing itself: it keeps a
// reference to the last block that arrived (none when that block was silent),
// and the audio renderer reads the block after each push and then releases it.
//
// Receive, GetRenderedBuffer and ReleaseSample all run on the device thread.
#pragma once

#include "engine/graph/CDxBufRendererInputPin.h"
#include "platform/media/CBaseFilter.h"

MV_DEFINE_GUID(CLSID_DxBufRenderer, 0xD8B2A4C3, 0xD817, 0x489E, 0xA6, 0xB0, 0xE4, 0xAE, 0x8B, 0xDB, 0xF2, 0xB2);

class CDxBufRenderer : public CBaseFilter {
public:
    // A new renderer with one reference.
    static HRESULT Create(CDxBufRenderer** out);
    ~CDxBufRenderer() override;

    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override;

    // Audio thread: no allocation, no blocking (all three below).
    // The held block's data (silence filled in if it was pending) and its
    // frame count; E_FAIL when no block is held.
    HRESULT GetRenderedBuffer(float** data, LONG* frames);
    // TRUE when there was no block to release.
    BOOL ReleaseSample();
    void SetHeldSample(IMediaSample* sample);

    void SetFormat(const WAVEFORMATEX& format) { m_format = format; }
    const WAVEFORMATEX& Format() const { return m_format; }
    CDxBufRendererInputPin* InputPin() const { return m_pin; }

private:
    CDxBufRenderer();

    WAVEFORMATEX m_format{};
    IMediaSample* m_held = nullptr;  // referenced
    CCritSec m_lock;
    CDxBufRendererInputPin* m_pin = nullptr;
};
