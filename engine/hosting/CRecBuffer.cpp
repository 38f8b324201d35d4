#include "engine/hosting/CRecBuffer.h"

#include <new>

#include "model/CPattern.h"

HRESULT CRecBuffer::Create(const CPattern* real, CRecBuffer** buffer)
{
    if (buffer == nullptr)
        return E_POINTER;
    *buffer = nullptr;
    if (real == nullptr)
        return E_POINTER;
    // Always a MIDI pattern: a loop-clip pattern would reach for the real
    // pattern's clip in the clip pool and release it with the take.
    CPattern* take = nullptr;
    HRESULT hr = CreatePattern(real->GetId(), &take, CPattern::kKindMidi);
    if (FAILED(hr))
        return hr;
    if (take == nullptr)
        return E_OUTOFMEMORY;
    take->SetDuration(real->GetDuration());
    *buffer = new (std::nothrow) CRecBuffer(take);
    if (*buffer == nullptr) {
        DestroyPattern(take);
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

CRecBuffer::~CRecBuffer() { DestroyPattern(m_take); }

HRESULT CRecBuffer::GetFirstEventTimes(LONG* first, LONG* end) const
{
    if (end == nullptr)
        return E_POINTER;
    const auto& events = m_take->GetEvents();
    if (events.empty()) {
        if (first != nullptr)
            *first = -1;
        *end = -1;
        return S_FALSE;
    }
    if (first != nullptr)
        *first = events.front().m_time;
    *end = m_take->CalcLength(FALSE);
    return S_OK;
}
