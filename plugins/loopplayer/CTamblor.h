// The loop player: the instrument engine of the Tamblor plug-in. It renders
// into the filter's first output the tempo-following loop clips that the
// host registers from its clip pool, the preview clips it loads from files,
// and the metronome: a measure click and a beat click, each a synthesized
// sine burst or a loaded sound, placed from the host's meter map while the
// host plays. It plays no MIDI notes: every note it is handed ends with the
// slice it came in, so the framework's list of active events stays short.
//
// The host drives it through ITamblor; its clips ask it for time
// conversions through IRembetHost, which it answers from the synth
// context. A registered clip holds one reference for the player until it is
// unregistered; the voices and preview clips are the player's own.
//
// Threads: every state change takes the filter's lock (this object);
// Process runs under it on the streaming thread. AddPreviewFile and
// ClearPreviewFiles take no lock and belong to the host's control thread;
// the two clip switches take none either, as the host's channels set them
// on the audio thread.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "ITamblor.h"
#include "TamblorClass.h"
#include "plugins/loopplayer/cliplib/IRembetHost.h"
#include "plugins/synthframework/CDXi.h"
#include "plugins/synthframework/CFilter.h"

class CLoopClip;
class CLoopClipPool;

namespace mvtamblor {

class CTamblor : public mvsynth::CDXi, public ITamblor, public IRembetHost {
public:
    static constexpr ULONG kStateBytes = 12;
    // Slices of the beat voice: beat markers for meters of up to 99 beats.
    static constexpr int kBeatMarkers = 99;
    // A whole-tick position no song reaches.
    static constexpr LONGLONG kOutOfReach = 0x7FFFFFFF;
    // One 4/4 measure in fixed ticks.
    static constexpr LONGLONG kFourFourMeasure = 0x0F000000;

    static const mvsynth::SynthClass& Class();

    CTamblor();
    ~CTamblor() override;

    // Instrument engine
    HRESULT Initialize() override;
    HRESULT CheckInputFormat(const WAVEFORMATEX* format) override;
    HRESULT CheckOutputFormat(const WAVEFORMATEX* format) override;
    HRESULT CheckFormats(const WAVEFORMATEX* input, const WAVEFORMATEX* output) override;
    HRESULT AdjustOutputFormat(WAVEFORMATEX*) override { return S_OK; }
    // Audio thread: no allocation, no blocking.
    HRESULT Process(LONGLONG position, const mvsynth::DXiBuffer* input, mvsynth::DXiBuffer* outputs,
                    DWORD outputCount, LONGLONG renderedTotal, const mvsynth::DXiEventList& events) override;
    // Audio thread: no allocation, no blocking (these three).
    HRESULT AcceptEvent(const mvsynth::DXiEvent&) override { return S_OK; }
    HRESULT OnNoteStart(const mvsynth::DXiEvent&) override { return S_OK; }
    // Every note is over once its slice rendered: the player plays none.
    HRESULT UpdateNote(const mvsynth::DXiEvent&, bool) override { return S_OK; }
    HRESULT OnStart() override;
    HRESULT OnStop() override;
    ULONG GetStateSize() override { return kStateBytes; }
    HRESULT LoadState(IStream* stream) override;
    HRESULT SaveState(IStream* stream) override;
    // Hands the stream's format to every registered clip and, in metronome
    // mode, to both voices.
    HRESULT SetFormat(WORD tag, WORD channels, DWORD rate, DWORD bytesPerSecond, WORD blockAlign) override;
    HRESULT QueryEngineInterface(IUnknown* owner, REFIID riid, void** ppv) override;

