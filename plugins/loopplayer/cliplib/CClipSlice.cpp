#include "plugins/loopplayer/cliplib/CClipSlice.h"

#include <algorithm>
#include <cmath>

#include "plugins/loopplayer/cliplib/CClipAudio.h"
#include "plugins/loopplayer/cliplib/SampleKernels.h"

namespace {

// How a slice of h frames fills a target of d frames, in source frames.
// Target frame t reads source frame a (weight 1, or fading out) and, inside
// a crossfade, source frame b fading in.
struct StretchPlan {
    enum Mode { Plain, Shorten, Lengthen } mode = Plain;
    // 64 bits: a target near 2^31 frames must not overflow the sums below.
    LONGLONG h = 0, d = 0;
    LONGLONG fade = 0;     // crossfade length
    LONGLONG restart = 0;  // lengthening: the frame each repeat restarts at (m)
    LONGLONG repeat = 0;   // lengthening: frames a repeat adds (s = h - m)

    StretchPlan(LONG slice, LONG target, DWORD rate, Mode how) : mode(how), h(slice), d(target)
    {
        const double ratio = double(d) / double(h);
        const LONGLONG quarter = rate / 4, fortieth = rate / 40, fifth = rate / 5;
        if (mode == Shorten) {
            fade = std::min<LONGLONG>(quarter, std::llround(double(d) * 0.8));
            if (double(h) / double(d) < 1.04) fade = std::min(fade, fortieth);
        } else if (mode == Lengthen) {
            LONGLONG k = std::min<LONGLONG>(fifth, h * 5 / 10);
            LONGLONG repeats = (d - k) / (h - k);
            restart = (h * (repeats + 1) - d) / repeats;
            repeat = h - restart;
            fade = repeats + 1 > 2 ? std::min<LONGLONG>(repeat, 2 * restart / 3) : std::min(restart, quarter);
            if (ratio < 1.04) fade = std::min(fade, fortieth);
            fade = std::max<LONGLONG>(fade, 0);
        }
    }

    // One run of target frames from t on that reads the source contiguously:
    // its length, the source frames of both voices, and for a crossfade the
    // fade's position x0 (in frames) and length.
    struct Run {
        LONGLONG frames;
        LONGLONG a, b;
        bool crossfade;
        LONGLONG into;
    };

    Run At(LONGLONG t) const
    {
        if (mode == Plain) return {d - t, t, 0, false, 0};
        if (mode == Shorten) {
            LONGLONG fadeStart = d - fade;
            if (t < fadeStart) return {fadeStart - t, t, 0, false, 0};
            return {d - t, t, t + h - d, true, t - fadeStart};
        }
        // Lengthening: the slice plays whole, then repeats from the restart
        // frame; repeat i joins at h + (i - 1) * repeat.
        if (t < h - fade) return {h - fade - t, t, 0, false, 0};
        LONGLONG i = t < h ? 1 : (t - h) / repeat + 1;
        LONGLONG join = h + (i - 1) * repeat;
        if (t >= join + repeat - fade && join + repeat < d) {
            ++i;
            join += repeat;
        }
        if (t < join) {
            LONGLONG into = t - (join - fade);
            return {std::min(join, d) - t, h - fade + into, restart - fade + into, true, into};
        }
        LONGLONG end = std::min(join + repeat - fade, d);
        if (join + repeat >= d) end = d;
        return {end - t, restart + (t - join), 0, false, 0};
    }
};

// Parabolic crossfade gains at frame x0 of a fade of k frames, with the
// per-frame slope and curvature that carry them on.
void FadeOut(double x0, double k, double g, double& gain, double& slope, double& curvature)
{
    double x = x0 / k, dx = 1.0 / k;
    gain = g * (1.0 - x * x);
    slope = -g * (2.0 * x * dx + dx * dx);
    curvature = -g * 2.0 * dx * dx;
}

void FadeIn(double x0, double k, double g, double& gain, double& slope, double& curvature)
{
    double x = x0 / k, dx = 1.0 / k;
    gain = g * (2.0 * x - x * x);
    slope = g * (2.0 * dx - 2.0 * x * dx - dx * dx);
    curvature = -g * 2.0 * dx * dx;
}

}  // namespace

