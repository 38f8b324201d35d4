// An input pin that receives samples through IMemInputPin. It keeps the
// allocator its upstream pin agreed on, and refuses samples while its filter
// is stopped or while flushing.
#pragma once

#include "platform/media/CBasePin.h"

class CBaseInputPin : public CBasePin, public IMemInputPin {
public:
    CBaseInputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr, LPCWSTR name);
    ~CBaseInputPin() override;

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // The agreed allocator, or a new plain allocator kept from then on.
    STDMETHODIMP GetAllocator(IMemAllocator** allocator) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;
    // Audio thread: no allocation, no blocking (the base only checks the state).
    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) override;
    STDMETHODIMP ReceiveCanBlock() override;

    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;

    HRESULT BreakConnect() override;
    HRESULT Inactive() override;

    // VFW_E_WRONG_STATE while stopped, S_FALSE while flushing, else S_OK.
    // Audio thread: no allocation, no blocking.
    HRESULT CheckStreaming();
    bool IsFlushing() const { return m_bFlushing; }
    bool IsReadOnly() const { return m_bReadOnly; }

protected:
    IMemAllocator* m_pAllocator = nullptr;  // referenced
    BOOL m_bReadOnly = FALSE;
    BOOL m_bFlushing = FALSE;
};
