// The input pin the graph library's own filters share: its allocator is the
// engine's CDxAllocator, made through the filter graph on the first
// GetAllocator call and kept, so upstream pins that only take the engine's
// allocator find one here.
//
// Its lock is its filter's lock; connection calls run on the UI thread.
#pragma once

#include "platform/media/CBaseInputPin.h"

class CDxFilterGraph;

class CDxInputPin : public CBaseInputPin {
public:
    CDxInputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr, LPCWSTR name,
                CDxFilterGraph* graph);

    // The pin's CDxAllocator, AddRef'd; E_OUTOFMEMORY when none can be made.
    STDMETHODIMP GetAllocator(IMemAllocator** allocator) override;

    // A new CDxAllocator through the graph; E_UNEXPECTED without one.
    static HRESULT MakeAllocator(CDxFilterGraph* graph, IMemAllocator** allocator);

    // Audio thread: no allocation, no blocking. The agreed allocator, no
    // reference added; null before one was made or notified.
    IMemAllocator* PeekAllocator() const { return m_pAllocator; }

protected:
    CDxFilterGraph* m_graph;
};
