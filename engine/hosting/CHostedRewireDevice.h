// The ReWire-device back-end as the program makes it: the device with the
// engine side it follows the host through (CRewireEngineLink), made for the
// program's engine owner. The worker that calls the link ends (Close) before
// the link goes.
//
// The output taps of the aux buses and branches belong to the graph: the
// program refreshes them after every rebuild (RefreshTaps), and the device
// does so itself whenever it starts.
//
// Threads: as CRewireDevice; RefreshTaps on the UI thread.
#pragma once

#include "devices/CRewireDevice.h"
#include "engine/hosting/CRewireEngineLink.h"

class CTransport;

class CHostedRewireDevice : public CRewireDevice {
public:
    explicit CHostedRewireDevice(CTransport& transport);
    ~CHostedRewireDevice() override;
    CHostedRewireDevice(const CHostedRewireDevice&) = delete;
    CHostedRewireDevice& operator=(const CHostedRewireDevice&) = delete;

    HRESULT Start() override;
    void RefreshTaps() { m_link.RefreshTaps(); }

private:
    CRewireEngineLink m_link;
};
