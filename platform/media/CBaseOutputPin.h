// An output pin that delivers samples to the IMemInputPin of the pin it is
// connected to. On connection it agrees an allocator with that pin
// (DecideAllocator), sized by the derived pin (DecideBufferSize); it commits
// the allocator when activated and decommits it when deactivated.
//
// Threads: connection, Active and Inactive on the UI thread; buffers are
// taken and delivered on the audio thread; stream notifications (end of
// stream, flush, new segment) go downstream on the UI thread while no block
// is in flight.
#pragma once

#include "platform/media/CBasePin.h"

class CBaseOutputPin : public CBasePin {
public:
    CBaseOutputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr, LPCWSTR name);
    ~CBaseOutputPin() override;

    HRESULT CheckConnect(IPin* pin) override;
    HRESULT CompleteConnect(IPin* receivePin) override;
    HRESULT BreakConnect() override;
    HRESULT Active() override;
    HRESULT Inactive() override;

    // The input pin's allocator when it offers one this pin accepts and that
    // can be sized, else this pin's own from InitAllocator. Never succeeds
    // without an allocator.
    virtual HRESULT DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator);
    // Whether an allocator offered by the input pin may be used (the base
    // takes any).
    virtual bool AcceptsInputAllocator(IMemAllocator* allocator);
    virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) = 0;
    // A new plain allocator. An override that has none to give must fail.
    virtual HRESULT InitAllocator(IMemAllocator** allocator);

    // Audio thread: no allocation, no blocking.
    virtual HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* end,
                                      DWORD flags);
    // Audio thread: no allocation, no blocking (beyond what the receiver does).
    virtual HRESULT Deliver(IMediaSample* sample);
    virtual HRESULT DeliverEndOfStream();
    virtual HRESULT DeliverBeginFlush();
    virtual HRESULT DeliverEndFlush();
    virtual HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

    // Stream notifications travel downstream only: an output pin refuses them.
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;

    IMemAllocator* Allocator() const { return m_pAllocator; }

protected:
    // Sizes the allocator and offers it to the input pin.
    HRESULT SizeAndNotify(IMemInputPin* pin, IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props);

    IMemAllocator* m_pAllocator = nullptr;  // referenced while connected
    IMemInputPin* m_pInputPin = nullptr;    // referenced while connected
};
