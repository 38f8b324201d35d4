// One tempo-following loop clip: a sound read from a RIFF/WAVE file, cut into
// slices, placed on the song's timeline with a start, a length and a loop,
// and mixed into the loop player's output so that each slice sounds at its
// musical position at the current tempo and, when asked, in the song's key.
//
// Clips are reference-counted (a new clip holds one reference); copies share
// the sample store, and a linked clip plays the slices and audio of another.
// The program and the loop player each compile this library and call the
// clip's virtual operations in this order, so the order is a contract
// between the two: new operations go at the end.
//
// Positions take a unit: 0 whole ticks (the fixed value >> 16; kOpen stays
// open), 1 fixed ticks (48.16, 62,914,560 a quarter note), 3 samples.
// Setters ignore negative values.
//
// Loading, settings and format changes run on the UI thread (or the
// player's control thread) under the player's lock; RenderMix runs on the
// audio thread under the same lock.
#pragma once

#include <string>
#include <vector>

#include "platform/com/Stream.h"
#include "platform/media/MediaTypes.h"

class CClipAudio;
class CClipSlice;
class CWaveClipReader;
class ILoopClipPool;
class IRembetHost;

class CLoopClip {
public:
    static constexpr LONGLONG kOpen = INT64_MAX;
    static constexpr LONGLONG kFixedQuarter = 62914560;  // 960 ticks x 65536
    static constexpr int kUnitTicks = 0;
    static constexpr int kUnitFixedTicks = 1;
    static constexpr int kUnitSamples = 3;
    static constexpr int kKindPattern = 1;
    static constexpr int kKindPreview = 2;
    // Why a load was refused with E_UNEXPECTED.
    static constexpr int kReasonTooManyBeats = 1;
    static constexpr int kReasonTooLong = 2;
    // Overview points of a sound loaded from a file.
    static constexpr int kOverviewPoints = 500;
    // The highest file sample rate a clip is made from.
    static constexpr DWORD kMaxSampleRate = 768000;

    CLoopClip(IRembetHost* host, ILoopClipPool* pool);
    // A copy with all settings, name and path; with deep it shares the
    // source's sample store and copies its slices.
    CLoopClip(const CLoopClip& source, bool deep);
    CLoopClip(const CLoopClip&) = delete;
    CLoopClip& operator=(const CLoopClip&) = delete;

    ULONG AddRef() { return ++m_refs; }
    // The pool told when the clip dies (not one of the virtual operations:
    // the host's pool sets it on the clips it keeps).
    void SetPool(ILoopClipPool* pool) { m_pool = pool; }
    // At zero the link source is released, the pool told, the clip deleted.
    ULONG Release();

    virtual ~CLoopClip();
    virtual void SetHost(IRembetHost* host) { m_host = host; }
    virtual IRembetHost* GetHost() const { return m_host; }
    virtual DWORD GetId() const { return m_id; }
    virtual void SetId(DWORD id) { m_id = id; }
    virtual BOOL IsLinked() const { return m_link != nullptr; }
    virtual CLoopClip* GetLinkSource() const { return m_link; }
    // The store's format (the link source's when linked): IEEE float.
    virtual HRESULT GetFormat(WAVEFORMATEX* format) const;
    virtual CClipAudio* GetAudio() const;
    virtual LONG GetMaxBeats() const { return m_maxBeats; }
    virtual void SetMaxBeats(LONG beats) { m_maxBeats = beats; }
    virtual double GetMaxSeconds() const { return m_maxSeconds; }
    virtual void SetMaxSeconds(double seconds) { m_maxSeconds = seconds; }
    virtual LONGLONG GetLoopLength(int unit) const;
    virtual void SetLoopLength(LONGLONG value, int unit);
    virtual LONGLONG GetSampleLength() const { return m_sampleLength; }
    virtual void SetSampleLength(LONGLONG samples) { m_sampleLength = samples; }
    virtual LONGLONG GetStart(int unit) const;
    virtual void SetStart(LONGLONG value, int unit);
    virtual LONGLONG GetLoopOrigin(int unit) const;
    virtual void SetLoopOrigin(LONGLONG value, int unit);
    virtual LONGLONG GetLength(int unit) const;
    virtual void SetLength(LONGLONG value, int unit);
    virtual LONGLONG GetEnd(int unit) const;
    // Sets the length to end - start.
    virtual void SetEnd(LONGLONG value, int unit);
    virtual const std::string& GetName() const { return m_name; }
    virtual void SetName(const std::string& name) { m_name = name; }
    virtual const std::string& GetPath() const { return m_path; }
    virtual void SetPath(const std::string& path) { m_path = path; }
    virtual BOOL HasNoSlices() const;
    virtual BOOL GetLooping() const { return m_looping; }
    virtual void SetLooping(BOOL on) { m_looping = on; }
    virtual BOOL GetFollowTempo() const { return m_followTempo; }
    virtual void SetFollowTempo(BOOL on) { m_followTempo = on; }
    virtual BOOL GetKeepSliceLengths() const { return m_keepSliceLengths; }
    virtual void SetKeepSliceLengths(BOOL on) { m_keepSliceLengths = on; }
    virtual BOOL GetMute() const { return m_mute; }
    virtual void SetMute(BOOL on) { m_mute = on; }
    virtual float GetGain() const { return m_gain; }
    // Clamped to 0..2.
    virtual void SetGain(float gain);
    virtual float GetPan() const { return m_pan; }
    // Clamped to 0..1.
    virtual void SetPan(float pan);
    virtual LONG GetRootKey() const { return m_rootKey; }
    // Ignored outside -1..127.
    virtual void SetRootKey(LONG key);
    virtual LONG GetTranspose() const { return m_transpose; }
    // Ignored outside -24..24.
    virtual void SetTranspose(LONG semitones);
    virtual BOOL GetFollowKey() const { return m_followKey; }
    virtual void SetFollowKey(BOOL on) { m_followKey = on; }
    virtual BOOL GetUseSecondStore() const { return m_useSecondStore; }
    // Set in every slice too.
    virtual void SetUseSecondStore(BOOL on);
    virtual double GetTempo() const { return m_tempo; }
    // The clip's own tempo from its loop length in ticks and in samples.
    virtual void UpdateTempo();
    // Fixed ticks per sample at the clip's own tempo.
    virtual double GetTicksPerSample() const;
    virtual LONG GetKind() const { return m_kind; }
    virtual void SetKind(LONG kind) { m_kind = kind; }
    // Plays another clip's slices and audio (one reference on it).
    virtual void SetLinkSource(CLoopClip* source);

