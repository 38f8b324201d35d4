// The song's tempo changes, and the conversions between musical time (ticks,
// 960 per quarter note) and clock time: any scale of seconds (milliseconds,
// 100-ns reference time, sample frames), SMPTE frames and h:m:s:f, and the
// 48.16 fixed-point ticks of MIDI-effect plug-ins.
//
// Clock time is kept in internal units of 1 / (ticks per quarter x 10^6)
// second, so n ticks at a tempo whose quarter lasts Q microseconds span
// exactly n x Q units. Entries ascend by tick; there is always at least one
// and the first is at tick 0, time 0; each entry's time follows from the one
// before. A live (fixed) tempo, while set, is in force everywhere instead of
// the entries, anchored at its reference tick.
//
// Clock times are 64-bit and products that can pass 64 bits are formed in
// 128 bits, so nothing wraps or saturates within a song's length; results
// narrower than their value (ticks and frame counts, 32-bit) saturate at
// their own limits. Roundings are exact also for times before the song
// start.
//
// Entries are edited on the UI thread through the container slots and
// ClearTempoRange; the owner of the map serialises that with the audio
// thread's reads.
#pragma once

#include <vector>

#include "model/CKelPersistObject.h"
#include "model/CTempo.h"
#include "model/CUndoVector.h"

class CMvCommand;

class CTempoMap : public CUndoVector<CTempo>, public CKelPersistObject {
public:
    static constexpr WORD kMajor = 0x600C;
    static constexpr LONG kTicksPerQuarter = 960;
    static constexpr LONG kMinLiveTempo = 800;
    static constexpr LONG kMaxLiveTempo = 25000;
    // Rounding codes of the SMPTE frame conversions.
    static constexpr int kTruncate = 0;
    static constexpr int kRoundHalfUp = 1;
    static constexpr int kRoundUp = 2;
    // Frame-rate codes.
    enum FrameRate { kFps24 = 0, kFps25 = 1, kFps30Drop = 2, kFps30 = 3, kFps2997Drop = 4, kFps2997 = 5 };

    CTempoMap();

    // Container slots: each keeps the invariants by recomputing the times from
    // the index on. An entry whose tempo is not positive (it would divide by
    // zero) is refused with E_INVALIDARG.
    HRESULT Insert(const int& index, const CTempo& tempo) override;
    HRESULT Set(const int& index, const CTempo& tempo) override;
    HRESULT Remove(const int& index) override;

    // One entry of 140.00 BPM at tick 0, time offset 0.
    HRESULT Reset();
    // From 0: a default entry when empty, the first moved to tick 0, time 0,
    // then every later time; from >= 1: the times from that entry on.
    void RecalcTimes(int from);

    // Audio thread: no allocation, no blocking (the searches and conversions).
    // The last entry whose tick is not after the tick; 0 before the first.
    int IndexAt(LONG tick) const;
    // The last entry whose time is not after the instant; -1 before the first.
    int IndexAtSeconds(double seconds) const;
    int IndexAtFrame(LONG frames) const;
    LONG GetTempoAt(LONG tick) const;

    // Live tempo: 800..25000, else E_INVALIDARG. Anchored at the tick's clock
    // time under the tempo in force (a live tempo included).
    HRESULT SetFixedTempo(LONG tick, LONG tempo);
    // S_FALSE without a live tempo; fills the outputs that are not null.
    HRESULT GetFixedTempo(LONG* tick, LONG* tempo, double* microseconds) const;
    void ClearFixedTempo() { m_liveTempo = 0; }
    // Audio thread: no allocation, no blocking.
    // Lets a live tempo run from the song start (when playback wraps).
    void RebaseFixedTempo();

    // Removes, undoably ("Clear Tempo Range"), every entry whose tick lies in
    // from..to, except the one at tick 0. Command rules as every edit.
    HRESULT ClearTempoRange(LONG from, LONG to, BOOL openCommand, CMvCommand* command);
    HRESULT SetSelected(int index, BOOL selected);
    // E_POINTER for null, E_INVALIDARG for a vector that is not empty.
    HRESULT GetSelectedIndices(std::vector<int>* indices) const;

    // Audio thread: no allocation, no blocking (every conversion below).
    // Clock time of a tick in units of 1/scale second, rounded half up.
    LONGLONG TicksToTime(LONG tick, LONGLONG scale, BOOL ignoreLive = FALSE) const;
    // Tick of the clock time value/scale seconds, rounded half up.
    LONG TimeToTicks(LONGLONG value, LONGLONG scale, BOOL ignoreLive = FALSE) const;
    LONG TicksToFrames(LONG tick, int rounding) const;
    LONG FramesToTicks(LONG frames, int rounding) const;
    // Drop-frame rates count in drop-frame labels.
    void FramesToSmpte(LONG frames, int* hours, int* minutes, int* seconds, int* frameOfSecond) const;
    LONG SmpteToFrames(int hours, int minutes, int seconds, int frameOfSecond) const;
    double GetFrameRate() const;
    LONGLONG TimeToFixedTicks(LONGLONG value, LONGLONG scale) const;
    LONGLONG FixedTicksToTime(LONGLONG fixed, LONGLONG scale) const;

    LONG GetTicksPerQuarter() const { return m_ticksPerQuarter; }
    int GetFrameRateCode() const { return m_frameRateCode; }
    void SetFrameRateCode(int code) { m_frameRateCode = code; }

    // Chunk 0: u32 count, then per entry u32 tempo and u32 tick. A chunk that
    // cannot be read whole, or holds an entry the map refuses, leaves the map
    // as it was.
    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

private:
    // Where a conversion starts from: a tick, the quarter-note length there
    // in microseconds and the clock time there (live reference included).
    struct Segment {
        LONGLONG tick;
        LONGLONG quarter;
        LONGLONG time;
    };

    bool LiveInForce(BOOL ignoreLive) const { return !ignoreLive && m_liveTempo >= 1; }
    Segment EntrySegment(int index) const;
    Segment LiveSegment() const;
    Segment SegmentAtTick(LONG tick, BOOL ignoreLive) const;
    Segment SegmentAtTime(LONGLONG units, BOOL ignoreLive) const;
    int IndexAtTime(LONGLONG units) const;
    // Clock time of a tick in internal units, without the time offset.
    LONGLONG TickTime(LONG tick, const Segment& segment) const;
    LONGLONG UnitsPerSecond() const { return static_cast<LONGLONG>(m_ticksPerQuarter) * 1000000; }
    LONG FrameRateX100() const;

    LONG m_ticksPerQuarter = kTicksPerQuarter;
    int m_frameRateCode = kFps25;
    LONG m_liveTempo = 0;
    double m_liveRefMicroseconds = 0.0;
    LONGLONG m_liveRefTime = 0;
    LONGLONG m_timeOffset = 0;
    LONG m_liveRefTick = 0;
};

// Quarter-note length in microseconds of a tempo in BPM x 100, rounded.
constexpr LONGLONG QuarterMicroseconds(LONG tempo)
{
    return (6000000000LL + tempo / 2) / tempo;
}

// 48.16 fixed-point ticks.
constexpr LONGLONG TicksToFixed(LONG tick) { return static_cast<LONGLONG>(tick) * 65536; }
// Rounds half up; saturates at the limits of a 32-bit tick.
LONG FixedToTicks(LONGLONG fixed);

// Drop-frame labels: 30 labels a second, two skipped at the start of every
// minute that is not a multiple of ten.
LONG FrameCountToDropFrameLabel(LONG frames);
LONG DropFrameLabelToFrameCount(LONG label);
