// The common part of input and output pins: connection and media-type
// agreement, pin information, and the state calls the filter passes on.
// A pin has no reference count of its own: AddRef and Release go to its
// filter, which owns the pin and deletes it.
//
// Connection and disconnection run on the UI thread under the pin lock while
// the filter is stopped.
#pragma once

#include <string>

#include "platform/media/CCritSec.h"
#include "platform/media/CMediaType.h"
#include "platform/media/CUnknown.h"
#include "platform/media/MediaInterfaces.h"

class CBaseFilter;

class CBasePin : public CUnknown, public IPin, public IQualityControl {
public:
    CBasePin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr, LPCWSTR name,
             PIN_DIRECTION dir);
    ~CBasePin() override;

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    ULONG NonDelegatingAddRef() override;
    ULONG NonDelegatingRelease() override;

    // With a fully specified type, that type only; otherwise the receiving
    // pin's types and then this pin's, each checked against a partial type.
    STDMETHODIMP Connect(IPin* receivePin, const AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** pin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* dir) override;
    STDMETHODIMP QueryId(LPWSTR* id) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;
    STDMETHODIMP QueryInternalConnections(IPin** pins, ULONG* count) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override = 0;
    STDMETHODIMP EndFlush() override = 0;
    STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    STDMETHODIMP Notify(IBaseFilter* self, Quality q) override;
    STDMETHODIMP SetSink(IQualityControl* sink) override;

    // S_OK accepts the type; a failure is passed on by the connection
    // unchanged, and any other success code refuses it with
    // VFW_E_TYPE_NOT_ACCEPTED.
    virtual HRESULT CheckMediaType(const CMediaType* mt) = 0;
    virtual HRESULT SetMediaType(const CMediaType* mt);
    // The type this pin offers at a position: S_OK, VFW_S_NO_MORE_ITEMS past
    // the last, E_INVALIDARG below 0. The base offers none.
    virtual HRESULT GetMediaType(int position, CMediaType* mt);
    // Refuses a peer of the same direction.
    virtual HRESULT CheckConnect(IPin* pin);
    virtual HRESULT BreakConnect();
    virtual HRESULT CompleteConnect(IPin* receivePin);
    virtual HRESULT Active();
    virtual HRESULT Inactive();
    virtual HRESULT Run(REFERENCE_TIME start);

    bool IsConnected() const { return m_Connected != nullptr; }
    IPin* GetConnected() const { return m_Connected; }
    bool IsStopped() const;
    const CMediaType& CurrentMediaType() const { return m_mt; }
    const std::u16string& Name() const { return m_name; }
    PIN_DIRECTION Direction() const { return m_dir; }
    CBaseFilter* Filter() const { return m_pFilter; }

protected:
    // A pin connects only when unconnected and its filter is stopped.
    HRESULT ConnectionAllowed() const;
    HRESULT AttemptConnection(IPin* receivePin, const CMediaType* mt);
    // Checks the peer and the type, takes them, and completes the connection;
    // the connecting end also has the peer receive it. Undone on failure.
    HRESULT ConnectWith(IPin* peer, const CMediaType* mt, bool connector);
    HRESULT TryMediaTypes(IPin* receivePin, const CMediaType* partial, IEnumMediaTypes* types);
    HRESULT AgreeMediaType(IPin* receivePin, const CMediaType* mt);
    HRESULT DisconnectInternal();

    std::u16string m_name;
    IPin* m_Connected = nullptr;  // referenced while connected
    PIN_DIRECTION m_dir;
    CCritSec* m_pLock;
    CBaseFilter* m_pFilter;
    IQualityControl* m_pQSink = nullptr;  // not referenced
    CMediaType m_mt;
    REFERENCE_TIME m_tStart = 0;
    REFERENCE_TIME m_tStop = 0x7FFFFFFFFFFFFFFFLL;
    double m_dRate = 1.0;
};
