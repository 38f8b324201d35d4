#include "platform/audio/DirectSound.h"

#include <cerrno>
#include <new>
#include <string>

#include "platform/audio/AlsaDevices.h"
#include "platform/audio/CDsPlaybackBuffer.h"
#include "platform/com/CUnknownImpl.h"

namespace {

constexpr char kDefaultDevice[] = "default";
constexpr char kPrimaryDescription[] = "Primary Sound Driver";

HRESULT FromOpenError(int err) { return err == -EBUSY ? DSERR_ALLOCATED : DSERR_NODRIVER; }

// The ALSA device behind a DirectSound GUID; false when none has it.
bool DeviceNameOf(const GUID* guid, std::string& name)
{
    if (!guid || *guid == GUID_NULL || *guid == DSDEVID_DefaultPlayback) {
        name = kDefaultDevice;
        return true;
    }
    for (const mvaudio::AlsaPcmDevice& d : mvaudio::ListAlsaPcmDevices(false))
        if (d.guid == *guid) {
            name = d.name;
            return true;
        }
    return false;
}

class CDsDevice : public mvcom::CUnknownImpl<IDirectSound> {
public:
    explicit CDsDevice(std::string name) : m_name(std::move(name)) {}

    STDMETHODIMP CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer, IUnknown* outer) override
    {
        if (!buffer)
            return DSERR_INVALIDPARAM;
        *buffer = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        if (!desc || desc->dwSize < sizeof(DSBUFFERDESC) || !desc->lpwfxFormat)
            return DSERR_INVALIDPARAM;
        const WAVEFORMATEX& format = *desc->lpwfxFormat;
        snd_pcm_format_t alsaFormat;
        if (!mvaudio::AlsaFormatOf(format, alsaFormat) || format.nSamplesPerSec == 0)
            return DSERR_BADFORMAT;
        const DWORD bytes = desc->dwBufferBytes;
        if (bytes < DSBSIZE_MIN || bytes > DSBSIZE_MAX || bytes % format.nBlockAlign != 0)
            return DSERR_INVALIDPARAM;

        snd_pcm_t* pcm = nullptr;
        const int err = mvaudio::OpenAlsaPcm(m_name.c_str(), SND_PCM_STREAM_PLAYBACK, true, &pcm);
        if (err < 0)
            return FromOpenError(err);
        // The device keeps about half the ring queued: one refill's worth.
        const std::uint64_t frames = bytes / format.nBlockAlign;
        const unsigned latencyUs = static_cast<unsigned>(frames * 500000 / format.nSamplesPerSec);
        snd_pcm_uframes_t deviceBuffer = 0, period = 0;
        if (snd_pcm_set_params(pcm, alsaFormat, SND_PCM_ACCESS_RW_INTERLEAVED, format.nChannels,
                               format.nSamplesPerSec, 1, latencyUs) < 0 ||
            snd_pcm_get_params(pcm, &deviceBuffer, &period) < 0) {
            snd_pcm_close(pcm);
            return DSERR_BADFORMAT;
        }
        mvaudio::CDsPlaybackBuffer* created = mvaudio::CDsPlaybackBuffer::Create(pcm, format, bytes, deviceBuffer);
        if (!created) {
            snd_pcm_close(pcm);
            return DSERR_OUTOFMEMORY;
        }
        *buffer = created;
        return S_OK;
    }

    STDMETHODIMP SetCooperativeLevel(HWND, DWORD) override { return S_OK; }

protected:
    std::span<const mvcom::InterfaceEntry> InterfaceTable() const override
    {
        static const mvcom::InterfaceEntry table[] = {Entry<CDsDevice, IDirectSound>(IID_IDirectSound)};
        return table;
    }

private:
    const std::string m_name;
};

HRESULT Enumerate(bool capture, LPDSENUMCALLBACKA callback, LPVOID context)
{
    if (!callback)
        return DSERR_INVALIDPARAM;
    if (!callback(nullptr, kPrimaryDescription, "", context))
        return S_OK;
    for (mvaudio::AlsaPcmDevice& d : mvaudio::ListAlsaPcmDevices(capture))
        if (!callback(&d.guid, d.description.c_str(), d.name.c_str(), context))
            break;
    return S_OK;
}

}  // namespace

HRESULT DirectSoundCreate(const GUID* guid, IDirectSound** object, IUnknown* outer)
{
    if (!object)
        return DSERR_INVALIDPARAM;
    *object = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    std::string name;
    if (!DeviceNameOf(guid, name))
        return DSERR_NODRIVER;
    snd_pcm_t* pcm = nullptr;
    const int err = mvaudio::OpenAlsaPcm(name.c_str(), SND_PCM_STREAM_PLAYBACK, true, &pcm);
    if (err < 0)
        return FromOpenError(err);
    snd_pcm_close(pcm);
    *object = new (std::nothrow) CDsDevice(std::move(name));
    return *object ? S_OK : DSERR_OUTOFMEMORY;
}

HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, LPVOID context)
{
    return Enumerate(false, callback, context);
}

HRESULT DirectSoundCaptureEnumerateA(LPDSENUMCALLBACKA callback, LPVOID context)
{
    return Enumerate(true, callback, context);
}
