// Where the song is now, between device buffers, and how much of each buffer
// period the engine spends rendering.
//
// The per-buffer entry stamps the keeper at the start of every buffer,
// advances its sample counts after every segment and ends the buffer, which
// updates the smoothed load. Everyone else (transport display, views, the
// reference clock, the MIDI-effect host) asks for the device time or the
// current tick. The estimate runs one buffer behind the rendering: the
// buffer rendered before the current one is the one being heard.
//
// Sample values are 64-bit sample counts at the engine rate; kUnset marks a
// value not known. An audio reset re-seeds the device time from the audio
// renderer's sample position, so the time stays valid across resets and the
// per-buffer entry can go on advancing it; a locate then sets it exactly.
//
// Threads: the audio thread writes (stamp, advance, end, set) while it holds
// the transport and processing locks; the UI thread writes only while it
// holds them too. Readers take no lock: every value is read and written
// whole (atomically), though two values read one after the other may come
// from different buffers.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/sync/Time.h"
#include "platform/win/WinTypes.h"

class IAudioProperties;

// What the time keeper reads of the engine owner. Implemented by the engine
// owner; the calls marked for the audio thread are made from it.
class ITimeKeeperSite {
public:
    // Audio thread: no allocation, no blocking.
    virtual bool IsPlaying() = 0;
    virtual bool IsCountInActive() = 0;
    // The transport's play position in ticks.
    virtual LONG GetPlayPosition() = 0;
    // Audio thread: no allocation, no blocking.
    virtual bool IsLoopOn(bool usePending) = 0;
    // The loop start and end (the stored ones) converted to samples.
    // Audio thread: no allocation, no blocking.
    virtual HRESULT GetLoopTimes(LONGLONG* startSamples, LONGLONG* endSamples) = 0;
    // The audio renderer, or null while there is none.
    virtual IAudioProperties* GetAudioProperties() = 0;
    // Samples to ticks through the MIDI-effect host site's time converter.
    virtual HRESULT SamplesToTicks(LONGLONG samples, LONG* ticks) = 0;

protected:
    ~ITimeKeeperSite() = default;
};

class CTimeKeeper {
public:
    static constexpr LONGLONG kUnset = INT64_MIN;

    using CounterFunction = BOOL (*)(LARGE_INTEGER*);

    // The site must outlive the keeper. The counter and its frequency are
    // the performance counter's unless given.
    explicit CTimeKeeper(ITimeKeeperSite* site, CounterFunction counter = QueryPerformanceCounter,
                         CounterFunction frequency = QueryPerformanceFrequency);
    CTimeKeeper(const CTimeKeeper&) = delete;
    CTimeKeeper& operator=(const CTimeKeeper&) = delete;
    virtual ~CTimeKeeper();

    // Reads the counter frequency. S_OK.
    HRESULT Init();

    // Start of a buffer: stamp = counter; previous buffer start = current
    // buffer start; current buffer start = device time.
    // Audio thread: no allocation, no blocking.
    void StampBuffer();
    // End of a buffer: folds the rendering time of this buffer, as a share
    // of the buffer period, into the smoothed load. E_UNEXPECTED before
    // Init; with no positive period the load stays as it was.
    // Audio thread: no allocation, no blocking.
    HRESULT EndBuffer();
    // The buffer period in ms, and the smoothing factor 0.03^(ms * 0.002)
    // that makes the load forget at a fixed rate per second.
    // Audio thread: no allocation, no blocking.
    void SetBufferPeriod(float ms);

    // Raw sample count += frames (never wrapped).
    // Audio thread: no allocation, no blocking.
    void AdvanceSamples(LONGLONG frames);
    // Device time += frames, wrapped back by the loop length when the
    // transport plays a loop and the time went past the loop end. E_FAIL
    // while the device time is unset; a failure of the loop times is
    // returned (the time advanced, not wrapped).
    // Audio thread: no allocation, no blocking.
    HRESULT AdvanceDeviceTime(LONGLONG frames);
    // Device time, raw sample count and both buffer starts = t.
    // Audio thread: no allocation, no blocking.
    void SetDeviceTime(LONGLONG t);
    // SetDeviceTime(t − (raw sample count − device time)): keeps the
    // distance between the raw count and the device time (after a count-in).
    // Audio thread: no allocation, no blocking.
    void SetDeviceTimeKeepOffset(LONGLONG t);
    // After an audio reset: the device time starts again from the audio
    // renderer's sample position (0 without a renderer).
    void ResetDeviceTime();
    // Current buffer start = unset, so that the first estimate after the
    // transport starts does not use a buffer from before the start.
    void ForgetPreviousBuffer();

    // The sample now being heard: the previous buffer's start, moved on by
    // the time since the stamp when `live`, wrapped into a playing loop;
    // never negative.
    LONGLONG GetDeviceTime(bool live);
    // The play position when stopped, when not `live` or during a count-in;
    // else GetLiveNowTicks.
    LONG GetNowTicks(bool live);
    // GetDeviceTime(live) in ticks, 0 when negative; the play position when
    // the conversion fails.
    LONG GetLiveNowTicks(bool live);

    // Smoothed ratio of rendering time to buffer period.
    // Audio thread: no allocation, no blocking.
    float GetLoad() const { return m_load.load(std::memory_order_relaxed); }
    float GetBufferPeriod() const { return m_bufferPeriod.load(std::memory_order_relaxed); }
    float GetSmoothingFactor() const { return m_smoothing.load(std::memory_order_relaxed); }

private:
    LONGLONG ReadCounter() const;

    ITimeKeeperSite* const m_site;
    const CounterFunction m_counter;
    const CounterFunction m_frequencyFunction;

    LONGLONG m_frequency = 0;
    std::atomic<LONGLONG> m_stamp{0};
    std::atomic<float> m_bufferPeriod{10.0f};
    std::atomic<float> m_load{0.0f};
    std::atomic<float> m_smoothing{0.0f};
    std::atomic<LONGLONG> m_deviceTime{0};
    std::atomic<LONGLONG> m_rawSampleCount{0};
    std::atomic<LONGLONG> m_currentBufferStart{0};
    std::atomic<LONGLONG> m_previousBufferStart{0};
};
