// The document's channels by id: an undoable map whose Insert, Set and
// Remove hold the document's MIDI lock across the change and the upkeep
// after it, so an edit, an undo and a redo all put a channel into the engine
// graph (or take it out) and the live MIDI fan-out never sees a channel
// without it. A channel is told first that it enters or leaves; when the map
// then refuses the change, the channel is told back, so nothing stays half
// inserted. C is the channel type (OnInsertedIntoDocument,
// OnRemovedFromDocument). Get is the plain map's. UI thread.
#pragma once

#include "model/CHeapLockGuard.h"
#include "model/CUndoMap.h"
#include "model/IChanMapDocument.h"

template <class K, class C>
class CChanMap : public CUndoMap<K, C*> {
public:
    explicit CChanMap(IChanMapDocument<C>* document) : m_document(document) {}

    HRESULT Insert(const K& id, C* const& channel) override
    {
        CHeapLockGuard guard(m_document->GetMidiLock());
        if (channel == nullptr)
            return E_INVALIDARG;
        HRESULT hr = channel->OnInsertedIntoDocument();
        if (FAILED(hr))
            return hr;
        if (FAILED(hr = CUndoMap<K, C*>::Insert(id, channel))) {
            channel->OnRemovedFromDocument();
            return hr;
        }
        return m_document->UpdateChannelGraph(channel);
    }
    HRESULT Set(const K& id, C* const& channel) override
    {
        CHeapLockGuard guard(m_document->GetMidiLock());
        C* old = nullptr;
        HRESULT hr = CUndoMap<K, C*>::Get(id, &old);
        if (FAILED(hr))
            return hr;
        if (channel == nullptr)
            return E_INVALIDARG;
        if (old != nullptr && FAILED(hr = old->OnRemovedFromDocument()))
            return hr;
        if (FAILED(hr = channel->OnInsertedIntoDocument())) {
            if (old != nullptr)
                old->OnInsertedIntoDocument();
            return hr;
        }
        CUndoMap<K, C*>::Set(id, channel);
        return m_document->UpdateChannelGraph(channel);
    }
    HRESULT Remove(const K& id) override
    {
        CHeapLockGuard guard(m_document->GetMidiLock());
        C* channel = nullptr;
        HRESULT hr = CUndoMap<K, C*>::Get(id, &channel);
        if (FAILED(hr))
            return E_INVALIDARG;
        if (channel != nullptr && FAILED(hr = channel->OnRemovedFromDocument()))
            return hr;
        CUndoMap<K, C*>::Remove(id);
        return m_document->UpdateChannelGraph(channel);
    }

private:
    IChanMapDocument<C>* m_document;
};