    // IUnknown: the filter's.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // ITamblor
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, DWORD, void**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, void*, UINT, DWORD, LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(LONG, REFIID, DWORD, WORD, void*, void*, void*, UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP AddClipCopy(const char* name, LONG kind, void** clip, void* source, DWORD* id) override;
    STDMETHODIMP AddClipCopyOf(const char* name, LONG kind, void** clip, DWORD source, DWORD* id) override;
    STDMETHODIMP AddLinkedClip(const char* name, LONG kind, void** clip, void* source, DWORD* id) override;
    STDMETHODIMP RegisterClip(DWORD id) override;
    STDMETHODIMP UnregisterClip(DWORD id) override;
    STDMETHODIMP get_ClipPool(void** pool) override;
    STDMETHODIMP put_ClipPool(void* pool) override;
    STDMETHODIMP LoadMeasureSound(const char* name, const char* path, LONG* result) override;
    STDMETHODIMP LoadBeatSound(const char* name, const char* path, LONG* result) override;
    STDMETHODIMP get_ClickLength(LONG* ticks) override;
    STDMETHODIMP put_ClickLength(LONG ticks) override;
    STDMETHODIMP get_MeasurePitch(LONG* note) override;
    STDMETHODIMP put_MeasurePitch(LONG note) override;
    STDMETHODIMP get_MeasureLevel(LONG* level) override;
    STDMETHODIMP put_MeasureLevel(LONG level) override;
    STDMETHODIMP get_BeatPitch(LONG* note) override;
    STDMETHODIMP put_BeatPitch(LONG note) override;
    STDMETHODIMP get_BeatLevel(LONG* level) override;
    STDMETHODIMP put_BeatLevel(LONG level) override;
    STDMETHODIMP get_IsClicking(LONG* clicking) override;
    STDMETHODIMP get_Gain(float* gain) override;
    STDMETHODIMP put_Gain(float gain) override;
    STDMETHODIMP get_MetronomeMode(LONG* mode) override;
    STDMETHODIMP put_MetronomeMode(LONG mode) override;
    STDMETHODIMP get_MeasureSynth(LONG* synth) override;
    STDMETHODIMP put_MeasureSynth(LONG synth) override;
    STDMETHODIMP get_BeatSynth(LONG* synth) override;
    STDMETHODIMP put_BeatSynth(LONG synth) override;
    // Any thread, the audio thread too: no allocation, no lock (these four).
    STDMETHODIMP get_PlayPatternClips(LONG* on) override;
    STDMETHODIMP put_PlayPatternClips(LONG on) override;
    STDMETHODIMP get_PlayPreviewClips(LONG* on) override;
    STDMETHODIMP put_PlayPreviewClips(LONG on) override;
    STDMETHODIMP get_MetronomeOn(LONG* on) override;
    STDMETHODIMP put_MetronomeOn(LONG on) override;
    STDMETHODIMP AddPreviewFile(const char* path) override;
    STDMETHODIMP ClearPreviewFiles() override;
    STDMETHODIMP StartPreview() override;
    STDMETHODIMP StopPreview() override;

    // IRembetHost, over the synth context. Audio thread: no allocation, no
    // blocking beyond the lock (these three).
    LONGLONG SamplesToFixedTicks(LONGLONG samples) override;
    LONGLONG FixedTicksToSamples(LONGLONG ticks) override;
    LONG GetSampleRate() override;

    CLoopClip* MeasureVoice() const { return m_measureVoice; }
    CLoopClip* BeatVoice() const { return m_beatVoice; }
    size_t RegisteredCount() const { return m_registered.size(); }
    size_t PreviewCount() const { return m_previews.size(); }

private:
    struct Registered {
        DWORD id;
        CLoopClip* clip;  // one reference, the player's
    };
    enum class Voice { Measure, Beat };

    // A clip the pool just made, set up to play and registered.
    HRESULT TakeNewClip(HRESULT made, CLoopClip* clip, LONG kind, void** out, bool hostIsPlayer);
    HRESULT LoadVoice(Voice voice, const char* name, const char* path, LONG* result);
    void ApplyVoiceGains();
    bool IsRegistered(DWORD id) const;
    void ReleasePreviews(std::vector<CLoopClip*>& clips);

    // Audio thread: no allocation, no blocking (these two).
    void RenderMetronome(float* output, LONGLONG position, LONG frames);
    void SynthClick(float* output, LONGLONG position, LONG frames, LONGLONG a, LONGLONG b, bool measure);

    IUnknown* m_owner = nullptr;  // the filter, not referenced
    std::vector<Registered> m_registered;
    CLoopClipPool* m_pool = nullptr;
    LONGLONG m_position = 0;
    LONG m_frames = 0;
    LONG m_metronomeMode = 0;
    CLoopClip* m_measureVoice = nullptr;
    CLoopClip* m_beatVoice = nullptr;
    float m_gain = 0.5f;
    float m_measureLevelFactor = 1.0f, m_beatLevelFactor = 1.0f;
    LONG m_measureSynth = 1, m_beatSynth = 1;
    LONG m_measurePitch = 0;
    float m_measureFrequency = 0.0f;
    LONG m_measureLevel = 0;
    LONG m_beatPitch = 0;
    float m_beatFrequency = 0.0f;
    LONG m_beatLevel = 0;
    LONGLONG m_clickLength = LONGLONG(57600) << 16;
    float m_measureEnvelope = 0.0f, m_beatEnvelope = 0.0f;
    LONG m_meterChanged = 1;
    LONG m_lastNumerator = 0, m_lastDenominator = 2;
    // The meter of the segment being rendered, in fixed ticks.
    LONGLONG m_beatLength = 0, m_measureLength = 0, m_meterOrigin = 0;
    LONG m_metronomeOn = 0;
    std::atomic<LONG> m_playPatternClips{0}, m_playPreviewClips{0};
    std::vector<CLoopClip*> m_previews;
    std::vector<std::string> m_previewFiles;
};

}  // namespace mvtamblor