CClipSlice::CClipSlice(const CClipSlice& o)
    : m_audio(o.m_audio), m_channels(o.m_channels), m_dataOffset(o.m_dataOffset), m_startFixed(o.m_startFixed),
      m_startSamples(o.m_startSamples), m_lengthFixed(o.m_lengthFixed), m_lengthSamples(o.m_lengthSamples),
      m_loadedStart(o.m_loadedStart), m_loadedLength(o.m_loadedLength), m_loadedOffset(o.m_loadedOffset),
      m_secondLength(o.m_secondLength), m_loadedSecondLength(o.m_loadedSecondLength),
      m_overviewFirst(o.m_overviewFirst), m_overviewCount(o.m_overviewCount), m_sliced(o.m_sliced),
      m_rateFactor(o.m_rateFactor), m_gain(o.m_gain), m_pan(o.m_pan),
      m_transpose(o.m_transpose), m_ratio(o.m_ratio), m_index(o.m_index), m_useSecondStore(o.m_useSecondStore)
{
    if (m_audio) m_audio->AddRef();
}

CClipSlice::~CClipSlice()
{
    if (m_audio) m_audio->Release();
}

void CClipSlice::Attach(CClipAudio* audio, LONG offset)
{
    if (audio) audio->AddRef();
    if (m_audio) m_audio->Release();
    m_audio = audio;
    m_channels = audio ? audio->GetChannels() : 0;
    m_dataOffset = offset;
}

void CClipSlice::SetStart(LONGLONG value, int unit)
{
    if (unit == kUnitSamples)
        m_startSamples = LONG(value);
    else if (unit == kUnitTicks)
        m_startFixed = value == kNone ? kNone : value << 16;
    else
        m_startFixed = value;
}

void CClipSlice::SetLength(LONGLONG value, int unit)
{
    if (unit == kUnitSamples)
        m_lengthSamples = LONG(value);
    else if (unit == kUnitTicks)
        m_lengthFixed = value == kNone ? kNone : value << 16;
    else
        m_lengthFixed = value;
}

LONGLONG CClipSlice::GetEnd(int unit) const
{
    LONGLONG start = GetStart(unit), length = GetLength(unit);
    if (start == kNone || length == kNone) return kNone;
    return start + length;
}

void CClipSlice::Gains(float gain, float clipPan, double& left, double& right) const
{
    left = double(gain) * std::min(1.0f, 2.0f * (1.0f - clipPan)) * std::min(1.0f, 2.0f * (1.0f - m_pan)) * m_gain;
    right = double(gain) * std::min(1.0f, 2.0f * clipPan) * std::min(1.0f, 2.0f * m_pan) * m_gain;
}

