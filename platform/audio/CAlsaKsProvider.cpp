#include "platform/audio/CAlsaKsProvider.h"

#include <atomic>
#include <cerrno>
#include <string>

#include "platform/audio/AlsaDevices.h"

namespace mvaudio {

namespace {

constexpr int kWaitSliceMs = 20;

struct SampleWidth {
    snd_pcm_format_t format;
    ULONG bits;
};
constexpr SampleWidth kWidths[] = {
    {SND_PCM_FORMAT_U8, 8}, {SND_PCM_FORMAT_S16_LE, 16}, {SND_PCM_FORMAT_S24_3LE, 24}, {SND_PCM_FORMAT_S32_LE, 32}};

// The data ranges the device's hardware parameters allow: one per sample width.
std::vector<KSDATARANGE_AUDIO> RangesOf(const std::string& device, snd_pcm_stream_t stream)
{
    std::vector<KSDATARANGE_AUDIO> ranges;
    snd_pcm_t* pcm = nullptr;
    if (OpenAlsaPcm(device.c_str(), stream, true, &pcm) < 0)
        return ranges;
    snd_pcm_hw_params_t* params;
    snd_pcm_hw_params_alloca(&params);
    unsigned channels = 0, minRate = 0, maxRate = 0;
    int dir = 0;
    if (snd_pcm_hw_params_any(pcm, params) >= 0 && snd_pcm_hw_params_get_channels_max(params, &channels) >= 0 &&
        snd_pcm_hw_params_get_rate_min(params, &minRate, &dir) >= 0 &&
        snd_pcm_hw_params_get_rate_max(params, &maxRate, &dir) >= 0) {
        for (const SampleWidth& w : kWidths) {
            if (snd_pcm_hw_params_test_format(pcm, params, w.format) < 0)
                continue;
            ranges.push_back(PcmAudioRange(channels, w.bits, w.bits, minRate, maxRate));
        }
    }
    snd_pcm_close(pcm);
    return ranges;
}

class CAlsaPinStream : public IKsPinStream {
public:
    CAlsaPinStream(snd_pcm_t* pcm, unsigned frameBytes) : m_pcm(pcm), m_frameBytes(frameBytes) {}
    ~CAlsaPinStream() override { snd_pcm_close(m_pcm); }

    void SetState(KSSTATE state) override { m_state.store(state); }

    bool Write(const void* data, ULONG bytes) override
    {
        const auto* p = static_cast<const char*>(data);
        snd_pcm_uframes_t frames = bytes / m_frameBytes;
        while (frames > 0) {
            if (m_state.load() != KSSTATE_RUN) {
                snd_pcm_drop(m_pcm);
                snd_pcm_prepare(m_pcm);
                return true;
            }
            const snd_pcm_sframes_t n = snd_pcm_writei(m_pcm, p, frames);
            if (n == -EAGAIN) {
                snd_pcm_wait(m_pcm, kWaitSliceMs);
                continue;
            }
            if (n < 0) {
                if (snd_pcm_recover(m_pcm, static_cast<int>(n), 1) < 0)
                    return false;
                continue;
            }
            p += n * m_frameBytes;
            frames -= static_cast<snd_pcm_uframes_t>(n);
        }
        return true;
    }

private:
    snd_pcm_t* const m_pcm;
    const unsigned m_frameBytes;
    std::atomic<ULONG> m_state{KSSTATE_STOP};
};

}  // namespace

std::vector<KsFilterDescription> CAlsaKsProvider::Filters()
{
    std::vector<KsFilterDescription> filters;
    int card = -1;
    while (snd_card_next(&card) >= 0 && card >= 0) {
        const std::string control = "hw:" + std::to_string(card);
        snd_ctl_t* ctl = nullptr;
        if (snd_ctl_open(&ctl, control.c_str(), 0) < 0)
            continue;
        snd_ctl_card_info_t* cardInfo;
        snd_ctl_card_info_alloca(&cardInfo);
        snd_ctl_card_info(ctl, cardInfo);
        int device = -1;
        while (snd_ctl_pcm_next_device(ctl, &device) >= 0 && device >= 0) {
            KsFilterDescription f;
            f.path = "hw:" + std::to_string(card) + "," + std::to_string(device);
            f.description = snd_ctl_card_info_get_longname(cardInfo);
            f.hardwareId = snd_ctl_card_info_get_id(cardInfo);
            f.service = snd_ctl_card_info_get_driver(cardInfo);
            f.driverKey = control;
            f.categories.push_back(KSCATEGORY_AUDIO);
            for (const snd_pcm_stream_t stream : {SND_PCM_STREAM_PLAYBACK, SND_PCM_STREAM_CAPTURE}) {
                snd_pcm_info_t* info;
                snd_pcm_info_alloca(&info);
                snd_pcm_info_set_device(info, static_cast<unsigned>(device));
                snd_pcm_info_set_stream(info, stream);
                if (snd_ctl_pcm_info(ctl, info) < 0)
                    continue;
                if (f.friendlyName.empty())
                    f.friendlyName = std::string(snd_ctl_card_info_get_name(cardInfo)) + ": " + snd_pcm_info_get_name(info);
                KsPinDescription pin;
                const bool playback = stream == SND_PCM_STREAM_PLAYBACK;
                pin.dataFlow = playback ? KSPIN_DATAFLOW_IN : KSPIN_DATAFLOW_OUT;
                pin.communication = KSPIN_COMMUNICATION_SINK;
                pin.ranges = RangesOf(f.path, stream);
                f.pins.push_back(pin);
                f.categories.push_back(playback ? KSCATEGORY_RENDER : KSCATEGORY_CAPTURE);
            }
            filters.push_back(std::move(f));
        }
        snd_ctl_close(ctl);
    }
    return filters;
}

std::unique_ptr<IKsPinStream> CAlsaKsProvider::OpenPin(const std::string& path, ULONG pinId,
                                                       const WAVEFORMATEX& format, DWORD* error)
{
    snd_pcm_format_t sampleFormat;
    if (!AlsaFormatOf(format, sampleFormat)) {
        *error = ERROR_BAD_FORMAT;
        return nullptr;
    }
    std::vector<KsFilterDescription> all = Filters();
    snd_pcm_stream_t stream = SND_PCM_STREAM_PLAYBACK;
    for (const KsFilterDescription& f : all)
        if (f.path == path && pinId < f.pins.size() && f.pins[pinId].dataFlow == KSPIN_DATAFLOW_OUT)
            stream = SND_PCM_STREAM_CAPTURE;
    snd_pcm_t* pcm = nullptr;
    const int err = OpenAlsaPcm(path.c_str(), stream, true, &pcm);
    if (err < 0) {
        *error = err == -EBUSY ? ERROR_BUSY : ERROR_DEVICE_NOT_CONNECTED;
        return nullptr;
    }
    // No conversion and no resampling: the device takes the format as it is.
    if (snd_pcm_set_params(pcm, sampleFormat, SND_PCM_ACCESS_RW_INTERLEAVED, format.nChannels, format.nSamplesPerSec,
                           0, 50000) < 0) {
        snd_pcm_close(pcm);
        *error = ERROR_NO_MATCH;
        return nullptr;
    }
    return std::make_unique<CAlsaPinStream>(pcm, format.nBlockAlign);
}

}  // namespace mvaudio
