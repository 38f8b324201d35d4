// Changes one attribute of an object that lives in a container of pointers
// (a channel's name, a pattern's duration). The owner is looked up by key on
// every run and never kept between runs, so the step stays valid when other
// steps removed and re-inserted the owner. Derived classes supply the getter
// and setter of their attribute.
#pragma once

#include "model/CUndoContainerStep.h"

template <class K, class P, class A>
class CUndoSetAttributeStep : public CUndoContainerStep<K, P> {
public:
    CUndoSetAttributeStep(CUndoContainer<K, P>& owners, const K& key, const A& value)
        : CUndoContainerStep<K, P>(owners, key), m_new(value)
    {
    }

    HRESULT Do() override
    {
        HRESULT hr = this->m_container.Get(this->m_key, &m_owner);
        if (SUCCEEDED(hr))
            hr = GetAttribute(m_owner, &m_old);
        if (SUCCEEDED(hr))
            hr = SetAttribute(m_owner, m_new);
        return hr;
    }
    HRESULT Undo() override { return Apply(m_old); }
    HRESULT Redo() override { return Apply(m_new); }

    virtual HRESULT SetAttribute(P owner, const A& value) = 0;
    virtual HRESULT GetAttribute(P owner, A* out) = 0;

private:
    HRESULT Apply(const A& value)
    {
        HRESULT hr = this->m_container.Get(this->m_key, &m_owner);
        return SUCCEEDED(hr) ? SetAttribute(m_owner, value) : hr;
    }

    A m_new;
    A m_old{};
    P m_owner{};
};
