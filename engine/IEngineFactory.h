// How the engine owner makes the parts of the engine it owns. Start-up makes
// every part through one factory, in a fixed order, and shut-down deletes
// (or releases) what it made; the program's factory makes the real parts
// (CEngineFactory), tests make stand-ins and back-ends that fail on cue.
//
// A creation that cannot be made returns null, which start-up reports as
// E_OUTOFMEMORY. UI thread.
#pragma once

#include "platform/win/WinTypes.h"

class CAudioReferenceClock;
class CAudioRenderer;
class CDxFilterGraph;
class CTimeKeeper;
class CTimer;
class IAudioDevice;
class IAudioProperties;
class IClipPoolLimits;
class IDataRenderer;
class IEngineOwner;
class IMidiInputRouter;
class IMidiSource;
class IMidiSyncGen;
class IMidiSyncHost;
class IMfxSiteEngine;
class IRewireDevice;
class ITimeKeeperSite;
class ITransportClipboard;
class ITransportRecorder;
struct IMfxHostSite;

class IEngineFactory {
public:
    virtual CTimer* CreateTimer(UINT periodMs) = 0;
    virtual CTimeKeeper* CreateTimeKeeper(ITimeKeeperSite* site) = 0;
    virtual CAudioRenderer* CreateAudioRenderer() = 0;
    // No reference taken yet; the construction's failure in *phr.
    virtual CAudioReferenceClock* CreateReferenceClock(IAudioProperties* audio, HRESULT* phr) = 0;
    virtual IDataRenderer* CreateDataRenderer() = 0;
    // The router reaches the engine through `owner`.
    virtual IMidiInputRouter* CreateMidiInputRouter(IEngineOwner* owner) = 0;
    virtual IMidiSource* CreateMidiSource() = 0;
    // `host`: the transport and timer the generator reads and schedules.
    virtual IMidiSyncGen* CreateMidiSyncGen(IMidiSyncHost* host) = 0;
    // The construction's failure in *phr.
    virtual CDxFilterGraph* CreateFilterGraph(HRESULT* phr) = 0;
    // A new site with one reference; it reads the timer and the sample rate
    // through `engine`.
    virtual HRESULT CreateMfxHostSite(IMfxSiteEngine* engine, IMfxHostSite** site) = 0;
    virtual ITransportRecorder* CreateRecorder() = 0;
    virtual ITransportClipboard* CreateClipboard() = 0;
    virtual ITransportClipboard* CreateDragAndDropClipboard() = 0;
    virtual IClipPoolLimits* CreateClipPool() = 0;

    // The back-ends call `owner`'s per-buffer entry from their audio thread.
    virtual IAudioDevice* CreateDirectSound(IEngineOwner* owner) = 0;
    virtual IAudioDevice* CreateWDMAudio(IEngineOwner* owner) = 0;
    virtual IAudioDevice* CreateAsioDevice(IEngineOwner* owner) = 0;
    virtual IRewireDevice* CreateRewireDevice(IEngineOwner* owner) = 0;
    // The process-wide list of ASIO drivers, built by the ASIO back-end, goes
    // away last at shut-down.
    virtual void DestroyAsioDriverList() = 0;

protected:
    ~IEngineFactory() = default;
};
