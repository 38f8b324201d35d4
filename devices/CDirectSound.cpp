#include "devices/CDirectSound.h"

#include <cstring>
#include <string>
#include <vector>

#include "devices/CAppConfig.h"
#include "devices/IEngineOwner.h"
#include "platform/sync/Event.h"
#include "platform/sync/Interlocked.h"
#include "platform/sync/Thread.h"
#include "platform/sync/ThreadAffinity.h"
#include "platform/win/Guid.h"
#include "resources/MorvaneStrings.h"

namespace {

constexpr DWORD kBufferFlags = DSBCAPS_GLOBALFOCUS | DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_LOCSOFTWARE;
constexpr unsigned kMask44100x16 = 0x100;
constexpr unsigned kMask48000x16 = 0x1000;
constexpr DWORD kProbeFrames = 2048;
constexpr DWORD kEventWaitMs = 1000;
// What a stop that waited in vain reports.
constexpr HRESULT kThreadDidNotEnd = HRESULT_FROM_WIN32(WAIT_TIMEOUT);

struct ListedDevice {
    bool hasGuid;
    GUID guid;
    std::string description;
    std::string module;
};

BOOL CollectDevice(GUID* guid, LPCSTR description, LPCSTR module, LPVOID context)
{
    static_cast<std::vector<ListedDevice>*>(context)->push_back(
        {guid != nullptr, guid ? *guid : GUID_NULL, description ? description : "", module ? module : ""});
    return TRUE;
}

std::vector<ListedDevice> ListDevices(bool capture)
{
    std::vector<ListedDevice> list;
    if (capture)
        DirectSoundCaptureEnumerateA(CollectDevice, &list);
    else
        DirectSoundEnumerateA(CollectDevice, &list);
    return list;
}

bool IsDefaultId(const GUID& id)
{
    return id == GUID_NULL || id == DSDEVID_DefaultPlayback || id == DSDEVID_DefaultCapture;
}

// The description of a playback device; the primary entry answers for the
// default identifiers. Empty for a device that is not present.
CString DescriptionOf(const GUID& id)
{
    for (const ListedDevice& d : ListDevices(false))
        if (d.hasGuid ? d.guid == id : IsDefaultId(id))
            return CString(d.description.c_str());
    return CString();
}

DSBUFFERDESC PlaybackDesc(WAVEFORMATEX* format, DWORD bytes)
{
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = kBufferFlags;
    desc.dwBufferBytes = bytes;
    desc.lpwfxFormat = format;
    return desc;
}

unsigned long Hex(HRESULT hr) { return static_cast<unsigned long>(static_cast<std::uint32_t>(hr)); }

}  // namespace

// What the audio thread uses, shared with it: it holds its own reference to
// the buffer, so nothing it writes into goes away while it runs.
struct CDirectSound::ThreadState {
    ThreadState(IEngineOwner* owner, IDirectSoundBuffer* buffer, HANDLE event, DWORD halfBytes)
        : owner(owner), buffer(buffer), event(event), halfBytes(halfBytes)
    {
        buffer->AddRef();
    }
    ~ThreadState() { buffer->Release(); }

    IEngineOwner* const owner;
    IDirectSoundBuffer* const buffer;
    const HANDLE event;
    const DWORD halfBytes;
    LONG stopCount = 0;
    LONG nextHalf = 0;

    // Refills the half that is not playing. Audio thread: no allocation, no blocking.
    HRESULT ServiceHalf()
    {
        DWORD play = 0;
        HRESULT hr = buffer->GetCurrentPosition(&play, nullptr);
        if (FAILED(hr))
            return hr;
        LONG next = static_cast<LONG>((play + halfBytes) / halfBytes);
        if (next == 2)
            next = 0;
        nextHalf = next;
        void* region = nullptr;
        void* wrapped = nullptr;
        DWORD bytes = 0, wrappedBytes = 0;
        hr = buffer->Lock(static_cast<DWORD>(next) * halfBytes, halfBytes, &region, &bytes, &wrapped, &wrappedBytes, 0);
        if (FAILED(hr))
            return hr;
        HRESULT result = S_OK;
        if (owner)
            result = owner->ProcessBuffer(region, nullptr, bytes, -1);
        else
            std::memset(region, 0, bytes);
        hr = buffer->Unlock(region, bytes, wrapped, wrappedBytes);
        return FAILED(hr) ? hr : result;
    }
};

