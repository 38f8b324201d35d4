// A filter of the float audio graph with one input and one output that
// makes a new block for each block it gets (Transform). It supplies the
// pins, the float type test (32-bit float, one or two channels, wave
// format), the passing on of stream notifications and the output buffer
// sizing; the subclass supplies Transform and may narrow the types.
//
// The filter lock is also both pins' lock. Receive only tries it: a block
// that meets it taken is refused with VFW_E_WRONG_STATE.
#pragma once

#include <new>

#include "platform/media/CBaseFilter.h"
#include "platform/media/CFloatAudioInputPin.h"
#include "platform/media/CFloatAudioOutputPin.h"

class CFloatAudioFilter : public CBaseFilter {
public:
    int GetPinCount() override { return 2; }
    // The input at 0, the output at 1.
    CBasePin* GetPin(int n) override;

    // S_OK or VFW_E_TYPE_NOT_ACCEPTED (E_POINTER for none).
    static HRESULT CheckFloatType(const AM_MEDIA_TYPE* mt);
    virtual HRESULT CheckInputType(const CMediaType* mt);
    virtual HRESULT CheckOutputType(const CMediaType* mt);
    // The buffer size the output needs for one input buffer of
    // `inputBytes` (0 when unknown).
    virtual LONG OutputBufferBytes(LONG inputBytes);

    // Audio thread: no allocation, no blocking. Called with the filter
    // lock held while the filter streams.
    virtual HRESULT Transform(IMediaSample* sample) = 0;
    // Audio thread: no allocation, no blocking. The input pin's Receive.
    HRESULT ReceiveBlock(IMediaSample* sample);

    CFloatAudioInputPin* InputPin() { return &m_input; }
    CFloatAudioOutputPin* OutputPin() { return &m_output; }
    CCritSec* FilterLock() { return &m_lock; }

    // Frames of an output buffer when nothing tells the size.
    static constexpr LONG kDefaultFrames = 8192;

protected:
    CFloatAudioFilter(const char* objectName, IUnknown* outer, REFCLSID clsid);

    // The class factory's creation of a subclass T (made from the outer
    // unknown; T befriends this class): a new T asked for riid.
    template <class T>
    static HRESULT CreateInstanceOf(IUnknown* outer, REFIID riid, void** ppv)
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer && !IsEqualGUID(riid, IID_IUnknown))
            return CLASS_E_NOAGGREGATION;
        T* filter = new (std::nothrow) T(outer);
        if (!filter)
            return E_OUTOFMEMORY;
        filter->NonDelegatingAddRef();
        HRESULT hr = filter->NonDelegatingQueryInterface(riid, ppv);
        filter->NonDelegatingRelease();
        return hr;
    }

    CCritSec m_lock;
    CFloatAudioInputPin m_input;
    CFloatAudioOutputPin m_output;
};
