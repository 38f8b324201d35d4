#include "CSineSynth.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <numbers>

#include "SineSynthClass.h"
#include "plugins/synthframework/CMediaParams.h"

namespace mvtest {

namespace {
const mvsynth::MediaParamEntry kParams[] = {
    {{MPT_FLOAT, MP_CAPS_CURVE_JUMP | MP_CAPS_CURVE_LINEAR, 0.0f, 1.0f, 1.0f, u"", u"Level"}, 0.0f, 1.0f, nullptr},
};

mvsynth::CDXi* MakeSine() { return new (std::nothrow) CSineSynth; }

const mvsynth::SynthClass kClass{&CLSID_SineSynth, kSineInstrumentName, kParams, 1, &MakeSine};

bool IsFloat(const WAVEFORMATEX* f) { return f->wFormatTag == WAVE_FORMAT_IEEE_FLOAT && f->wBitsPerSample == 32; }
}  // namespace

const mvsynth::SynthClass& CSineSynth::Class() { return kClass; }

HRESULT CSineSynth::CheckInputFormat(const WAVEFORMATEX* format) { return IsFloat(format) ? S_OK : S_FALSE; }
HRESULT CSineSynth::CheckOutputFormat(const WAVEFORMATEX* format) { return IsFloat(format) ? S_OK : S_FALSE; }

double CSineSynth::Frequency(int key) { return 440.0 * std::pow(2.0, (key - 69) / 12.0); }

LONGLONG CSineSynth::NoteEnd(const mvsynth::DXiEvent& note)
{
    const DWORD ticks = note.Duration();
    if (ticks == mvsynth::kMfxHeldNote || !Context())
        return std::numeric_limits<LONGLONG>::max();
    const LONG from = static_cast<LONG>(note.time);
    return note.sampleTime + Context()->TicksToSamples(from + static_cast<LONG>(ticks)) -
           Context()->TicksToSamples(from);
}

HRESULT CSineSynth::UpdateNote(const mvsynth::DXiEvent& event, bool flush)
{
    if (flush || event.Duration() == mvsynth::kMfxNoteOff)
        return S_OK;
    return NoteEnd(event) <= m_renderedEnd ? S_OK : S_FALSE;
}

HRESULT CSineSynth::Process(LONGLONG, const mvsynth::DXiBuffer* input, mvsynth::DXiBuffer* outputs,
                            DWORD outputCount, LONGLONG renderedTotal, const mvsynth::DXiEventList& events)
{
    const WAVEFORMATEX& f = *GetOutputFormat();
    const double rate = f.nSamplesPerSec ? f.nSamplesPerSec : 44100;
    const float level = MediaParams() ? MediaParams()->Value(kSineLevelParam) : 1.0f;
    bool sounding = false;
    for (DWORD o = 0; o < outputCount; ++o) {
        mvsynth::DXiBuffer& out = outputs[o];
        for (const mvsynth::DXiEvent& e : events) {
            if (e.kind != mvsynth::kMfxNote || e.Duration() == mvsynth::kMfxNoteOff)
                continue;
            sounding = true;
            const LONGLONG start = std::max<LONGLONG>(0, e.sampleTime - renderedTotal);
            const LONGLONG stop = std::min<LONGLONG>(out.frames, NoteEnd(e) - renderedTotal);
            if (start >= stop)
                continue;
            BeginWrite(out);
            auto* data = reinterpret_cast<float*>(SliceData(out, f.nBlockAlign));
            if (!data)
                continue;
            const double w = 2 * std::numbers::pi * Frequency(e.Key()) / rate;
            const double amp = level * e.Velocity() / 127.0;
            // Four sines, at the slice's first four samples, each turned on
            // by four angle steps: in double they stay within float rounding
            // of sin(w * n) over a block, and the four turns run side by side.
            const auto n0 = static_cast<double>(renderedTotal + start - e.sampleTime);
            double sine[4], cosine[4];
            for (int j = 0; j < 4; ++j) {
                sine[j] = std::sin(w * (n0 + j));
                cosine[j] = std::cos(w * (n0 + j));
            }
            const double stepSine = std::sin(4 * w), stepCosine = std::cos(4 * w);
            const WORD channels = f.nChannels;
            for (LONGLONG k = start; k < stop; k += 4) {
                const int n = static_cast<int>(std::min<LONGLONG>(4, stop - k));
                for (int j = 0; j < n; ++j) {
                    const auto v = static_cast<float>(amp * sine[j]);
                    for (WORD c = 0; c < channels; ++c)
                        data[(k + j) * channels + c] += v;
                }
                for (int j = 0; j < 4; ++j) {
                    const double turned = sine[j] * stepCosine + cosine[j] * stepSine;
                    cosine[j] = cosine[j] * stepCosine - sine[j] * stepSine;
                    sine[j] = turned;
                }
            }
        }
    }
    if (outputCount > 0)
        m_renderedEnd = renderedTotal + outputs[0].frames;
    return input || sounding ? S_OK : kTailDone;
}

}  // namespace mvtest
