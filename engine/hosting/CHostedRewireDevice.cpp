#include "engine/hosting/CHostedRewireDevice.h"

#include "engine/CTransport.h"

// The link is made after the base, which only keeps its address until the
// worker starts.
CHostedRewireDevice::CHostedRewireDevice(CTransport& transport)
    : CRewireDevice(&transport, &m_link), m_link(transport)
{
}

CHostedRewireDevice::~CHostedRewireDevice() { Close(0); }

HRESULT CHostedRewireDevice::Start()
{
    m_link.RefreshTaps();
    return CRewireDevice::Start();
}
