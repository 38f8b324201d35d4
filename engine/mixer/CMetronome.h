// The metronome's settings and its click source, which the master bus
// places between its sum mixer and its effect chain. The click source is the
// loop player, made through the document; it makes the clicks itself from
// the song's tempo and meter. Without one (it could not be made) the master
// bus plays on without clicks, and the settings are still kept and saved.
//
// Settings are clamped as they are set and sent to the player when there
// is one; the on/off switch belongs to the transport and is only sent.
//
// Saved form (the master bus's chunk 2): volume (float bits), first beat
// uses wave, other beats use wave, first beat pitch, first beat velocity,
// other beats pitch, other beats velocity, tone duration (each 32 bits),
// then the first-beat and other-beats wave paths.
//
// Threads: UI thread, except Start and Stop (the transport's thread).
#pragma once

#include "engine/mixer/IMetronomePlayer.h"
#include "platform/media/MediaInterfaces.h"
#include "platform/win/CString.h"

class CKelPersistArchive;
class IBusDocument;

class CMetronome {
public:
    CMetronome() = default;
    virtual ~CMetronome();
    CMetronome(const CMetronome&) = delete;
    CMetronome& operator=(const CMetronome&) = delete;

    // A new click player from the document, then every setting sent to it;
    // the document's failure, with no player kept.
    HRESULT CreateFilter(IBusDocument* document);
    void ReleaseFilter();
    // The click filter, no reference added; null without player.
    IBaseFilter* GetFilter() const;
    bool HasPlayer() const { return m_player != nullptr; }

    // S_FALSE and nothing done without player.
    HRESULT Start(LONG time);
    HRESULT Stop();

    HRESULT SetEnabled(BOOL on);
    HRESULT SetVolume(float volume);
    HRESULT SetFirstBeatUsesWave(BOOL wave);
    HRESULT SetOtherBeatsUseWave(BOOL wave);
    HRESULT SetFirstBeatWave(const CString& path);
    HRESULT SetOtherBeatsWave(const CString& path);
    HRESULT SetFirstBeatPitch(LONG note);
    HRESULT SetFirstBeatVelocity(LONG velocity);
    HRESULT SetOtherBeatsPitch(LONG note);
    HRESULT SetOtherBeatsVelocity(LONG velocity);
    HRESULT SetToneDuration(LONG ticks);
    // Sends every setting, in the order volume, first and other wave
    // flags, first pitch and velocity, other pitch and velocity, tone
    // duration, first and other wave paths.
    HRESULT ApplySettings();

    float GetVolume() const { return m_volume; }
    BOOL GetFirstBeatUsesWave() const { return m_firstUsesWave; }
    BOOL GetOtherBeatsUseWave() const { return m_otherUsesWave; }
    const CString& GetFirstBeatWave() const { return m_firstWave; }
    const CString& GetOtherBeatsWave() const { return m_otherWave; }
    LONG GetFirstBeatPitch() const { return m_firstPitch; }
    LONG GetFirstBeatVelocity() const { return m_firstVelocity; }
    LONG GetOtherBeatsPitch() const { return m_otherPitch; }
    LONG GetOtherBeatsVelocity() const { return m_otherVelocity; }
    LONG GetToneDuration() const { return m_toneDuration; }

    // Saves or loads the settings; a load sends them to the player.
    HRESULT Persist(CKelPersistArchive* archive);

private:
    // Stores the value and sends it when there is a player.
    template <class T>
    HRESULT Store(T& field, T value, HRESULT (IMetronomePlayer::*send)(T))
    {
        field = value;
        return m_player ? (m_player->*send)(field) : S_FALSE;
    }

    IMetronomePlayer* m_player = nullptr;
    float m_volume = 0.5f;
    BOOL m_firstUsesWave = TRUE;
    BOOL m_otherUsesWave = TRUE;
    CString m_firstWave;
    CString m_otherWave;
    LONG m_firstPitch = 96;
    LONG m_firstVelocity = 100;
    LONG m_otherPitch = 92;
    LONG m_otherVelocity = 100;
    LONG m_toneDuration = 60;
};
