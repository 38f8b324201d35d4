#include "platform/midi/MidiApi.h"

#include <semaphore.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/midi/CAlsaSeqMidiProvider.h"
#include "platform/midi/CJackMidiProvider.h"
#include "platform/midi/MidiDeviceProvider.h"
#include "platform/sync/ThreadAffinity.h"

namespace {

std::mutex g_providerLock;
std::shared_ptr<IMidiDeviceProvider> g_provider;

std::shared_ptr<IMidiDeviceProvider> CurrentProvider()
{
    std::lock_guard<std::mutex> lock(g_providerLock);
    if (!g_provider) {
        // JACK first: where a server runs, its MIDI ports are the ones the
        // user patches; the sequencer serves machines without one.
        auto jack = std::make_shared<mvmidi::CJackMidiProvider>();
        if (jack->IsConnected())
            g_provider = jack;
        else
            g_provider = std::make_shared<mvmidi::CAlsaSeqMidiProvider>();
    }
    return g_provider;
}

void CopyName(char (&out)[MAXPNAMELEN], const std::string& name)
{
    const std::size_t n = std::min(name.size(), MAXPNAMELEN - 1);
    std::memcpy(out, name.data(), n);
    out[n] = 0;
}

}  // namespace

void MidiSetDeviceProvider(std::shared_ptr<IMidiDeviceProvider> provider)
{
    std::lock_guard<std::mutex> lock(g_providerLock);
    g_provider = std::move(provider);
}

std::shared_ptr<IMidiDeviceProvider> MidiGetDeviceProvider() { return CurrentProvider(); }

int MidiDataBytesAfter(BYTE status)
{
    if (status < 0x80)
        return -1;
    if (status < 0xF0)
        return (status & 0xE0) == 0xC0 ? 1 : 2;  // program change, channel pressure: one
    switch (status) {
    case 0xF0: return -1;
    case 0xF1: case 0xF3: return 1;
    case 0xF2: return 2;
    default: return 0;
    }
}

// An open input port: the provider's stream posts into a ring that the
// port's delivery thread drains into the callback. The ring has one writer
// (the stream's thread) and one reader (the delivery thread).
struct MidiInPort final : IMidiInReceiver {
    static constexpr std::size_t kRingBytes = 1 << 16;
    static constexpr std::size_t kHeader = sizeof(std::uint32_t) + sizeof(std::uint64_t);

    MIDIINPROC callback = nullptr;
    DWORD_PTR instance = 0;
    std::unique_ptr<IMidiInStream> stream;
    std::array<BYTE, kRingBytes> ring{};
    std::atomic<std::size_t> head{0};  // written by Post
    std::atomic<std::size_t> tail{0};  // written by the delivery thread
    std::atomic<bool> started{false};
    std::atomic<bool> quit{false};
    std::atomic<std::uint32_t> dropped{0};
    sem_t wake{};
    std::thread thread;

    MidiInPort() { sem_init(&wake, 0, 0); }
    ~MidiInPort() { sem_destroy(&wake); }

    void Put(std::size_t at, const void* src, std::size_t n)
    {
        const auto* p = static_cast<const BYTE*>(src);
        for (std::size_t i = 0; i < n; ++i)
            ring[(at + i) & (kRingBytes - 1)] = p[i];
    }
    void Get(std::size_t at, void* dst, std::size_t n) const
    {
        auto* p = static_cast<BYTE*>(dst);
        for (std::size_t i = 0; i < n; ++i)
            p[i] = ring[(at + i) & (kRingBytes - 1)];
    }

