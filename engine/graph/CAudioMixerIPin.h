// One input of a summing mixer. It accepts the types its mixer allows,
// queues every sample that arrives in its FIFO and asks the mixer to mix as
// soon as no connected input is still waiting. Its allocator is the engine's
// CDxAllocator, made on first use; the mixer also draws its output blocks
// from it.
//
// The pin's lock is the mixer's filter lock. Receive runs on the pushing
// thread and only tries that lock; everything else runs on the UI thread.
#pragma once

#include "engine/graph/CDxInputPin.h"
#include "engine/graph/CMediaSampleFifo.h"

class CBaseAudioMixer;

class CAudioMixerIPin : public CDxInputPin {
public:
    CAudioMixerIPin(CBaseAudioMixer* mixer, CCritSec* lock, HRESULT* phr, LPCWSTR name, int number,
                    CDxFilterGraph* graph);

    HRESULT CheckMediaType(const CMediaType* mt) override;
    // A type the mixer refuses is reported and not stored.
    HRESULT SetMediaType(const CMediaType* mt) override;
    // The mixer's own output pin is refused (E_FAIL).
    HRESULT CheckConnect(IPin* pin) override;
    HRESULT CompleteConnect(IPin* receivePin) override;
    HRESULT BreakConnect() override;
    HRESULT Active() override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;
    STDMETHODIMP Disconnect() override;

    // Audio thread: no allocation, no blocking. Queues the sample and lets
    // the mixer mix; S_FALSE for an ended input or a stopped mixer (nothing
    // kept); VFW_E_BUFFER_OVERFLOW when the FIFO is full (nothing kept);
    // VFW_E_WRONG_STATE when the mixer's lock is busy.
    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;

    int Number() const { return m_number; }
    CMediaSampleFifo& Fifo() { return m_fifo; }
    const CMediaSampleFifo& Fifo() const { return m_fifo; }
    BOOL IsEnded() const { return m_ended; }
    BOOL IsUsed() const { return m_used; }
    void SetUsed(BOOL used) { m_used = used; }
    // The agreed format's channel count and bits (0 before a type is set).
    WORD Channels() const { return m_channels; }
    WORD BitsPerSample() const { return m_bits; }

private:
    void SetEnded(BOOL ended);

    CBaseAudioMixer* m_mixer;
    int m_number;
    // What the mix reads of every input, next to the queue's indices.
    BOOL m_ended = FALSE;
    BOOL m_used = TRUE;
    WORD m_channels = 0;
    WORD m_bits = 0;
    CMediaSampleFifo m_fifo;
};
