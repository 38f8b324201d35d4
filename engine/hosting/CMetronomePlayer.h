// The metronome's click player: the loop-player plug-in created by its class
// identifier, connected to the engine's MIDI-effect host site (through
// which it reads the song's tempo and meter), and driven through its own
// interface. Made by the song document for the master bus's metronome;
// created switched on for metronome use and with its clicks off.
//
// Threads: UI thread, except Start and Stop (the transport's thread).
#pragma once

#include "engine/hosting/IMfxSoftSynth.h"
#include "engine/hosting/ITamblor.h"
#include "engine/mixer/IMetronomePlayer.h"
#include "platform/com/CUnknownImpl.h"

// {62C099B5-C006-4C72-B686-708FF42A032D}: the loop player's filter.
MV_DEFINE_GUID(CLSID_LoopPlayerFilter, 0x62C099B5, 0xC006, 0x4C72, 0xB6, 0x86, 0x70, 0x8F, 0xF4, 0x2A, 0x03, 0x2D);

class CMetronomePlayer final : public mvcom::CUnknownImpl<IMetronomePlayer> {
public:
    // The player, connected to `hostSite`; E_POINTER for null arguments,
    // the creation's or the connection's failure, E_FAIL for a filter that
    // is no soft synth or has no loop-player interface.
    static HRESULT Create(IUnknown* hostSite, IMetronomePlayer** player);

    IBaseFilter* GetFilter() override { return m_filter; }
    HRESULT Start(LONG time) override;
    HRESULT Stop() override;
    HRESULT SetEnabled(BOOL on) override;
    HRESULT SetVolume(float volume) override;
    HRESULT SetFirstBeatUsesWave(BOOL wave) override;
    HRESULT SetOtherBeatsUseWave(BOOL wave) override;
    HRESULT SetBeatWave(BOOL first, const char* path) override;
    HRESULT SetFirstBeatPitch(LONG note) override;
    HRESULT SetFirstBeatVelocity(LONG velocity) override;
    HRESULT SetOtherBeatsPitch(LONG note) override;
    HRESULT SetOtherBeatsVelocity(LONG velocity) override;
    HRESULT SetToneDuration(LONG ticks) override;

protected:
    ~CMetronomePlayer() override;
    std::span<const mvcom::InterfaceEntry> InterfaceTable() const override;

private:
    CMetronomePlayer() = default;

    IBaseFilter* m_filter = nullptr;
    IMfxSoftSynth* m_synth = nullptr;
    ITamblor* m_player = nullptr;
};
