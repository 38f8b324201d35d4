// A one-value undoable holder of one of the document's active ids (the
// active container, pattern or pattern instance), so that changing it can
// be a step of a command. The current id is the last element, or none while
// the holder is empty. Set takes index 0 only: an id the document does not
// hold is stored as none, and a change refreshes the document's active
// selection. Insert, Remove and Get are the plain vector's. UI thread.
#pragma once

#include "model/CUndoVector.h"
#include "model/IActiveIdDocument.h"

template <class T>
class CActiveIdHolder : public CUndoVector<T> {
public:
    CActiveIdHolder(IActiveIdDocument* document, T none) : m_document(document), m_none(none) {}

    T GetCurrent() const { return this->GetSize() > 0 ? (*this)[this->GetSize() - 1] : m_none; }
    T None() const { return m_none; }

    HRESULT Set(const int& index, const T& id) override
    {
        if (index != 0)
            return E_INVALIDARG;
        const bool changed = id != GetCurrent();
        const T kept = id != m_none && m_document != nullptr && IsHeld(id) ? id : m_none;
        HRESULT hr = CUndoVector<T>::Set(index, kept);
        if (FAILED(hr) || !changed || m_document == nullptr)
            return hr;
        if (FAILED(hr = m_document->RefreshActiveSelection()))
            return hr;
        return OnChanged(id);
    }

protected:
    virtual bool IsHeld(T id) = 0;
    // After the refresh, with the id as given.
    virtual HRESULT OnChanged(T) { return S_OK; }

    IActiveIdDocument* m_document;

private:
    T m_none;
};
