// One parameter's automation: the value set directly and the envelope
// segments the host adds and flushes, kept sorted by start time. The
// current value is the set value while it rules (after SetParam, with no
// segment, or while the user holds the control), else what the envelope
// gave at the last time it was evaluated.
//
// Threads: the host adds and flushes segments on its threads under the
// record's lock; the streaming thread evaluates with a try of that lock and
// keeps the last value when the host holds it. The set and current values
// are single 32-bit fields read and written without a lock.
#pragma once

#include <atomic>
#include <vector>

#include "platform/media/CCritSec.h"
#include "plugins/synthframework/MediaParamEntry.h"

namespace mvsynth {

class CParamEnvelope {
public:
    // Segments a parameter holds before adding one more allocates.
    static constexpr std::size_t kReservedSegments = 64;

    CParamEnvelope();
    CParamEnvelope(const CParamEnvelope&) = delete;
    CParamEnvelope& operator=(const CParamEnvelope&) = delete;

    // Takes the entry and starts at its neutral value, set.
    void Init(const MediaParamEntry& entry);
    const MediaParamEntry& Info() const { return m_info; }

    // The current value, internal scale. Audio thread: no allocation, no blocking.
    float Current() const;
    // Host scale in, internal kept; the set value rules from now on.
    // Audio thread: no allocation, no blocking.
    void Set(float external);
    void SetCaptured(bool captured) { m_captured.store(captured, std::memory_order_relaxed); }

    // Host's threads (they allocate when the list outgrows its reserve).
    HRESULT AddEnvelope(DWORD count, const MP_ENVELOPE_SEGMENT* segments, int sampleRate);
    HRESULT FlushEnvelope(REFERENCE_TIME start, REFERENCE_TIME end, int sampleRate);

    // Evaluates the envelope at time t. Audio thread: no allocation, no
    // blocking (a busy lock leaves the value as it was).
    void UpdateAt(REFERENCE_TIME t);
    // Appends the samples of the segments' starts and ends that lie in
    // [first, end) and returns how many segments there are (0 when the lock
    // is busy). Audio thread: no allocation while `out` has room.
    std::size_t AppendChangePoints(LONGLONG first, LONGLONG end, int sampleRate, std::vector<LONGLONG>& out);
    // The number of segments (tests and change-point sizing).
    std::size_t SegmentCount();

    static LONGLONG TimeToSample(REFERENCE_TIME t, int sampleRate);
    static REFERENCE_TIME SampleToTime(LONGLONG s, int sampleRate);

private:
    int FindSegment(REFERENCE_TIME t) const;
    static REFERENCE_TIME ToSampleGrid(REFERENCE_TIME t, int sampleRate);

    CCritSec m_lock;
    MediaParamEntry m_info{};
    std::vector<MP_ENVELOPE_SEGMENT> m_segments;
    // The segments' count, written under the lock, read without it.
    std::atomic<std::size_t> m_segmentCount{0};
    std::atomic<float> m_envValue{0.0f};
    std::atomic<bool> m_useSet{true};
    std::atomic<bool> m_captured{false};
    std::atomic<float> m_setValue{0.0f};
    REFERENCE_TIME m_lastTime = 0;
};

}  // namespace mvsynth