void CClipSlice::RenderSlice(LONG offset, LONG outputOffset, LONG frames, LONG targetLength, float* output,
                             int outputChannels, float gain, float clipPan) const
{
    const LONG h = m_lengthSamples;
    if (!m_audio || h <= 0 || frames <= 0 || offset < 0) return;
    const LONG d = targetLength < 1 ? h : targetLength;
    const WORD ch = m_channels;
    const float* source = m_audio->GetSamples() + size_t(m_dataOffset) * ch;
    double left, right;
    Gains(gain, clipPan, left, right);
    const StretchPlan plan(h, d, m_audio->GetSampleRate(),
                           d < h ? StretchPlan::Shorten : d > h ? StretchPlan::Lengthen : StretchPlan::Plain);
    const MixKernel plain = SelectKernel(32, ch, outputChannels, false, false);
    const MixKernel ramped = SelectKernel(32, ch, outputChannels, false, true);

    LONG t = offset, out = outputOffset;
    const LONG end = LONG(std::min<LONGLONG>(d, LONGLONG(offset) + frames));
    while (t < end) {
        StretchPlan::Run run = plan.At(t);
        LONG n = LONG(std::min<LONGLONG>(run.frames, end - t));
        if (n <= 0) break;
        MixKernelContext c;
        c.output = output + size_t(out) * outputChannels;
        c.frames = n;
        c.bytesPerSample = 4;
        c.input = source + size_t(run.a) * ch;
        if (!run.crossfade) {
            c.leftGain = left;
            c.rightGain = right;
            plain(c);
        } else {
            FadeOut(run.into, plan.fade, left, c.leftGain, c.leftSlope, c.leftCurvature);
            FadeOut(run.into, plan.fade, right, c.rightGain, c.rightSlope, c.rightCurvature);
            ramped(c);
            MixKernelContext in = c;
            in.input = source + size_t(run.b) * ch;
            FadeIn(run.into, plan.fade, left, in.leftGain, in.leftSlope, in.leftCurvature);
            FadeIn(run.into, plan.fade, right, in.rightGain, in.rightSlope, in.rightCurvature);
            ramped(in);
        }
        t += n;
        out += n;
    }
}

void CClipSlice::RenderSliceShifted(LONG offset, LONG outputOffset, LONG frames, LONG targetLength, float* output,
                                    int outputChannels, float gain, float clipPan, int shift) const
{
    const LONG h = m_lengthSamples;
    if (!m_audio || h <= 0 || frames <= 0 || offset < 0) return;
    const LONG d = targetLength < 1 ? h : targetLength;
    const double speed = std::exp2(shift / 12.0) * m_ratio;
    const LONG D = LONG(std::clamp(std::round(d * speed), 1.0, double(INT32_MAX)));
    const WORD ch = m_channels;
    const float* source = m_audio->GetSamples() + size_t(m_dataOffset) * ch;
    double left, right;
    Gains(gain, clipPan, left, right);
    // Within a hair of the slice's own length the source is read as it is.
    const double ratio = d * speed / h;
    const StretchPlan::Mode mode = ratio < 0.999999999 && D < h   ? StretchPlan::Shorten
                                   : ratio > 1.000000001 && D > h ? StretchPlan::Lengthen
                                                                  : StretchPlan::Plain;
    const StretchPlan fitted(h, mode == StretchPlan::Plain ? h : D, m_audio->GetSampleRate(), mode);
    const LONG last = LONG(fitted.d - 1);

    // The stretched source at frame u, one channel.
    auto at = [&](LONG u, int c) {
        u = std::clamp<LONG>(u, 0, last);
        StretchPlan::Run run = fitted.At(u);
        double v = source[size_t(run.a) * ch + c];
        if (run.crossfade) {
            double x = double(run.into) / fitted.fade;
            v = v * (1.0 - x * x) + source[size_t(run.b) * ch + c] * (1.0 - (1.0 - x) * (1.0 - x));
        }
        return v;
    };

    const LONG end = LONG(std::min<LONGLONG>(d, LONGLONG(offset) + frames));
    for (LONG n = offset; n < end; ++n) {
        double pos = n * speed;
        // Past the stretched slice every read is its last frame: the index
        // stays where a LONG holds it.
        LONG i = LONG(std::clamp(std::floor(pos), 0.0, double(last)));
        double frac = pos - i;
        float* o = output + size_t(outputOffset + (n - offset)) * outputChannels;
        double l = at(i, 0) + (at(i + 1, 0) - at(i, 0)) * frac;
        double r = ch == 2 ? at(i, 1) + (at(i + 1, 1) - at(i, 1)) * frac : l;
        if (outputChannels == 2) {
            o[0] = float(o[0] + left * l);
            o[1] = float(o[1] + right * r);
        } else {
            o[0] = float(o[0] + left * l);
        }
    }
}
