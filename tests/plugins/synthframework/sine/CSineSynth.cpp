#include "CSineSynth.h"

#include <cmath>
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
            if (start >= out.frames)
                continue;
            BeginWrite(out);
            auto* data = reinterpret_cast<float*>(SliceData(out, f.nBlockAlign));
            if (!data)
                continue;
            const double w = 2 * std::numbers::pi * Frequency(e.Key()) / rate;
            const double amp = level * e.Velocity() / 127.0;
            for (LONGLONG k = start; k < out.frames; ++k) {
                const auto n = static_cast<double>(renderedTotal + k - e.sampleTime);
                const auto v = static_cast<float>(amp * std::sin(w * n));
                for (WORD c = 0; c < f.nChannels; ++c)
                    data[k * f.nChannels + c] += v;
            }
        }
    }
    return input || sounding ? S_OK : kTailDone;
}

}  // namespace mvtest
