#include "devices/CFileAudioDevice.h"

#include <algorithm>
#include <thread>

#include "devices/CAudioFileWriter.h"
#include "devices/IEngineOwner.h"
#include "platform/sync/ThreadAffinity.h"

namespace {

constexpr char kPortName[] = "Audio File";

}  // namespace

CFileAudioDevice::CFileAudioDevice(IEngineOwner* owner, CAudioFileWriter* writer, bool floatOutput)
    : m_owner(owner), m_writer(writer), m_floatOutput(floatOutput)
{
}

CFileAudioDevice::~CFileAudioDevice() { Close(FALSE); }

HRESULT CFileAudioDevice::EnumPorts(IEnumAudioDeviceCallback* callback, int isInput)
{
    if (!callback)
        return E_POINTER;
    if (isInput == kAudioOutput)
        callback->AddPort(&GUID_NULL, kPortName, 0, "", nullptr);
    return S_OK;
}

HRESULT CFileAudioDevice::Open()
{
    if (!m_owner || !m_writer)
        return E_UNEXPECTED;
    const bool wasOpen = m_open;
    m_open = true;
    return wasOpen ? S_FALSE : S_OK;
}

HRESULT CFileAudioDevice::Close(int)
{
    Stop();
    ReleaseBuffers();
    m_open = false;
    return S_OK;
}

HRESULT CFileAudioDevice::SetFormat(int sampleRate, unsigned short bitsPerSample, int bufferFrames)
{
    if (sampleRate < 1 || bufferFrames < 1)
        return E_INVALIDARG;
    m_format = MakeDeviceFormat(sampleRate, bitsPerSample, m_mode24);
    m_frameBytes = m_floatOutput ? 8 : DeviceFrameBytes(bitsPerSample, m_mode24);
    m_blockFrames = bufferFrames;
    m_buffer.assign(static_cast<std::size_t>(bufferFrames) * static_cast<std::size_t>(m_frameBytes), 0);
    return S_OK;
}

HRESULT CFileAudioDevice::Set24BitMode(unsigned short mode)
{
    if (mode > kMax24BitMode)
        return E_INVALIDARG;
    m_mode24 = mode;
    return S_OK;
}

HRESULT CFileAudioDevice::ReleaseBuffers()
{
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    m_blockFrames = 0;
    return S_OK;
}

HRESULT CFileAudioDevice::GetBufferBytes(unsigned* bytes)
{
    if (!bytes)
        return E_POINTER;
    *bytes = static_cast<unsigned>(m_buffer.size());
    return m_buffer.empty() ? E_UNEXPECTED : S_OK;
}

HRESULT CFileAudioDevice::Start()
{
    if (!m_open || m_buffer.empty())
        return E_UNEXPECTED;
    m_started = true;
    return S_OK;
}

HRESULT CFileAudioDevice::Stop()
{
    m_started = false;
    return S_OK;
}

HRESULT CFileAudioDevice::GetPortInfo(GUID* id, CString* name, int, unsigned* mask, int* limits)
{
    // No mask and no limits: the device takes what the export asks for.
    return DescribeSinglePort(id, name, kPortName, mask, 0, limits, 0);
}

HRESULT CFileAudioDevice::GetErrorList(std::vector<CString>* errors)
{
    if (!errors)
        return E_POINTER;
    *errors = std::move(m_errors);
    m_errors.clear();
    return S_OK;
}

HRESULT CFileAudioDevice::Render(LONGLONG frames, const Progress& progress)
{
    if (!m_started || m_blockFrames < 1)
        return E_UNEXPECTED;
    if (frames < 0)
        return E_INVALIDARG;
    HRESULT hr = S_OK;
    std::thread([&] {
        mv::MarkCurrentThread(mv::ThreadRole::Audio);
        hr = RenderOnThisThread(frames, progress);
    }).join();
    return hr;
}

HRESULT CFileAudioDevice::RenderOnThisThread(LONGLONG frames, const Progress& progress)
{
    const UINT blockBytes = static_cast<UINT>(m_buffer.size());
    LONGLONG done = 0;
    while (done < frames) {
        if (m_cancel)
            return E_ABORT;
        // Whole blocks, as a sound card takes them; the last is cut short in
        // the file only.
        HRESULT hr = m_owner->ProcessBuffer(m_buffer.data(), nullptr, blockBytes, m_blockFrames);
        if (FAILED(hr))
            return hr;
        const int keep = static_cast<int>(std::min<LONGLONG>(m_blockFrames, frames - done));
        if (FAILED(hr = m_writer->Write(m_buffer.data(), keep)))
            return hr;
        done += keep;
        if (progress && !progress(static_cast<double>(done) / static_cast<double>(frames)))
            m_cancel = true;
    }
    return m_cancel ? E_ABORT : S_OK;
}