CDirectSound::CDirectSound(IEngineOwner* owner, DWORD threadStopWaitMs)
    : m_owner(owner), m_threadStopWaitMs(threadStopWaitMs), m_outputId(DSDEVID_DefaultPlayback),
      m_inputId(DSDEVID_DefaultCapture)
{
}

CDirectSound::~CDirectSound()
{
    // A thread that never ended runs on with its own references.
    Close(0);
}

DWORD CDirectSound::AudioThread(LPVOID arg)
{
    const std::unique_ptr<std::shared_ptr<ThreadState>> holder(static_cast<std::shared_ptr<ThreadState>*>(arg));
    ThreadState& state = **holder;
    MV_ASSERT_AUDIO_THREAD();
    while (InterlockedCompareExchange(&state.stopCount, 0, 0) == 0) {
        const DWORD wait = WaitForSingleObject(state.event, kEventWaitMs);
        if (wait == WAIT_FAILED)
            break;  // the device was closed under the thread
        if (wait == WAIT_OBJECT_0 && InterlockedCompareExchange(&state.stopCount, 0, 0) == 0)
            state.ServiceHalf();
    }
    return 0;
}

HRESULT CDirectSound::EnumPorts(IEnumAudioDeviceCallback* callback, int isInput)
{
    if (!callback)
        return E_POINTER;
    const std::map<GUID, unsigned>& masks = isInput ? m_captureDevices : m_playbackDevices;
    const GUID& defaultId = isInput ? DSDEVID_DefaultCapture : DSDEVID_DefaultPlayback;
    for (const ListedDevice& d : ListDevices(isInput != 0)) {
        unsigned mask = kMask44100x16;
        if (d.hasGuid) {
            const auto it = masks.find(d.guid);
            if (it != masks.end()) {
                if (it->second == 0)
                    continue;
                mask = it->second;
            }
        }
        callback->AddPort(d.hasGuid ? &d.guid : &defaultId, d.description.c_str(), mask, d.module.c_str(), nullptr);
    }
    return S_OK;
}

HRESULT CDirectSound::ProbeDevices()
{
    m_captureDevices.clear();
    m_playbackDevices.clear();
    for (ListedDevice& d : ListDevices(false)) {
        if (!d.hasGuid)
            continue;
        unsigned& mask = m_playbackDevices[d.guid];
        mask = 0;
        for (const unsigned bit : {kMask44100x16, kMask48000x16}) {
            IDirectSound* ds = nullptr;
            if (FAILED(DirectSoundCreate(&d.guid, &ds, nullptr)))
                break;
            WAVEFORMATEX format;
            const HRESULT hr = DescribeFormat(bit, &format);
            if (FAILED(hr)) {
                ds->Release();
                m_errors.AddFormat(IDS_DSOUND_PROBE_ERROR, Hex(hr));
                return hr;
            }
            DSBUFFERDESC desc = PlaybackDesc(&format, format.nBlockAlign * kProbeFrames);
            IDirectSoundBuffer* buffer = nullptr;
            if (SUCCEEDED(ds->CreateSoundBuffer(&desc, &buffer, nullptr))) {
                mask |= bit;
                buffer->Release();
            }
            ds->Release();
        }
    }
    return S_OK;
}

HRESULT CDirectSound::Open()
{
    MV_ASSERT_UI_THREAD();
    if (m_open)
        return S_FALSE;
    if (!m_enumerated) {
        m_enumerated = true;
        ProbeDevices();
    }
    const char* stored = CAppConfig::GetDSoundOutput();
    if (stored[0] && !mvwin::GuidFromString(stored, m_outputId))
        return E_INVALIDARG;
    m_outputName = DescriptionOf(m_outputId);
    if (!m_event)
        m_event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!m_event)
        return E_OUTOFMEMORY;
    m_open = true;
    return S_OK;
}

HRESULT CDirectSound::Close(int)
{
    MV_ASSERT_UI_THREAD();
    m_open = false;
    if (m_buffer) {
        const HRESULT hr = StopAndReleaseBuffers(*this);
        if (FAILED(hr))
            return hr;
    }
    ReleaseBuffers();
    if (m_event) {
        CloseHandle(m_event);
        m_event = nullptr;
    }
    return S_OK;
}

HRESULT CDirectSound::SetWindow(HWND window)
{
    m_window = window;
    return S_OK;
}

