// A DirectSound playback buffer over one open ALSA PCM: the ring, its
// notification positions and the writer thread that hands the ring to ALSA
// segment by segment (see DirectSound.h for the behaviour).
//
// The ring lives in its own pages, so it is gone, not merely freed, once the
// last reference goes. Threads: Lock, Unlock, GetCurrentPosition and
// GetStatus are for any thread, including the device thread (no allocation,
// no lock); Play, Stop and SetNotificationPositions for one controlling
// thread; the writer thread is the buffer's own.
#pragma once

#include <alsa/asoundlib.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <thread>

#include "platform/audio/DirectSound.h"
#include "platform/com/CUnknownImpl.h"

namespace mvaudio {

class CDsPlaybackBuffer : public mvcom::CUnknownImpl<IDirectSoundBuffer, IDirectSoundNotify> {
public:
    // Takes the PCM, already set to the format; null when the ring cannot be mapped.
    static CDsPlaybackBuffer* Create(snd_pcm_t* pcm, const WAVEFORMATEX& format, DWORD bytes,
                                     snd_pcm_uframes_t deviceBufferFrames);

    // Audio thread: no allocation, no blocking.
    STDMETHODIMP GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) override;
    // Audio thread: no allocation, no blocking.
    STDMETHODIMP GetStatus(DWORD* status) override;
    // Audio thread: no allocation, no blocking.
    STDMETHODIMP Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
                      DWORD flags) override;
    STDMETHODIMP Play(DWORD reserved, DWORD priority, DWORD flags) override;
    STDMETHODIMP Stop() override;
    // Audio thread: no allocation, no blocking.
    STDMETHODIMP Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2) override;
    STDMETHODIMP SetNotificationPositions(DWORD count, const DSBPOSITIONNOTIFY* positions) override;

protected:
    std::span<const mvcom::InterfaceEntry> InterfaceTable() const override;

private:
    CDsPlaybackBuffer(snd_pcm_t* pcm, const WAVEFORMATEX& format, DWORD bytes, BYTE* ring,
                      snd_pcm_uframes_t deviceBufferFrames);
    ~CDsPlaybackBuffer() override;

    // A stretch of the ring that ends at a notification position (or the
    // whole ring), with the event to signal once it is handed to ALSA.
    struct Segment {
        DWORD begin;
        DWORD end;  // exclusive; may equal the ring size
        HANDLE event;
    };

    int SegmentAt(DWORD offset) const;
    // Audio thread: no allocation, no blocking (from Unlock).
    void MarkRefilled(const void* part, DWORD bytes);
    // The writer thread, at real-time priority where permitted: no
    // allocation and no lock of its own; it waits only for refills and for
    // the device (these four), and signals a notification event as it
    // passes one (the platform's event call stands for the kernel's).
    void WriterLoop();
    // Waits until segment `s` was refilled, the stop request, or `ms` passed.
    void WaitRefilled(int s, long ms);
    // False when a stop was asked for before everything went out.
    bool WriteToDevice(const BYTE* data, snd_pcm_uframes_t frames);
    void PaceByClock();

    snd_pcm_t* const m_pcm;
    const WAVEFORMATEX m_format;
    const DWORD m_bytes;
    BYTE* const m_ring;
    const snd_pcm_uframes_t m_deviceBufferFrames;

    std::array<Segment, DSBNOTIFICATIONS_MAX> m_segments{};
    int m_segmentCount = 1;

    std::atomic<DWORD> m_playCursor{0};
    std::atomic<DWORD> m_writeCursor{0};
    std::atomic<bool> m_playing{false};
    // One bit per segment refilled since it last played; the writer waits
    // on this word.
    std::atomic<std::uint32_t> m_refilled{0};
    std::atomic<bool> m_stopRequest{false};
    // Counts refills and stop requests: the word the writer sleeps on.
    std::atomic<std::uint32_t> m_wakeups{0};
    std::thread m_writer;

    // Clock pacing for devices that take data faster than they play it.
    std::uint64_t m_framesSent = 0;
    std::int64_t m_startNs = 0;
};

}  // namespace mvaudio
