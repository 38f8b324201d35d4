#include "engine/mixer/CMvRCParam.h"

#include <new>

#include "engine/CTimer.h"
#include "model/CKelPersistArchive.h"
#include "model/IKelPersist.h"

CMvRCParam::CMvRCParam(CControlParamSet* set, REFGUID firstId, REFGUID secondId, CTimer* timer,
                       CMidiInputRouter* router)
    : CRCTarget(router), CKelPersistObject(MakeKelVersionWord(kMajor, 0)), m_set(set), m_key{firstId, secondId},
      m_timer(timer)
{
    SetOneShot(true);  // each value re-arms it; it fires once, a second after the last
}

HRESULT CMvRCParam::Create(CControlParamSet* set, REFGUID firstId, REFGUID secondId, CTimer* timer,
                           CMidiInputRouter* router, CMvRCParam** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!set)
        return E_POINTER;
    *out = new (std::nothrow) CMvRCParam(set, firstId, secondId, timer, router);
    return *out ? S_OK : E_OUTOFMEMORY;
}

CMvRCParam::~CMvRCParam()
{
    // The timer must not call a half-destroyed target. An open capture was
    // ended when the target was taken off its message; the set itself may
    // be going away now, so it is not called again.
    if (m_timer)
        m_timer->SetClientInterval(this, 0);
}

HRESULT CMvRCParam::Unregister()
{
    HRESULT hr = CRCTarget::Unregister();
    EndGesture();  // no value comes any more: the touch ends now
    return hr;
}

HRESULT CMvRCParam::SetParamIndex(DWORD localIndex)
{
    if (!m_set)
        return E_UNEXPECTED;
    m_paramIndex = static_cast<LONG>(localIndex);
    return S_OK;
}

void CMvRCParam::PresetMessage(DWORD kind, WORD channel, DWORD topValue, LONG port, LONG mode)
{
    Msg().m_kind = kind;
    Msg().m_channel = channel;
    Msg().m_maxValue = topValue;
    Msg().m_port = static_cast<DWORD>(port);
    m_mode = static_cast<DWORD>(mode);
}

LONG CMvRCParam::GetTargetId()
{
    DWORD id = 0;
    if (!m_set || m_paramIndex < 0 || FAILED(m_set->GetGroupParamIndex(m_key, static_cast<DWORD>(m_paramIndex), &id)))
        return -1;
    return static_cast<LONG>(id);
}

HRESULT CMvRCParam::SetValue(CMidiMsg*, float value)
{
    if (!m_set)
        return E_UNEXPECTED;
    const LONG id = GetTargetId();
    if (id < 0)
        return E_INVALIDARG;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_gesture) {
            if (HRESULT hr = m_set->BeginTouch(static_cast<DWORD>(id), kTouchRemoteControl); FAILED(hr))
                return hr;
            m_gesture = true;
        }
    }
    // Every value moves the end of the gesture a second on.
    if (m_timer)
        m_timer->SetClientInterval(this, kGestureMs);
    return m_set->SetParamValueFromUser(static_cast<DWORD>(id), value);
}

void CMvRCParam::EndGesture()
{
    DWORD id = 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_gesture)
            return;
        m_gesture = false;
        const LONG target = GetTargetId();
        if (target < 0)
            return;
        id = static_cast<DWORD>(target);
    }
    m_set->EndTouch(id, kTouchRemoteControl);
}

void CMvRCParam::OnTimer() { EndGesture(); }

STDMETHODIMP CMvRCParam::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    if (KelVersionIndex(versionWord) != 0)
        return KELPERSIST_E_UNKNOWNCHUNK;
    HRESULT hr;
    if (FAILED(hr = PersistTarget(archive)) || FAILED(hr = archive->PersistBytes(sizeof m_paramIndex, &m_paramIndex)) ||
        FAILED(hr = archive->PersistBytes(sizeof m_key.classId, &m_key.classId)) ||
        FAILED(hr = archive->PersistBytes(sizeof m_key.instanceId, &m_key.instanceId)))
        return hr;
    return S_OK;
}
