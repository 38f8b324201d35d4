// ALSA helpers shared by the audio stand-ins: the PCM devices that the
// configuration lists, stable GUIDs for them, opening without waiting for a
// busy device, and WAVEFORMATEX to ALSA sample formats. Internal to
// platform/audio: nothing above includes ALSA.
#pragma once

#include <alsa/asoundlib.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/media/MediaTypes.h"

namespace mvaudio {

struct AlsaPcmDevice {
    std::string name;         // what snd_pcm_open takes: "default", "hw:CARD=PCH,DEV=0"
    std::string description;  // one line
    GUID guid;
};

// The devices that ALSA's configuration describes for the direction, in its
// order. A device without a direction is listed for both.
std::vector<AlsaPcmDevice> ListAlsaPcmDevices(bool capture);

// The same GUID for the same name in every run; never the null GUID.
GUID GuidFromDeviceName(std::string_view name);

// Opens without waiting for a device that another program holds, then puts
// the handle in the mode asked for. An ALSA error code (negative) on failure.
int OpenAlsaPcm(const char* name, snd_pcm_stream_t stream, bool nonBlocking, snd_pcm_t** pcm);

// The ALSA sample format of a PCM record: 8-bit unsigned, 16-bit, packed
// 24-bit, and 32-bit containers (24 valid bits at the top, as 24-in-32
// formats carry them, or a full 32 bits). False for anything else.
bool AlsaFormatOf(const WAVEFORMATEX& format, snd_pcm_format_t& out);

}  // namespace mvaudio
