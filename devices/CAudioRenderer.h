// The edge between a device buffer of integer PCM and the engine's float
// graph. For each segment of a device buffer it converts the device input to
// float, pushes one block through the document's push sources (which carry it
// through the whole graph within the call), counts the frames, and converts
// the master bus's finished stereo block into the device's format. It also
// restarts the graph's buffer matchers and tells them each coming size.
//
// RenderBuffer, BeginSegment and BeginBuffer run on the audio thread inside
// the engine owner's try-locks (transport, processing, then this renderer's
// lock); Prepare, ResetRenderers and the setters on the UI thread, but for
// SetSamplePosition, which both call. The sample position may be read from
// any thread.
#pragma once

#include <atomic>

#include "devices/IRenderDocument.h"
#include "engine/graph/IAudioProperties.h"
#include "uikit/core/CHeapCriticalSection.h"

class CAudioRenderer : public IAudioProperties {
public:
    // The input block: 36000 stereo frames, 350 ms at 96000 Hz with room.
    static constexpr int kMaxFrames = 36000;

    CAudioRenderer();
    ~CAudioRenderer() override;
    CAudioRenderer(const CAudioRenderer&) = delete;
    CAudioRenderer& operator=(const CAudioRenderer&) = delete;

    int GetSampleRate() override { return m_sampleRate; }
    // Any thread: one 64-bit read.
    LONGLONG GetSamplePosition() override { return m_samplePosition.load(std::memory_order_relaxed); }

    // E_INVALIDARG below 1.
    HRESULT SetSampleRate(int rate);
    // E_INVALIDARG unless 16, 24 or 32.
    HRESULT SetBitDepth(unsigned short bits);
    // 0 packed, 1 and 3 low-aligned in 32 bits, 2 and 4 high-aligned; stored as given.
    HRESULT Set24BitMode(unsigned short mode);
    // Also marks the next block as a discontinuity. Audio thread (the
    // per-buffer entry, when playback wraps or re-seeks) and UI thread (a
    // locate while stopped): no allocation, no blocking.
    HRESULT SetSamplePosition(LONGLONG position);

    // Before streaming starts: E_FAIL when the renderer lock is busy.
    HRESULT Prepare();
    // Restarts every buffer matcher of the channel outputs and aux buses, then
    // the master bus's; E_FAIL without a master bus, a matcher's failure at once.
    HRESULT ResetRenderers();
    // Audio thread: no allocation, no blocking (the three below).
    HRESULT BeginSegment(int segment, int remaining);
    HRESULT BeginBuffer(int frames);
    // One segment of a device buffer. `input` (device layout) may be null;
    // `output` gets at most `frames` frames in the device layout, or floats
    // when floatOutput is set. S_FALSE with *outFrames 0 when the graph gave
    // no block (silence: `output` is left as it was). E_INVALIDARG for frames
    // outside 1..kMaxFrames.
    HRESULT RenderBuffer(void* output, const void* input, int frames, int* outFrames, int remaining, int floatOutput);

    void SetDocument(IRenderDocument* document) { m_document = document; }
    IRenderDocument* GetDocument() const { return m_document; }
    BOOL IsInputPresent() const { return m_inputPresent; }
    unsigned short GetBitDepth() const { return m_bitsPerSample; }
    unsigned short Get24BitMode() const { return m_mode24; }
    // Taken by the engine owner around every block and every graph change.
    CHeapCriticalSection& GetLock() { return m_lock; }

private:
    // Audio thread: no allocation, no blocking (the three below).
    void ConvertInput(const void* input, int samples);
    void ConvertOutput(void* output, const float* data, int frames, int floatOutput);
    HRESULT PushToSources(REFERENCE_TIME start, int frames);

    std::atomic<LONGLONG> m_samplePosition{0};
    BOOL m_firstBlock = TRUE;
    BOOL m_matchersPresent = FALSE;
    BOOL m_inputPresent = FALSE;
    IRenderDocument* m_document = nullptr;
    int m_sampleRate = 44100;
    unsigned short m_bitsPerSample = 16;
    unsigned short m_mode24 = 0;
    CHeapCriticalSection m_lock;
    float m_input[2 * kMaxFrames];
};