HRESULT CDirectSound::CreateOutputObject()
{
    HRESULT hr = DirectSoundCreate(&m_outputId, &m_directSound, nullptr);
    if (SUCCEEDED(hr))
        return hr;
    m_errors.AddFormat(IDS_DSOUND_OPEN_OUTPUT, m_outputName.Str().c_str());
    m_outputId = DSDEVID_DefaultPlayback;
    m_outputName = DescriptionOf(m_outputId);
    hr = DirectSoundCreate(&m_outputId, &m_directSound, nullptr);
    if (FAILED(hr)) {
        m_errors.AddFormat(IDS_DSOUND_OPEN_DEFAULT, Hex(hr));
        return hr;
    }
    CAppConfig::SetDSoundOutput(mvwin::GuidToString(DSDEVID_DefaultPlayback).c_str());
    return hr;
}

HRESULT CDirectSound::CreateOutputBuffer()
{
    const DWORD halfBytes = m_format.nBlockAlign * static_cast<DWORD>(m_bufferFrames);
    DSBUFFERDESC desc = PlaybackDesc(&m_format, 2 * halfBytes);
    HRESULT hr = m_directSound->CreateSoundBuffer(&desc, &m_buffer, nullptr);
    if (FAILED(hr)) {
        m_errors.AddFormat(IDS_DSOUND_CREATE_BUFFER, Hex(hr));
        return hr;
    }
    hr = m_buffer->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(&m_notify));
    if (FAILED(hr)) {
        m_errors.AddFormat(IDS_DSOUND_NOTIFICATION, Hex(hr));
        return hr;
    }
    m_positions.reset(new (std::nothrow) DSBPOSITIONNOTIFY[2]);
    if (!m_positions)
        return E_OUTOFMEMORY;
    m_positions[0] = {halfBytes - 1, m_event};
    m_positions[1] = {2 * halfBytes - 1, m_event};
    hr = m_notify->SetNotificationPositions(2, m_positions.get());
    if (FAILED(hr))
        m_errors.AddFormat(IDS_DSOUND_NOTIFICATION, Hex(hr));
    return hr;
}

HRESULT CDirectSound::SetFormat(int sampleRate, unsigned short bitsPerSample, int bufferFrames)
{
    MV_ASSERT_UI_THREAD();
    // Buffers that exist stay as they are (and no second device object is made).
    if (m_buffer && m_notify)
        return S_OK;
    const int minimumFrames = sampleRate / 100;
    m_bufferFrames = bufferFrames <= minimumFrames ? minimumFrames : bufferFrames;
    if (!m_directSound) {
        const HRESULT hr = CreateOutputObject();
        if (FAILED(hr))
            return hr;
    }
    HRESULT hr = m_directSound->SetCooperativeLevel(m_window, DSSCL_PRIORITY);
    if (FAILED(hr)) {
        m_errors.AddFormat(IDS_DSOUND_COOPERATIVE_LEVEL, Hex(hr));
        return hr;
    }
    m_format = MakeDeviceFormat(sampleRate, bitsPerSample, m_mode24);
    return CreateOutputBuffer();
}

HRESULT CDirectSound::Set24BitMode(unsigned short mode)
{
    m_mode24 = mode;
    return S_OK;
}

HRESULT CDirectSound::ReleaseBuffers()
{
    MV_ASSERT_UI_THREAD();
    // Never leave a buffer playing for a thread that outlives it here.
    if (IsPlaying())
        Stop();
    if (m_notify) {
        m_notify->Release();
        m_notify = nullptr;
    }
    if (m_buffer) {
        m_buffer->Release();
        m_buffer = nullptr;
    }
    if (m_directSound) {
        m_directSound->Release();
        m_directSound = nullptr;
    }
    m_positions.reset();
    return S_OK;
}

HRESULT CDirectSound::GetBufferBytes(unsigned* bytes)
{
    if (!bytes)
        return E_POINTER;
    *bytes = m_format.nBlockAlign * static_cast<unsigned>(m_bufferFrames);
    return S_OK;
}

bool CDirectSound::IsPlaying() const
{
    DWORD status = 0;
    return m_buffer && SUCCEEDED(m_buffer->GetStatus(&status)) && (status & DSBSTATUS_PLAYING);
}

