// The gain-pan filter of the float audio graph: volume, pan and mute of a
// channel output, an aux send, an aux bus or the master bus. The program
// creates it by class identifier and drives it through its media
// parameters; it is a built-in class of every program that links this
// library.
//
// Parameters (index: name, type, range, neutral):
//   0 Invert    bool   0..1  0    polarity of the output
//   1 Volume    float  0..1  101/127  a fader position; the gain is the
//                                  studio's taper (FaderTaper.h): -inf at 0,
//                                  unity at 101/127, +6.02 dB at 1
//   2 Width     float  0..1  1    stereo width of a stereo input: the side
//                                  signal (l - r) / 2 is scaled by it
//   3 Spread    float  0..90 90   degrees the pan sweeps a mono input over
//   4 Pan       float  -1..1 0    position (mono input) or balance (stereo)
//   5 Mute      bool   0..1  0    silent at 0.5 and above
//   6 Mono      bool   0..1  0    both output channels carry (L + R) / 2
//   7 Solo Mute bool   0..1  0    silent at 0.5 and above (set by solo)
//
// The laws, with g = taper(Volume), negated under Invert, 0 while muted:
//   mono in, stereo out: angle a = 45 deg + Pan x Spread / 2;
//     L = g cos a x, R = g sin a x (constant power: -3 dB each at centre,
//     hard left at Pan -1 with the full 90 deg).
//   stereo in, stereo out: m = (l + r) / 2, s = (l - r) / 2,
//     l' = m + Width s, r' = m - Width s; then balance:
//     L = g (1 - max(Pan, 0)) l', R = g (1 + min(Pan, 0)) r'
//     (at the neutral settings a stereo block passes unchanged).
//   Mono: both channels become (L + R) / 2.
//   mono output: a mono input gives g x; a stereo input (L + R) / 2.
// A change of parameters glides linearly across one block, from the values
// that ended the last block to those at the end of this one; envelopes are
// read at both ends of each block by its time stamps. The first block, and
// the first after the transport starts, take their values at once.
//
// Threads: parameter values are atomic and may be set from any thread;
// envelopes are added and flushed by the automation on the audio thread
// (which only tries the filter lock: VFW_E_WRONG_STATE when it is busy);
// state and connections on the UI thread.
#pragma once

#include <atomic>

#include "platform/com/Persist.h"
#include "platform/media/CFloatAudioFilter.h"
#include "platform/media/IGainPan.h"
#include "platform/media/MediaParams.h"

class CGainPanFilter : public CFloatAudioFilter,
                       public IMediaParamInfo,
                       public IMediaParams,
                       public IPersistStream,
                       public IGainPanSend,
                       public IGainPan {
public:
    enum Param : DWORD {
        kInvert,
        kVolume,
        kWidth,
        kSpread,
        kPan,
        kMute,
        kMono,
        kSoloMute,
        kParamCount,
    };
    // Envelope segments a parameter holds at once.
    static constexpr int kMaxSegments = 32;

    // The class factory's creation: a new filter asked for riid.
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv);
    ~CGainPanFilter() override;

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP GetClassID(CLSID* clsid) override;

    // IMediaParamInfo
    STDMETHODIMP GetParamCount(DWORD* count) override;
    STDMETHODIMP GetParamInfo(DWORD index, MP_PARAMINFO* info) override;
    STDMETHODIMP GetParamText(DWORD index, WCHAR** text) override;
    STDMETHODIMP GetNumTimeFormats(DWORD* count) override;
    STDMETHODIMP GetSupportedTimeFormat(DWORD index, GUID* format) override;
    STDMETHODIMP GetCurrentTimeFormat(GUID* format, MP_TIMEDATA* data) override;

    // IMediaParams. Values outside a parameter's range are clamped.
    STDMETHODIMP GetParam(DWORD index, MP_DATA* value) override;
    STDMETHODIMP SetParam(DWORD index, MP_DATA value) override;
    // Audio thread: no allocation, no blocking (these two). E_OUTOFMEMORY
    // when the segments would not fit; a segment that ends before it starts
    // or has an unknown curve is E_INVALIDARG (nothing is added).
    STDMETHODIMP AddEnvelope(DWORD index, DWORD count, MP_ENVELOPE_SEGMENT* segments) override;
    // Drops the segments that touch start..end.
    STDMETHODIMP FlushEnvelope(DWORD index, REFERENCE_TIME start, REFERENCE_TIME end) override;
    STDMETHODIMP SetTimeFormat(GUID format, MP_TIMEDATA data) override;

    // IPersistStream: a version, the parameter count and the values.
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(IStream* stream) override;
    STDMETHODIMP Save(IStream* stream, BOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;

    // IGainPanSend
    STDMETHODIMP GetSendObject(LONG index, IUnknown** object) override;
    STDMETHODIMP GetSendCount(LONG* count) override;
    STDMETHODIMP OnTransportStart() override;

    // Audio thread: no allocation, no blocking.
    HRESULT Transform(IMediaSample* sample) override;

private:
    friend class CFloatAudioFilter;
    explicit CGainPanFilter(IUnknown* outer);

    // out[c] = m[c][0] in[0] + m[c][1] in[1] (a mono input uses column 0).
    struct Matrix {
        float m[2][2];
        bool operator==(const Matrix&) const = default;
    };
    struct Segment {
        MP_ENVELOPE_SEGMENT s;
        bool resolved;  // the start value is known
    };
    // The output tap: a send object living inside the filter, counted with
    // it.
    class CTap : public IGainPanTap {
    public:
        explicit CTap(CGainPanFilter* owner) : m_owner(owner) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
        STDMETHODIMP_(ULONG) AddRef() override;
        STDMETHODIMP_(ULONG) Release() override;
        STDMETHODIMP SetOutputTap(float* frames) override;
        float* Take() { return m_frames.exchange(nullptr); }

    private:
        CGainPanFilter* m_owner;
        std::atomic<float*> m_frames{nullptr};
    };

    // Audio thread: no allocation, no blocking (the four below).
    static Matrix MatrixFor(const float* values, WORD inChannels, WORD outChannels);
    static float Clamp(DWORD index, float value);
    // The parameter's value at time t, envelopes applied.
    float ValueAt(DWORD index, REFERENCE_TIME t);
    // Segments that end by t are done; the value at t becomes current.
    void Retire(DWORD index, REFERENCE_TIME t);
    // Writes the block through the matrix, gliding from `from` to `to`.
    static void Apply(const Matrix& from, const Matrix& to, const float* in, WORD inChannels, float* out,
                      WORD outChannels, LONG frames);

    std::atomic<float> m_values[kParamCount];
    Segment m_env[kParamCount][kMaxSegments]{};
    int m_envCount[kParamCount]{};
    Matrix m_last{};
    bool m_jump = true;
    std::atomic<bool> m_restart{false};
    std::atomic<bool> m_dirty{false};
    CTap m_tap;
};
