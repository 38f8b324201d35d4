#include "devices/CMidiSyncGen.h"

#include <cmath>

#include "devices/CMidiSyncGuard.h"
#include "devices/IMidiSyncDocument.h"
#include "model/CKelPersistArchive.h"
#include "platform/sync/ThreadAffinity.h"

CMidiSyncGen::CMidiSyncGen(IMidiSyncHost* host) : CKelPersistObject(MakeKelVersionWord(kMajor, 0)), m_host(host) {}

CMidiSyncGen::~CMidiSyncGen()
{
    Stop();
    if (m_host)
        m_host->ScheduleClockTick(this, false);
    std::lock_guard<std::mutex> lock(m_portLock);
    if (m_handle)
        midiOutClose(m_handle);
    m_handle = nullptr;
}

LONG CMidiSyncGen::ClockAt(LONG ticks) const
{
    return static_cast<LONG>(std::trunc(static_cast<double>(ticks) * m_clocksPerTick + 0.5));
}

bool CMidiSyncGen::IsPortOpen()
{
    std::lock_guard<std::mutex> lock(m_portLock);
    return m_handle != nullptr;
}

HRESULT CMidiSyncGen::SendOnce(DWORD message)
{
    std::lock_guard<std::mutex> lock(m_portLock);
    if (message == m_lastMessage)
        return S_FALSE;
    if (!m_handle)
        return S_FALSE;
    if (midiOutShortMsg(m_handle, message) != MMSYSERR_NOERROR)
        return E_FAIL;
    m_lastMessage = message;
    return S_OK;
}

HRESULT CMidiSyncGen::SendSongPosition(LONG clockPosition)
{
    const DWORD beats = static_cast<DWORD>(clockPosition / 6);
    return SendOnce(kSongPosition | (beats & 127) << 8 | ((beats >> 7) & 127) << 16);
}

HRESULT CMidiSyncGen::SendStartOrContinue()
{
    const bool start = m_startNeverContinue || m_host->GetSyncNowTicks() == 0;
    return SendOnce(start ? kStart : kContinue);
}

HRESULT CMidiSyncGen::ClosePort()
{
    std::lock_guard<std::mutex> lock(m_portLock);
    if (m_handle && midiOutClose(m_handle) != MMSYSERR_NOERROR)
        return E_FAIL;
    m_handle = nullptr;
    m_lastMessage = 0;
    return S_OK;
}

HRESULT CMidiSyncGen::Restart(IMidiSyncDocument* document)
{
    MV_ASSERT_UI_THREAD();
    Stop();
    m_repositionPending = 1;
    m_document = document;
    if (m_document && m_document->GetSendMidiSync())
        return Start();
    return S_OK;
}

