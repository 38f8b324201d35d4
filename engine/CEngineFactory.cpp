#include "engine/CEngineFactory.h"

#include <new>

#include "devices/CAudioReferenceClock.h"
#include "devices/CAsioDevice.h"
#include "devices/CAudioRenderer.h"
#include "devices/CDirectSound.h"
#include "devices/CMidiInputRouter.h"
#include "devices/CMidiSource.h"
#include "devices/CMidiSyncGen.h"
#include "devices/CWDMAudio.h"
#include "engine/graph/CDxFilterGraph.h"
#include "engine/CClipPool.h"
#include "engine/CDataRenderer.h"
#include "engine/CTimeKeeper.h"
#include "engine/CTimer.h"
#include "platform/audio/CJackAsioDriver.h"

CTimer* CEngineFactory::CreateTimer(UINT periodMs) { return new (std::nothrow) CTimer(periodMs); }

CTimeKeeper* CEngineFactory::CreateTimeKeeper(ITimeKeeperSite* site) { return new (std::nothrow) CTimeKeeper(site); }

CAudioRenderer* CEngineFactory::CreateAudioRenderer() { return new (std::nothrow) CAudioRenderer(); }

CAudioReferenceClock* CEngineFactory::CreateReferenceClock(IAudioProperties* audio, HRESULT* phr)
{
    return new (std::nothrow) CAudioReferenceClock("ReferenceClock", nullptr, phr, audio);
}

CDxFilterGraph* CEngineFactory::CreateFilterGraph(HRESULT* phr) { return new (std::nothrow) CDxFilterGraph(phr); }

IDataRenderer* CEngineFactory::CreateDataRenderer() { return new (std::nothrow) CDataRenderer(); }

IMidiInputRouter* CEngineFactory::CreateMidiInputRouter(IEngineOwner* owner)
{
    return new (std::nothrow) CMidiInputRouter(owner);
}

IMidiSource* CEngineFactory::CreateMidiSource() { return new (std::nothrow) CMidiSource(); }

IMidiSyncGen* CEngineFactory::CreateMidiSyncGen(IMidiSyncHost* host) { return new (std::nothrow) CMidiSyncGen(host); }

HRESULT CEngineFactory::CreateMfxHostSite(IMfxSiteEngine*, IMfxHostSite** site)
{
    if (!site)
        return E_POINTER;
    *site = nullptr;
    return E_OUTOFMEMORY;
}

ITransportRecorder* CEngineFactory::CreateRecorder() { return nullptr; }

ITransportClipboard* CEngineFactory::CreateClipboard() { return nullptr; }

ITransportClipboard* CEngineFactory::CreateDragAndDropClipboard() { return nullptr; }

IClipPoolLimits* CEngineFactory::CreateClipPool() { return new (std::nothrow) CClipPool(); }

IAudioDevice* CEngineFactory::CreateDirectSound(IEngineOwner* owner) { return new (std::nothrow) CDirectSound(owner); }

IAudioDevice* CEngineFactory::CreateWDMAudio(IEngineOwner* owner) { return new (std::nothrow) CWDMAudio(owner); }

IAudioDevice* CEngineFactory::CreateAsioDevice(IEngineOwner* owner)
{
    // The JACK driver ships inside the program: it is installed, like any
    // ASIO driver, by its registry entries, which must stand before the
    // back-end lists the drivers. A failure only leaves it out of that list.
    CJackAsioDriver::Register();
    return new (std::nothrow) CAsioDevice(owner);
}

IRewireDevice* CEngineFactory::CreateRewireDevice(IEngineOwner*) { return nullptr; }

void CEngineFactory::DestroyAsioDriverList() { CAsioDevice::DeleteDriverList(); }