    // Loads a clip from a file: sliced when the file carries loop
    // information and slices (unless noSlices), else one slice over the
    // sound. E_UNEXPECTED with *reason 1 (more beats than the maximum) or 2
    // (longer than the maximum seconds, unless truncate keeps the start);
    // the reader's E_FAIL; E_OUTOFMEMORY. A failure leaves no sound behind.
    HRESULT LoadFromFile(const std::string& name, const std::string& path, const WAVEFORMATEX& streamFormat,
                         int* reason, bool noSlices, bool truncate);
    // Reads the first frames (all for 0) of an open reader into a new store.
    HRESULT LoadAudio(CWaveClipReader& reader, LONG frames);
    // Appends a slice (owned) at a start in fixed ticks; with extendLoop the
    // loop grows to hold it, in whole quarter notes.
    void AddSlice(CClipSlice* slice, LONGLONG startFixed, bool extendLoop);
    int GetSliceCount() const { return int(Slices().size()); }
    CClipSlice* GetSlice(int index) const { return Slices()[size_t(index)]; }
    // Moves the store to the stream's rate from its as-loaded samples and
    // places the slices and the loop's sample length at the new rate;
    // S_FALSE when nothing changes.
    HRESULT SetFormat(const WAVEFORMATEX& streamFormat);

    // The loop's length in samples at the sound's own rate (the loop length
    // in samples is this times the store's rate ratio).
    LONGLONG GetSourceLength() const { return m_sourceLength; }
    // A value the clip keeps for its owner and saves with its state.
    double GetKeptSeconds() const { return m_keptSeconds; }
    void SetKeptSeconds(double seconds) { m_keptSeconds = seconds; }

    // The clip's complete state straight through a stream, for the host's
    // project: settings, id, name and path, with includeData the sample
    // store, and the slices. A failed save returns the stream's error or
    // E_FAIL; a failed load returns E_FAIL (or E_OUTOFMEMORY) and leaves
    // the clip as it was. See CClipState for the layout.
    HRESULT SaveProjectState(IStream* stream, BOOL includeData) const;
    HRESULT LoadProjectState(IStream* stream);

    // Mixes [position, position + frames) of the stream into a float output:
    // S_OK, 1 when nothing sounded, E_INVALIDARG for a non-float output.
    // songKey is 0..11 or -1 for none.
    // Audio thread: no allocation, no blocking.
    HRESULT RenderMix(float* output, const WAVEFORMATEX& outputFormat, LONG songKey, LONGLONG position,
                      LONG frames);

    // The semitone shift of a slice: its transpose and the clip's, plus the
    // key-follow difference wrapped into -6..5.
    int ShiftFor(const CClipSlice& slice, LONG songKey) const;

private:
    friend class CClipState;

    const std::vector<CClipSlice*>& Slices() const { return m_link ? m_link->m_slices : m_slices; }
    void DeleteSlices();
    void Unload();

    ULONG m_refs = 1;
    std::vector<CClipSlice*> m_slices;
    DWORD m_id = 0;
    IRembetHost* m_host = nullptr;
    ILoopClipPool* m_pool = nullptr;
    CLoopClip* m_link = nullptr;
    LONGLONG m_loopFixed = 0, m_loopSamples = 0;
    LONGLONG m_sampleLength = 0;
    LONGLONG m_sourceLength = 0;
    LONGLONG m_startFixed = 0, m_startSamples = 0;
    LONGLONG m_originFixed = 0, m_originSamples = 0;
    LONGLONG m_lengthFixed = kOpen, m_lengthSamples = kOpen;
    CClipAudio* m_audio = nullptr;
    double m_tempo = 100.0;
    BOOL m_looping = 0, m_followTempo = 0, m_keepSliceLengths = 0, m_mute = 0, m_followKey = 0,
         m_useSecondStore = 0;
    LONG m_rootKey = -1;
    LONG m_transpose = 0;
    std::string m_name, m_path;
    float m_gain = 1.0f;
    float m_pan = 0.5f;
    LONG m_maxBeats = 256;
    double m_maxSeconds = 60.0;
    double m_keptSeconds = 60.0;
    LONG m_kind = 0;
};
