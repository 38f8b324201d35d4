// The media-streaming interfaces that filters, pins, allocators, samples,
// clocks and the filter graph talk through. Slot order and interface
// identifiers are the platform's, so plug-in filters built apart plug in.
// Every interface is pure virtual with no destructor in the table.
//
// Threads: the graph is built, connected, run and stopped on the UI thread.
// Blocks travel it on the audio thread, inside the push call of a source:
// allocator GetBuffer and ReleaseBuffer, the media sample, and the input
// pin's Receive. Plug-in filters keep to the same contract; each method
// below says which thread calls it.
#pragma once

#include "platform/com/Persist.h"
#include "platform/media/MediaTypes.h"

MV_DEFINE_GUID(IID_IPin, 0x56A86891, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
MV_DEFINE_GUID(IID_IEnumPins, 0x56A86892, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
MV_DEFINE_GUID(IID_IEnumFilters, 0x56A86893, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
MV_DEFINE_GUID(IID_IBaseFilter, 0x56A86895, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
MV_DEFINE_GUID(IID_IReferenceClock, 0x56A86897, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
MV_DEFINE_GUID(IID_IMediaFilter, 0x56A86899, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
MV_DEFINE_GUID(IID_IMediaSample, 0x56A8689A, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
MV_DEFINE_GUID(IID_IMemAllocator, 0x56A8689C, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
MV_DEFINE_GUID(IID_IMemInputPin, 0x56A8689D, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
MV_DEFINE_GUID(IID_IFilterGraph, 0x56A8689F, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
MV_DEFINE_GUID(IID_IQualityControl, 0x56A868A5, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
MV_DEFINE_GUID(IID_IGraphBuilder, 0x56A868A9, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
MV_DEFINE_GUID(IID_IMediaControl, 0x56A868B1, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
MV_DEFINE_GUID(IID_IEnumMediaTypes, 0x89C31040, 0x846B, 0x11CE, 0x97, 0xD3, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A);
MV_DEFINE_GUID(IID_IMemAllocatorCallbackTemp, 0x379A0CF0, 0xC1DE, 0x11D2, 0xAB, 0xF5, 0x00, 0xA0, 0xC9, 0x05, 0xF3, 0x75);
MV_DEFINE_GUID(IID_IMemAllocatorNotifyCallbackTemp, 0x92980B30, 0xC1DE, 0x11D2, 0xAB, 0xF5, 0x00, 0xA0, 0xC9, 0x05, 0xF3, 0x75);

MV_DEFINE_GUID(CLSID_FilterGraph, 0xE436EBB3, 0x524F, 0x11CE, 0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
MV_DEFINE_GUID(CLSID_MemoryAllocator, 0x1E651CC0, 0xB199, 0x11D0, 0x82, 0x12, 0x00, 0xC0, 0x4F, 0xC3, 0x2C, 0x45);

struct IPin;
struct IEnumPins;
struct IEnumMediaTypes;
struct IEnumFilters;
struct IReferenceClock;
struct IMediaSample;
struct IMemAllocator;

struct IReferenceClock : IUnknown {
    // Any thread, the audio thread included: no allocation, no blocking.
    STDMETHOD(GetTime)(REFERENCE_TIME* time) = 0;
    // UI thread (these three).
    STDMETHOD(AdviseTime)(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT event, DWORD_PTR* cookie) = 0;
    STDMETHOD(AdvisePeriodic)(REFERENCE_TIME startTime, REFERENCE_TIME periodTime, HSEMAPHORE semaphore,
                              DWORD_PTR* cookie) = 0;
    STDMETHOD(Unadvise)(DWORD_PTR cookie) = 0;
};

// UI thread: state changes and the clock come from the filter graph.
struct IMediaFilter : IPersist {
    STDMETHOD(Stop)() = 0;
    STDMETHOD(Pause)() = 0;
    STDMETHOD(Run)(REFERENCE_TIME start) = 0;
    STDMETHOD(GetState)(DWORD msTimeout, FILTER_STATE* state) = 0;
    STDMETHOD(SetSyncSource)(IReferenceClock* clock) = 0;
    STDMETHOD(GetSyncSource)(IReferenceClock** clock) = 0;
};

// UI thread.
struct IBaseFilter : IMediaFilter {
    STDMETHOD(EnumPins)(IEnumPins** pins) = 0;
    STDMETHOD(FindPin)(LPCWSTR id, IPin** pin) = 0;
    STDMETHOD(QueryFilterInfo)(FILTER_INFO* info) = 0;
    STDMETHOD(JoinFilterGraph)(IFilterGraph* graph, LPCWSTR name) = 0;
    STDMETHOD(QueryVendorInfo)(LPWSTR* vendorInfo) = 0;
};

struct IPin : IUnknown {
    // UI thread (connection and queries, through EnumMediaTypes).
    STDMETHOD(Connect)(IPin* receivePin, const AM_MEDIA_TYPE* mt) = 0;
    STDMETHOD(ReceiveConnection)(IPin* connector, const AM_MEDIA_TYPE* mt) = 0;
    STDMETHOD(Disconnect)() = 0;
    STDMETHOD(ConnectedTo)(IPin** pin) = 0;
    STDMETHOD(ConnectionMediaType)(AM_MEDIA_TYPE* mt) = 0;
    STDMETHOD(QueryPinInfo)(PIN_INFO* info) = 0;
    STDMETHOD(QueryDirection)(PIN_DIRECTION* dir) = 0;
    STDMETHOD(QueryId)(LPWSTR* id) = 0;
    STDMETHOD(QueryAccept)(const AM_MEDIA_TYPE* mt) = 0;
    STDMETHOD(EnumMediaTypes)(IEnumMediaTypes** types) = 0;
    STDMETHOD(QueryInternalConnections)(IPin** pins, ULONG* count) = 0;
    // Stream control, sent downstream on the thread that controls the
    // stream: the UI thread while no block is in flight (these four).
    STDMETHOD(EndOfStream)() = 0;
    STDMETHOD(BeginFlush)() = 0;
    STDMETHOD(EndFlush)() = 0;
    STDMETHOD(NewSegment)(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) = 0;
};

// UI thread (the enumerators below and the graph's interfaces).
struct IEnumPins : IUnknown {
    STDMETHOD(Next)(ULONG count, IPin** pins, ULONG* fetched) = 0;
    STDMETHOD(Skip)(ULONG count) = 0;
    STDMETHOD(Reset)() = 0;
    STDMETHOD(Clone)(IEnumPins** clone) = 0;
};

// Each type handed out is a new block the caller frees with DeleteMediaType.
// UI thread: it allocates.
struct IEnumMediaTypes : IUnknown {
    STDMETHOD(Next)(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) = 0;
    STDMETHOD(Skip)(ULONG count) = 0;
    STDMETHOD(Reset)() = 0;
    STDMETHOD(Clone)(IEnumMediaTypes** clone) = 0;
};

struct IEnumFilters : IUnknown {
    STDMETHOD(Next)(ULONG count, IBaseFilter** filters, ULONG* fetched) = 0;
    STDMETHOD(Skip)(ULONG count) = 0;
    STDMETHOD(Reset)() = 0;
    STDMETHOD(Clone)(IEnumFilters** clone) = 0;
};

struct IFilterGraph : IUnknown {
    STDMETHOD(AddFilter)(IBaseFilter* filter, LPCWSTR name) = 0;
    STDMETHOD(RemoveFilter)(IBaseFilter* filter) = 0;
    STDMETHOD(EnumFilters)(IEnumFilters** filters) = 0;
    STDMETHOD(FindFilterByName)(LPCWSTR name, IBaseFilter** filter) = 0;
    STDMETHOD(ConnectDirect)(IPin* out, IPin* in, const AM_MEDIA_TYPE* mt) = 0;
    STDMETHOD(Reconnect)(IPin* pin) = 0;
    STDMETHOD(Disconnect)(IPin* pin) = 0;
    STDMETHOD(SetDefaultSyncSource)() = 0;
};

struct IGraphBuilder : IFilterGraph {
    STDMETHOD(Connect)(IPin* out, IPin* in) = 0;
    STDMETHOD(Render)(IPin* out) = 0;
    STDMETHOD(RenderFile)(LPCWSTR file, LPCWSTR playList) = 0;
    STDMETHOD(AddSourceFilter)(LPCWSTR file, LPCWSTR filterName, IBaseFilter** filter) = 0;
    STDMETHOD(SetLogFile)(DWORD_PTR file) = 0;
    STDMETHOD(Abort)() = 0;
    STDMETHOD(ShouldOperationContinue)() = 0;
};

// The graph's run control. The automation (IDispatch) slots of the platform's
// interface are left out: nothing here scripts the graph. UI thread.
struct IMediaControl : IUnknown {
    STDMETHOD(Run)() = 0;
    STDMETHOD(Pause)() = 0;
    STDMETHOD(Stop)() = 0;
    STDMETHOD(GetState)(LONG msTimeout, OAFilterState* state) = 0;
    STDMETHOD(StopWhenReady)() = 0;
};

// Audio thread: no allocation, no blocking (every method but GetMediaType,
// which copies the type into a new block the caller frees). SetMediaType
// keeps the type in the sample's own room and refuses one that does not fit
// rather than allocate. Also called on the UI thread while no block is in
// flight.
struct IMediaSample : IUnknown {
    STDMETHOD(GetPointer)(BYTE** buffer) = 0;
    STDMETHOD_(LONG, GetSize)() = 0;
    STDMETHOD(GetTime)(REFERENCE_TIME* start, REFERENCE_TIME* end) = 0;
    STDMETHOD(SetTime)(REFERENCE_TIME* start, REFERENCE_TIME* end) = 0;
    STDMETHOD(IsSyncPoint)() = 0;
    STDMETHOD(SetSyncPoint)(BOOL syncPoint) = 0;
    STDMETHOD(IsPreroll)() = 0;
    STDMETHOD(SetPreroll)(BOOL preroll) = 0;
    STDMETHOD_(LONG, GetActualDataLength)() = 0;
    STDMETHOD(SetActualDataLength)(LONG length) = 0;
    STDMETHOD(GetMediaType)(AM_MEDIA_TYPE** mt) = 0;
    STDMETHOD(SetMediaType)(AM_MEDIA_TYPE* mt) = 0;
    STDMETHOD(IsDiscontinuity)() = 0;
    STDMETHOD(SetDiscontinuity)(BOOL discontinuity) = 0;
    STDMETHOD(GetMediaTime)(LONGLONG* start, LONGLONG* end) = 0;
    STDMETHOD(SetMediaTime)(LONGLONG* start, LONGLONG* end) = 0;
};

struct IMemAllocator : IUnknown {
    // UI thread, while no block is in flight (these four).
    STDMETHOD(SetProperties)(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) = 0;
    STDMETHOD(GetProperties)(ALLOCATOR_PROPERTIES* props) = 0;
    STDMETHOD(Commit)() = 0;
    STDMETHOD(Decommit)() = 0;
    // Audio thread: no allocation, no blocking (this and ReleaseBuffer, which
    // a sample's last Release calls). GetBuffer never waits for a sample.
    STDMETHOD(GetBuffer)(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* end, DWORD flags) = 0;
    STDMETHOD(ReleaseBuffer)(IMediaSample* sample) = 0;
};

struct IMemAllocatorNotifyCallbackTemp : IUnknown {
    // Audio thread (from ReleaseBuffer): no allocation, no blocking.
    STDMETHOD(NotifyRelease)() = 0;
};

struct IMemAllocatorCallbackTemp : IMemAllocator {
    // UI thread.
    STDMETHOD(SetNotify)(IMemAllocatorNotifyCallbackTemp* notify) = 0;
    // Any thread: no allocation, no blocking.
    STDMETHOD(GetFreeCount)(LONG* freeCount) = 0;
};

struct IMemInputPin : IUnknown {
    // UI thread, during connection (these three).
    STDMETHOD(GetAllocator)(IMemAllocator** allocator) = 0;
    STDMETHOD(NotifyAllocator)(IMemAllocator* allocator, BOOL readOnly) = 0;
    STDMETHOD(GetAllocatorRequirements)(ALLOCATOR_PROPERTIES* props) = 0;
    // Audio thread: no allocation, no blocking (this and ReceiveMultiple).
    // The block is processed and passed on within the call.
    STDMETHOD(Receive)(IMediaSample* sample) = 0;
    STDMETHOD(ReceiveMultiple)(IMediaSample** samples, LONG count, LONG* processed) = 0;
    // Any thread: no allocation, no blocking.
    STDMETHOD(ReceiveCanBlock)() = 0;
};

// UI thread.
struct IQualityControl : IUnknown {
    STDMETHOD(Notify)(IBaseFilter* self, Quality q) = 0;
    STDMETHOD(SetSink)(IQualityControl* sink) = 0;
};
