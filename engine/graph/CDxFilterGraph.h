// The one filter graph the whole engine runs in: it creates the graph, holds
// its run control, connects filters pin to pin with the engine's float type,
// keeps the engine's sample rate, block length and loop range for the graph's
// own filters, makes their allocators, push sources and buffer renderers, and
// runs and stops the graph.
//
// Graph edits happen on the UI thread while the engine is stopped or its locks
// are held; the lock only serialises Run and Stop. The device thread reads the
// block length and the loop range without a lock.
#pragma once

#include <atomic>

#include "platform/media/CMediaType.h"
#include "platform/media/MediaInterfaces.h"
#include "uikit/core/CHeapCriticalSection.h"

class CDxSource;
class CDxBufRenderer;
class CKelPersistArchive;

class CDxFilterGraph {
public:
    // The first failure of creating the graph, the lock or the run control is
    // reported through phr; the object is built all the same.
    explicit CDxFilterGraph(HRESULT* phr);
    virtual ~CDxFilterGraph();
    CDxFilterGraph(const CDxFilterGraph&) = delete;
    CDxFilterGraph& operator=(const CDxFilterGraph&) = delete;

    HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name);
    HRESULT RemoveFilter(IBaseFilter* filter);

    // Connects the from-filter's outIndex-th output pin to the to-filter's
    // inIndex-th input pin (mt null: the engine's types, stereo first).
    // E_INVALIDARG for a null filter or an index with no pin behind it.
    HRESULT Connect(IBaseFilter* from, int outIndex, IBaseFilter* to, int inIndex, const AM_MEDIA_TYPE* mt);
    HRESULT ConnectToPin(IBaseFilter* from, int outIndex, IPin* in, const AM_MEDIA_TYPE* mt);
    HRESULT ConnectFromPin(IPin* out, IBaseFilter* to, int inIndex, const AM_MEDIA_TYPE* mt);
    // With mt: that type only. Without: float stereo, float mono, then 16-bit
    // mono PCM; the last attempt's result.
    HRESULT ConnectPins(IPin* out, IPin* in, const AM_MEDIA_TYPE* mt);

    // The n-th pin (from 0) of that direction, without a reference of its own;
    // null when there is none.
    static IPin* FindOutputPin(IBaseFilter* filter, int n);
    static IPin* FindInputPin(IBaseFilter* filter, int n);

    HRESULT SetSyncSource(IReferenceClock* clock);
    HRESULT SetSampleRate(int rate);
    // E_INVALIDARG below 1.
    HRESULT SetBlockFrames(int frames);
    // Start and end (samples) are stored only when the loop is on.
    HRESULT SetLoop(int on, LONGLONG startSamples, LONGLONG endSamples);
    // Audio thread: no allocation, no blocking. E_POINTER for a null flag.
    HRESULT GetLoop(int* on, LONGLONG* startSamples, LONGLONG* endSamples) const;

    HRESULT Run();
    HRESULT Stop();

    HRESULT CreateAllocator(IMemAllocator** out);
    HRESULT CreateSource(CDxSource** out);
    HRESULT CreateBufRenderer(CDxBufRenderer** out);
    // Saves or loads the filter's IPersistStream state as a nested object;
    // S_FALSE when the filter has none.
    HRESULT PersistFilterState(IUnknown* filter, CKelPersistArchive* archive);

    // The float type with the graph's rate.
    void BuildFloatType(CMediaType* mt, WORD channels) const;

    // Audio thread: no allocation, no blocking.
    int GetBlockFrames() const { return m_blockFrames.load(std::memory_order_relaxed); }
    int GetSampleRate() const { return m_sampleRate.load(std::memory_order_relaxed); }
    IGraphBuilder* GetGraph() const { return m_graph; }

private:
    HRESULT ConnectFound(IPin* out, IPin* in, const AM_MEDIA_TYPE* mt);

    CHeapCriticalSection* m_lock = nullptr;
    IGraphBuilder* m_graph = nullptr;
    IMediaControl* m_control = nullptr;
    std::atomic<int> m_blockFrames{441};
    std::atomic<int> m_sampleRate{44100};
    std::atomic<int> m_loopOn{0};
    std::atomic<LONGLONG> m_loopStart{0};
    std::atomic<LONGLONG> m_loopEnd{44100};
};