    void Post(const BYTE* bytes, std::size_t length, std::uint64_t micros) override
    {
        if (!started.load(std::memory_order_acquire) || length == 0 || length > kRingBytes / 2)
            return;
        const std::size_t h = head.load(std::memory_order_relaxed);
        const std::size_t t = tail.load(std::memory_order_acquire);
        if (kRingBytes - (h - t) < kHeader + length) {
            dropped.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        const auto len32 = static_cast<std::uint32_t>(length);
        Put(h, &len32, sizeof len32);
        Put(h + sizeof len32, &micros, sizeof micros);
        Put(h + kHeader, bytes, length);
        head.store(h + kHeader + length, std::memory_order_release);
        sem_post(&wake);
    }

    void Run()
    {
        mv::MarkCurrentThread(mv::ThreadRole::MidiInput);
        std::array<BYTE, kRingBytes / 2> message{};
        while (true) {
            while (sem_wait(&wake) != 0) {
            }
            if (quit.load(std::memory_order_acquire))
                return;
            std::size_t t = tail.load(std::memory_order_relaxed);
            const std::size_t h = head.load(std::memory_order_acquire);
            while (t != h) {
                std::uint32_t length = 0;
                std::uint64_t micros = 0;
                Get(t, &length, sizeof length);
                Get(t + sizeof length, &micros, sizeof micros);
                Get(t + kHeader, message.data(), length);
                t += kHeader + length;
                tail.store(t, std::memory_order_release);
                if (!started.load(std::memory_order_acquire) || !callback)
                    continue;
                const auto ms = static_cast<DWORD_PTR>(static_cast<DWORD>(micros / 1000));
                if (message[0] == 0xF0) {
                    MIDIHDR header{reinterpret_cast<LPSTR>(message.data()), length, length, 0, 0};
                    callback(this, MIM_LONGDATA, instance, reinterpret_cast<DWORD_PTR>(&header), ms);
                } else {
                    DWORD packed = 0;
                    for (std::uint32_t i = 0; i < length && i < 3; ++i)
                        packed |= static_cast<DWORD>(message[i]) << (8 * i);
                    callback(this, MIM_DATA, instance, packed, ms);
                }
            }
        }
    }
};

struct MidiOutPort {
    std::mutex lock;
    std::unique_ptr<IMidiOutStream> stream;
};

UINT midiInGetNumDevs() { return static_cast<UINT>(CurrentProvider()->Inputs().size()); }

MMRESULT midiInGetDevCapsA(UINT_PTR deviceId, MIDIINCAPSA* caps, UINT size)
{
    if (!caps || size < sizeof(MIDIINCAPSA))
        return MMSYSERR_INVALPARAM;
    const auto inputs = CurrentProvider()->Inputs();
    if (deviceId >= inputs.size())
        return MMSYSERR_BADDEVICEID;
    *caps = MIDIINCAPSA{};
    caps->vDriverVersion = 0x0100;
    CopyName(caps->szPname, inputs[deviceId].name);
    return MMSYSERR_NOERROR;
}

MMRESULT midiInOpen(HMIDIIN* handle, UINT deviceId, DWORD_PTR callback, DWORD_PTR instance, DWORD flags)
{
    if (!handle)
        return MMSYSERR_INVALPARAM;
    *handle = nullptr;
    if (flags != CALLBACK_FUNCTION && flags != CALLBACK_NULL)
        return MMSYSERR_INVALPARAM;
    auto provider = CurrentProvider();
    if (deviceId >= provider->Inputs().size())
        return MMSYSERR_BADDEVICEID;
    auto port = std::make_unique<MidiInPort>();
    port->callback = flags == CALLBACK_FUNCTION ? reinterpret_cast<MIDIINPROC>(callback) : nullptr;
    port->instance = instance;
    port->stream = provider->OpenInput(deviceId, port.get());
    if (!port->stream)
        return MMSYSERR_ALLOCATED;
    MidiInPort* p = port.get();
    p->thread = std::thread([p] { p->Run(); });
    *handle = port.release();
    return MMSYSERR_NOERROR;
}

MMRESULT midiInStart(HMIDIIN handle)
{
    if (!handle)
        return MMSYSERR_INVALHANDLE;
    if (handle->started.load())
        return MMSYSERR_NOERROR;
    handle->started.store(true, std::memory_order_release);
    if (!handle->stream->Start()) {
        handle->started.store(false);
        return MMSYSERR_ERROR;
    }
    return MMSYSERR_NOERROR;
}

MMRESULT midiInStop(HMIDIIN handle)
{
    if (!handle)
        return MMSYSERR_INVALHANDLE;
    handle->stream->Stop();
    handle->started.store(false, std::memory_order_release);
    return MMSYSERR_NOERROR;
}

MMRESULT midiInClose(HMIDIIN handle)
{
    if (!handle)
        return MMSYSERR_INVALHANDLE;
    handle->started.store(false, std::memory_order_release);
    handle->stream.reset();  // no Post after this
    handle->quit.store(true, std::memory_order_release);
    sem_post(&handle->wake);
    // Closing from the port's own callback would join the thread itself.
    if (handle->thread.get_id() == std::this_thread::get_id())
        handle->thread.detach();
    else if (handle->thread.joinable())
        handle->thread.join();
    delete handle;
    return MMSYSERR_NOERROR;
}

UINT midiOutGetNumDevs() { return static_cast<UINT>(CurrentProvider()->Outputs().size()); }

MMRESULT midiOutGetDevCapsA(UINT_PTR deviceId, MIDIOUTCAPSA* caps, UINT size)
{
    if (!caps || size < sizeof(MIDIOUTCAPSA))
        return MMSYSERR_INVALPARAM;
    const auto outputs = CurrentProvider()->Outputs();
    if (deviceId >= outputs.size())
        return MMSYSERR_BADDEVICEID;
    *caps = MIDIOUTCAPSA{};
    caps->vDriverVersion = 0x0100;
    CopyName(caps->szPname, outputs[deviceId].name);
    caps->wTechnology = outputs[deviceId].hardware ? MOD_MIDIPORT : MOD_SYNTH;
    caps->wChannelMask = 0xFFFF;
    return MMSYSERR_NOERROR;
}

MMRESULT midiOutOpen(HMIDIOUT* handle, UINT deviceId, DWORD_PTR, DWORD_PTR, DWORD flags)
{
    if (!handle)
        return MMSYSERR_INVALPARAM;
    *handle = nullptr;
    if (flags != CALLBACK_NULL)
        return MMSYSERR_INVALPARAM;
    auto provider = CurrentProvider();
    if (deviceId >= provider->Outputs().size())
        return MMSYSERR_BADDEVICEID;
    auto port = std::make_unique<MidiOutPort>();
    port->stream = provider->OpenOutput(deviceId);
    if (!port->stream)
        return MMSYSERR_ALLOCATED;
    *handle = port.release();
    return MMSYSERR_NOERROR;
}

MMRESULT midiOutShortMsg(HMIDIOUT handle, DWORD message)
{
    if (!handle)
        return MMSYSERR_INVALHANDLE;
    const BYTE bytes[3] = {static_cast<BYTE>(message), static_cast<BYTE>(message >> 8),
                           static_cast<BYTE>(message >> 16)};
    const int data = MidiDataBytesAfter(bytes[0]);
    if (data < 0)
        return MMSYSERR_INVALPARAM;
    std::lock_guard<std::mutex> lock(handle->lock);
    return handle->stream->Send(bytes, static_cast<std::size_t>(1 + data)) ? MMSYSERR_NOERROR : MMSYSERR_ERROR;
}

MMRESULT midiOutLongMsg(HMIDIOUT handle, MIDIHDR* header, UINT size)
{
    if (!handle)
        return MMSYSERR_INVALHANDLE;
    if (!header || size < sizeof(MIDIHDR) || !header->lpData || header->dwBufferLength == 0)
        return MMSYSERR_INVALPARAM;
    std::lock_guard<std::mutex> lock(handle->lock);
    return handle->stream->Send(reinterpret_cast<const BYTE*>(header->lpData), header->dwBufferLength)
               ? MMSYSERR_NOERROR
               : MMSYSERR_ERROR;
}

MMRESULT midiOutClose(HMIDIOUT handle)
{
    if (!handle)
        return MMSYSERR_INVALHANDLE;
    {
        std::lock_guard<std::mutex> lock(handle->lock);
        handle->stream.reset();
    }
    delete handle;
    return MMSYSERR_NOERROR;
}
