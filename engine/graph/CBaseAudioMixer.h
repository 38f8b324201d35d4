// The common part of the summing mixers: input pins made on demand, one
// sample FIFO per input, the stream time of the output, state changes and
// flushing. A block is mixed as soon as every connected input that has not
// ended holds a sample; the subclass supplies the type tests and the sum
// (Mix).
//
// Everything runs under the filter lock: on the pushing thread during a
// block (which only tries the lock), on the UI thread for connections and
// state changes. Inputs are numbered from 0; GetPin gives input n at n and
// the output pin last.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "engine/graph/CAudioMixerIPin.h"
#include "engine/graph/CAudioMixerOPin.h"
#include "platform/media/CBaseFilter.h"

class CDxFilterGraph;
class IAudioProperties;

class CBaseAudioMixer : public CBaseFilter {
public:
    ~CBaseAudioMixer() override;

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;

    // E_FAIL unless every connected input and the output have a format.
    virtual HRESULT CheckAllFormats();
    // TRUE when input n is not connected; E_INVALIDARG for a number that is
    // not below the input count.
    virtual HRESULT IsInputFree(int n);
    // Makes input n named "<prefix up to 10 characters>_IPin<n>"; S_FALSE
    // when it exists.
    virtual HRESULT AddInputPin(LPCWSTR prefix, int n);
    // The first input that is not connected, or a new "MainMixIn" input
    // after the last; marked in use. Null when no pin can be made.
    CAudioMixerIPin* GetFreeInputPin();
    void SetAllInputsUsed(BOOL used);
    // Input n, or null.
    CAudioMixerIPin* GetInputPin(int n) const;
    CAudioMixerOPin* GetOutputPin() { return &m_output; }

    // The type tests of the subclass: S_OK or the refusal.
    virtual HRESULT CheckInputType(int n, const AM_MEDIA_TYPE* mt) = 0;
    virtual HRESULT CheckOutputType(const AM_MEDIA_TYPE* mt) = 0;
    virtual HRESULT CheckInput(int n, const CMediaType* mt);
    // The type test, then the connected downstream pin's QueryAccept.
    virtual HRESULT CheckOutput(const CMediaType* mt);
    virtual void OnOutputTypeSet(const CMediaType& mt);

    // Audio thread: no allocation, no blocking (the next four).
    // The sum of the queued heads in a new sample (null with S_OK when no
    // input is connected).
    virtual HRESULT Mix(IMediaSample** out) = 0;
    // S_FALSE while an input is waiting; else Mix, stamped with the stream
    // time.
    virtual HRESULT ProduceOutput(IMediaSample** out);
    // One output block when no input waits: mixed, timed, the heads popped,
    // delivered.
    virtual HRESULT Process();
    // Queues a sample on input `pin` and processes (the input pin's Receive).
    HRESULT Queue(CAudioMixerIPin* pin, IMediaSample* sample)
    {
        const bool waited = Waits(pin);
        if (!pin->Fifo().Push(sample))
            return VFW_E_BUFFER_OVERFLOW;
        if (waited)
            --m_waiting;
        // Most blocks arrive while others are still awaited: nothing to do yet.
        return m_waiting > 0 ? S_FALSE : Process();
    }

    // Stream time from the device position; the end-of-stream mark cleared.
    virtual HRESULT ResetStreamTime();
    virtual void FlushInputs();
    virtual void FlushInputsLocked();
    virtual HRESULT BeginFlushAll();
    virtual HRESULT EndFlushAll();
    // Input n has ended and holds nothing: once every connected input has,
    // end-of-stream goes downstream (once until the next reset).
    // Audio thread: no allocation, no blocking. From Process it never
    // delivers (the input whose block started the mix has not ended), so
    // the downstream pins' locked end-of-stream is only ever met on the UI
    // thread.
    virtual void InputEnded(int n);
    virtual HRESULT DecideOutputBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props);

    // For the pins.
    // True when the pin is one of this mixer's own.
    bool OwnsPin(IPin* pin);
    CCritSec* FilterLock() { return &m_lock; }
    CDxFilterGraph* Graph() const { return m_graph; }
    const std::string& MixerName() const { return m_name; }
    REFERENCE_TIME StreamTime() const { return m_streamTime; }
    // Keeps the count of waiting inputs right around a change of one input's
    // queue or end mark, or after connections changed.
    template <class Change>
    void TrackWaiting(CAudioMixerIPin* pin, Change change)
    {
        const bool before = Waits(pin);
        change();
        m_waiting += static_cast<int>(Waits(pin)) - static_cast<int>(before);
    }
    void RecountWaiting();

protected:
    CBaseAudioMixer(const char* name, CDxFilterGraph* graph, IAudioProperties* properties, REFCLSID clsid,
                    HRESULT* phr);

    // Connected, not ended and holding nothing.
    static bool Waits(const CAudioMixerIPin* pin)
    {
        return pin->Fifo().Empty() && !pin->IsEnded() && pin->IsConnected();
    }
    // Sample rate for converting positions: the device's, else the output's.
    int PositionRate() const;

    CCritSec m_lock;
    std::map<int, CAudioMixerIPin*> m_inputs;
    // The same pins in number order, for walking them on the audio thread.
    std::vector<CAudioMixerIPin*> m_ordered;
    CAudioMixerOPin m_output;
    BOOL m_eosSent = FALSE;
    REFERENCE_TIME m_streamTime = 0;
    REFERENCE_TIME m_runStart = 0;
    CDxFilterGraph* m_graph;
    IAudioProperties* m_properties;
    std::string m_name;
    int m_waiting = 0;
    // The agreed output format, cached for the audio thread.
    WORD m_outChannels = 2;
    WORD m_outBlockAlign = 8;
    DWORD m_outRate = 0;
};