HRESULT CMidiSyncGen::Start()
{
    MV_ASSERT_UI_THREAD();
    if (!m_document)
        return E_ACCESSDENIED;
    const LONG tpq = m_document->GetTicksPerQuarter();
    m_ticksPerQuarter = tpq > 0 ? tpq : 960;
    m_clocksPerTick = 24.0 / m_ticksPerQuarter;
    m_clockPosition = ClockAt(m_host->GetSyncNowTicks());
    {
        std::lock_guard<std::mutex> lock(m_portLock);
        if (!m_handle &&
            midiOutOpen(&m_handle, static_cast<UINT>(m_deviceId), 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
            m_handle = nullptr;
            return E_FAIL;
        }
    }
    m_running = 1;
    if (m_host->IsSyncPlaying() && (m_repositionPending || CMidiSyncGuard::OpenCount() == 0)) {
        HRESULT hr = SendOnce(kStop);
        if (SUCCEEDED(hr) && m_sendSongPosition)
            hr = SendSongPosition(m_clockPosition);
        if (SUCCEEDED(hr))
            hr = SendStartOrContinue();
        if (FAILED(hr))
            return hr;
    }
    m_host->ScheduleClockTick(this, true);
    m_repositionPending = 0;
    return S_OK;
}

HRESULT CMidiSyncGen::Stop()
{
    MV_ASSERT_UI_THREAD();
    // Returns after a tick in progress; a later tick finds the generator
    // stopped under the port lock.
    m_host->ScheduleClockTick(this, false);
    m_running = 0;
    if (CMidiSyncGuard::OpenCount() == 0)
        return ClosePort();
    return S_OK;
}

HRESULT CMidiSyncGen::SetSendSPP(int send)
{
    MV_ASSERT_UI_THREAD();
    CMidiSyncGuard guard(this);
    m_sendSongPosition = send ? 1 : 0;
    m_repositionPending = 1;
    std::lock_guard<std::mutex> lock(m_portLock);
    m_lastMessage = 0;
    return S_OK;
}

HRESULT CMidiSyncGen::SetStartNeverContinue(int never)
{
    MV_ASSERT_UI_THREAD();
    CMidiSyncGuard guard(this);
    m_startNeverContinue = never ? 1 : 0;
    m_repositionPending = 1;
    std::lock_guard<std::mutex> lock(m_portLock);
    m_lastMessage = 0;
    return S_OK;
}

HRESULT CMidiSyncGen::SetOutputPort(int deviceId)
{
    MV_ASSERT_UI_THREAD();
    CMidiSyncGuard guard(this);
    HRESULT hr = ClosePort();
    if (FAILED(hr))
        return hr;
    if (deviceId < 0 || static_cast<UINT>(deviceId) >= midiOutGetNumDevs())
        return E_INVALIDARG;
    MIDIOUTCAPSA caps{};
    if (midiOutGetDevCapsA(static_cast<UINT>(deviceId), &caps, sizeof caps) != MMSYSERR_NOERROR)
        return E_UNEXPECTED;
    m_deviceId = deviceId;
    m_repositionPending = 1;
    std::lock_guard<std::mutex> lock(m_portLock);
    m_lastMessage = 0;
    return S_OK;
}

HRESULT CMidiSyncGen::Relocate()
{
    MV_ASSERT_UI_THREAD();
    if (!IsRunning())
        return S_FALSE;
    CMidiSyncGuard guard(this);
    LONG clock = ClockAt(m_host->GetSyncNowTicks());
    HRESULT hr = S_OK;
    if (m_sendSongPosition) {
        clock = (clock + 5) / 6 * 6;
        hr = SendSongPosition(clock);
    }
    m_clockPosition = clock;
    return hr;
}

HRESULT CMidiSyncGen::SendPositionAndStart()
{
    MV_ASSERT_UI_THREAD();
    if (!IsRunning())
        return S_FALSE;
    if (m_sendSongPosition) {
        const HRESULT hr = SendSongPosition(m_clockPosition);
        if (FAILED(hr))
            return hr;
    }
    return SendStartOrContinue();
}

HRESULT CMidiSyncGen::SendStop()
{
    MV_ASSERT_UI_THREAD();
    if (!IsRunning())
        return S_FALSE;
    return SendOnce(kStop);
}

void CMidiSyncGen::OnClockTick()
{
    const LONG target = ClockAt(m_host->GetSyncNowTicks());
    std::lock_guard<std::mutex> lock(m_portLock);
    if (!m_running.load() || !m_handle)
        return;
    // A position that moved backwards sends nothing until it passes the
    // clock position again. Send errors wait for the next tick.
    LONG position = m_clockPosition.load();
    while (position < target) {
        if (midiOutShortMsg(m_handle, kClock) != MMSYSERR_NOERROR)
            break;
        ++position;
    }
    m_clockPosition = position;
}

STDMETHODIMP CMidiSyncGen::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    MV_ASSERT_UI_THREAD();
    if (!archive)
        return E_POINTER;
    if (KelVersionMajor(versionWord) != kMajor || KelVersionIndex(versionWord) != 0)
        return KELPERSIST_E_UNKNOWNCHUNK;
    LONG sendSongPosition = m_sendSongPosition;
    LONG deviceId = m_deviceId;
    LONG never = m_startNeverContinue;
    HRESULT hr = archive->PersistBytes(sizeof sendSongPosition, &sendSongPosition);
    if (SUCCEEDED(hr))
        hr = archive->PersistBytes(sizeof deviceId, &deviceId);
    if (SUCCEEDED(hr))
        hr = archive->PersistBytes(sizeof never, &never);
    if (FAILED(hr) || archive->IsSaving())
        return hr;
    m_sendSongPosition = sendSongPosition ? 1 : 0;
    m_startNeverContinue = never ? 1 : 0;
    // A port this machine lacks leaves the generator silent, not the load
    // failed.
    SetOutputPort(deviceId);
    return S_OK;
}