HRESULT CDirectSound::Start()
{
    MV_ASSERT_UI_THREAD();
    if (!m_buffer) {
        m_errors.AddFormat(IDS_DSOUND_PLAY_FAILED, 0ul);
        return E_FAIL;
    }
    if (IsPlaying())
        return S_FALSE;
    // Two threads must never be inside the per-buffer entry at once.
    if (m_thread.StillRunning()) {
        m_errors.AddFormat(IDS_DSOUND_PLAY_FAILED, Hex(kThreadDidNotEnd));
        return kThreadDidNotEnd;
    }
    const DWORD halfBytes = m_format.nBlockAlign * static_cast<DWORD>(m_bufferFrames);
    auto state = std::make_shared<ThreadState>(m_owner, m_buffer, m_event, halfBytes);
    if (!m_thread.Create(AudioThread, state)) {
        m_errors.AddFormat(IDS_DSOUND_PLAY_FAILED, Hex(E_FAIL));
        return E_FAIL;
    }
    m_threadState = state;

    void* region = nullptr;
    DWORD bytes = 0;
    HRESULT hr = m_buffer->Lock(0, 2 * halfBytes, &region, &bytes, nullptr, nullptr, 0);
    if (SUCCEEDED(hr)) {
        std::memset(region, 0, bytes);
        hr = m_buffer->Unlock(region, bytes, nullptr, 0);
    }
    state->nextHalf = 0;
    if (SUCCEEDED(hr))
        hr = m_buffer->Play(0, 0, DSBPLAY_LOOPING);
    if (FAILED(hr)) {
        m_errors.AddFormat(IDS_DSOUND_PLAY_FAILED, Hex(hr));
        m_thread.Resume();
        m_thread.Stop(m_threadState, m_threadStopWaitMs);
        return hr;
    }
    m_thread.Resume();
    return S_OK;
}

HRESULT CDirectSound::Stop()
{
    MV_ASSERT_UI_THREAD();
    if (!m_buffer)
        return E_FAIL;
    if (!IsPlaying())
        return S_FALSE;
    HRESULT result = S_OK;
    if (!m_thread.Stop(m_threadState, m_threadStopWaitMs)) {
        // Still inside the per-buffer entry: the thread keeps its handle
        // and its own reference to the buffer until it returns.
        m_errors.AddFormat(IDS_DSOUND_STOP_FAILED, Hex(kThreadDidNotEnd));
        result = kThreadDidNotEnd;
    }
    const HRESULT hr = m_buffer->Stop();
    if (FAILED(hr)) {
        m_errors.AddFormat(IDS_DSOUND_STOP_FAILED, Hex(hr));
        return hr;
    }
    return result;
}

HRESULT CDirectSound::Pause()
{
    if (!m_buffer) {
        m_errors.AddFormat(IDS_DSOUND_PAUSE_UNEXPECTED);
        return E_FAIL;
    }
    if (!IsPlaying())
        return S_FALSE;
    const HRESULT hr = m_buffer->Stop();
    if (FAILED(hr))
        m_errors.AddFormat(IDS_DSOUND_PAUSE_FAILED, Hex(hr));
    return hr;
}

HRESULT CDirectSound::Resume()
{
    if (!m_buffer) {
        m_errors.AddFormat(IDS_DSOUND_RESUME_UNEXPECTED);
        return E_FAIL;
    }
    if (IsPlaying())
        return S_FALSE;
    const HRESULT hr = m_buffer->Play(0, 0, DSBPLAY_LOOPING);
    if (FAILED(hr))
        m_errors.AddFormat(IDS_DSOUND_RESUME_FAILED, Hex(hr));
    return hr;
}

WAVEFORMATEX* CDirectSound::GetWaveFormat() { return &m_format; }

HRESULT CDirectSound::GetPortInfo(GUID* id, CString* name, int direction, unsigned* mask, int*)
{
    if (!id && !name)
        return E_INVALIDARG;
    const bool input = direction == kAudioInput;
    const GUID& port = input ? m_inputId : m_outputId;
    if (id)
        *id = port;
    if (name)
        *name = input ? m_inputName : m_outputName;
    if (mask) {
        const std::map<GUID, unsigned>& masks = input ? m_captureDevices : m_playbackDevices;
        const auto it = masks.find(port);
        *mask = it != masks.end() ? it->second : kMask44100x16;
    }
    return S_OK;
}

HRESULT CDirectSound::SetPort(const GUID* id, const char* name, int direction)
{
    const GUID port = id ? *id : GUID_NULL;
    const std::string text = mvwin::GuidToString(port);
    if (direction == kAudioInput) {
        m_inputId = port;
        m_inputName = CString(name ? name : "");
        CAppConfig::SetDSoundInput(text.c_str());
    } else {
        m_outputId = port;
        m_outputName = CString(name ? name : "");
        CAppConfig::SetDSoundOutput(text.c_str());
    }
    return S_OK;
}

HRESULT CDirectSound::GetErrorList(std::vector<CString>* errors) { return m_errors.Take(errors); }
