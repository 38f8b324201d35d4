#include "platform/audio/AlsaDevices.h"

#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <mutex>

namespace mvaudio {

namespace {

std::string HintText(void* hint, const char* id)
{
    char* value = snd_device_name_get_hint(hint, id);
    if (!value)
        return {};
    std::string text(value);
    std::free(value);
    return text;
}

std::uint64_t Fnv1a(std::string_view text, std::uint64_t seed)
{
    std::uint64_t h = seed;
    for (const char c : text) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001B3ull;
    }
    return h;
}

void IgnoreAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

// ALSA prints why a device or a format was refused; the callers report
// those failures themselves, so the messages stay off the terminal.
void QuietAlsaMessages()
{
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(IgnoreAlsaMessage); });
}

}  // namespace

std::vector<AlsaPcmDevice> ListAlsaPcmDevices(bool capture)
{
    QuietAlsaMessages();
    std::vector<AlsaPcmDevice> devices;
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) < 0)
        return devices;
    const char* wanted = capture ? "Input" : "Output";
    for (void** h = hints; *h; ++h) {
        const std::string name = HintText(*h, "NAME");
        const std::string direction = HintText(*h, "IOID");
        if (name.empty() || (!direction.empty() && direction != wanted))
            continue;
        std::string description = HintText(*h, "DESC");
        for (char& c : description)
            if (c == '\n')
                c = ' ';
        devices.push_back({name, description.empty() ? name : description, GuidFromDeviceName(name)});
    }
    snd_device_name_free_hint(hints);
    return devices;
}

GUID GuidFromDeviceName(std::string_view name)
{
    const std::uint64_t a = Fnv1a(name, 0xCBF29CE484222325ull);
    const std::uint64_t b = Fnv1a(name, a ^ 0x9E3779B97F4A7C15ull);
    GUID g;
    g.Data1 = static_cast<std::uint32_t>(a >> 32);
    g.Data2 = static_cast<std::uint16_t>(a >> 16);
    // A name-based GUID: version 5, variant 10.
    g.Data3 = static_cast<std::uint16_t>((a & 0x0FFF) | 0x5000);
    for (int i = 0; i < 8; ++i)
        g.Data4[i] = static_cast<std::uint8_t>(b >> (56 - 8 * i));
    g.Data4[0] = static_cast<std::uint8_t>((g.Data4[0] & 0x3F) | 0x80);
    return g;
}

int OpenAlsaPcm(const char* name, snd_pcm_stream_t stream, bool nonBlocking, snd_pcm_t** pcm)
{
    QuietAlsaMessages();
    *pcm = nullptr;
    snd_pcm_t* handle = nullptr;
    int err = snd_pcm_open(&handle, name, stream, SND_PCM_NONBLOCK);
    if (err < 0)
        return err;
    if (!nonBlocking && (err = snd_pcm_nonblock(handle, 0)) < 0) {
        snd_pcm_close(handle);
        return err;
    }
    *pcm = handle;
    return 0;
}

bool AlsaFormatOf(const WAVEFORMATEX& format, snd_pcm_format_t& out)
{
    if (format.wFormatTag != WAVE_FORMAT_PCM || format.nChannels == 0 ||
        format.nBlockAlign % format.nChannels != 0)
        return false;
    const int container = format.nBlockAlign / format.nChannels;
    const int bits = format.wBitsPerSample;
    if (container == 1 && bits == 8)
        out = SND_PCM_FORMAT_U8;
    else if (container == 2 && bits > 8 && bits <= 16)
        out = SND_PCM_FORMAT_S16_LE;
    else if (container == 3 && bits > 16 && bits <= 24)
        out = SND_PCM_FORMAT_S24_3LE;
    else if (container == 4 && bits > 16 && bits <= 32)
        out = SND_PCM_FORMAT_S32_LE;
    else
        return false;
    return true;
}

}  // namespace mvaudio
