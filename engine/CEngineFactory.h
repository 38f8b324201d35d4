// The program's own engine factory: the real timer service, time keeper,
// audio renderer, reference clock, data renderer, filter graph, and the
// DirectSound, WDM and ASIO back-ends, the MIDI classes and the loop-clip
// pool. The MIDI-effect host site, the recorder, the clipboards and the
// ReWire-device back-end work on the song document and so belong to the
// hosting layer, whose CHostingEngineFactory completes this one with them;
// here their entries make nothing and the engine owner's start-up stops there
// with E_OUTOFMEMORY.
#pragma once

#include "engine/IEngineFactory.h"

class CEngineFactory : public IEngineFactory {
public:
    CTimer* CreateTimer(UINT periodMs) override;
    CTimeKeeper* CreateTimeKeeper(ITimeKeeperSite* site) override;
    CAudioRenderer* CreateAudioRenderer() override;
    CAudioReferenceClock* CreateReferenceClock(IAudioProperties* audio, HRESULT* phr) override;
    IDataRenderer* CreateDataRenderer() override;
    IMidiInputRouter* CreateMidiInputRouter(IEngineOwner* owner) override;
    IMidiSource* CreateMidiSource() override;
    IMidiSyncGen* CreateMidiSyncGen(IMidiSyncHost* host) override;
    CDxFilterGraph* CreateFilterGraph(HRESULT* phr) override;
    // The site lives in the hosting layer above this one: CHostingEngineFactory
    // makes it; this one makes none (E_OUTOFMEMORY).
    HRESULT CreateMfxHostSite(IMfxSiteEngine* engine, IMfxHostSite** site) override;
    ITransportRecorder* CreateRecorder() override;
    ITransportClipboard* CreateClipboard() override;
    ITransportClipboard* CreateDragAndDropClipboard() override;
    IClipPoolLimits* CreateClipPool() override;
    IAudioDevice* CreateDirectSound(IEngineOwner* owner) override;
    IAudioDevice* CreateWDMAudio(IEngineOwner* owner) override;
    IAudioDevice* CreateAsioDevice(IEngineOwner* owner) override;
    IRewireDevice* CreateRewireDevice(IEngineOwner* owner) override;
    void DestroyAsioDriverList() override;
};
