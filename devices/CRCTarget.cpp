#include "devices/CRCTarget.h"

#include "devices/CMidiInputRouter.h"

CRCTarget::~CRCTarget() { m_msg.RemoveListener(this); }

CRCTarget& CRCTarget::operator=(const CRCTarget& other)
{
    if (this == &other)
        return *this;
    m_enabled = other.m_enabled;
    m_steps = other.m_steps;
    m_current = other.m_current;
    m_onValue = other.m_onValue;
    m_offValue = other.m_offValue;
    m_threshold = other.m_threshold;
    m_mode = other.m_mode;
    m_pickup = other.m_pickup;
    m_lastInput = other.m_lastInput;
    m_waitingForPickup = other.m_waitingForPickup;
    m_msg.CopyFieldsFrom(other.m_msg);
    return *this;
}

HRESULT CRCTarget::Register()
{
    m_msg.RemoveListener(this);
    m_msg.AddListener(this);
    if (CMidiInputRouter* router = m_msg.Router())
        router->Rebuild();
    return S_OK;
}

HRESULT CRCTarget::Unregister()
{
    m_msg.RemoveListener(this);
    if (CMidiInputRouter* router = m_msg.Router())
        router->Rebuild();
    return S_OK;
}

HRESULT CRCTarget::Destroy(CRCTarget* target)
{
    delete target;
    return S_OK;
}

HRESULT CRCTarget::PersistTarget(CKelPersistArchive* archive)
{
    if (HRESULT hr = PersistListener(archive); FAILED(hr))
        return hr;
    return archive->PersistObject(&m_msg);
}
