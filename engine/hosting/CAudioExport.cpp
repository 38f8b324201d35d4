#include "engine/hosting/CAudioExport.h"

#include <cmath>

#include "devices/CAudioFileWriter.h"
#include "engine/CTransport.h"
#include "engine/graph/CDxFilterGraph.h"
#include "engine/hosting/CMidiDoc.h"
#include "platform/sync/ThreadAffinity.h"

namespace {

// The block of a render when the engine has none yet.
constexpr int kFallbackBlockFrames = 1024;

}  // namespace

CAudioExport::CAudioExport(CTransport* transport, CMidiDoc* document) : m_transport(transport), m_document(document)
{
}

void CAudioExport::Cancel()
{
    m_cancel = true;
    if (CFileAudioDevice* device = m_device.load())
        device->Cancel();
}

HRESULT CAudioExport::MeasureSpan(const CExportOptions& options, LONG loopStart, LONG loopEnd, LONG* startTick,
                                  LONGLONG* frames)
{
    LONG endTick = 0;
    if (options.loopedRegionOnly) {
        *startTick = loopStart;
        endTick = loopEnd;
    } else {
        *startTick = 0;
        HRESULT hr = m_document->RecalcSongLength();
        if (FAILED(hr))
            return hr;
        endTick = m_document->GetSongEnd();
    }
    LONGLONG first = 0, last = 0;
    HRESULT hr = m_transport->TicksToSamples(*startTick, &first);
    if (SUCCEEDED(hr))
        hr = m_transport->TicksToSamples(endTick, &last);
    if (FAILED(hr))
        return hr;
    LONGLONG tail = 0;
    if (!options.loopedRegionOnly && options.tailsOn)
        tail = std::llround(options.tailSeconds * static_cast<double>(options.sampleRate));
    *frames = last - first + tail;
    return *frames > 0 ? S_OK : E_UNEXPECTED;
}

HRESULT CAudioExport::Run(const char* path, const CExportOptions& options,
                          const CFileAudioDevice::Progress& progress)
{
    MV_ASSERT_UI_THREAD();
    if (!path || FAILED(options.Validate()))
        return E_INVALIDARG;
    if (!m_transport || !m_document || !m_transport->GetFilterGraph())
        return E_UNEXPECTED;
    m_cancel = false;

    int block = m_blockFrames > 0 ? m_blockFrames : static_cast<int>(m_transport->GetFilterGraph()->GetBlockFrames());
    if (block < 1)
        block = kFallbackBlockFrames;
    CAudioFileWriter writer;
    HRESULT hr = writer.Open(path, options, block);
    if (FAILED(hr))
        return hr;

    // What the user set up comes back after the render.
    const BOOL loopOn = m_transport->IsLoopOn(false) ? TRUE : FALSE;
    const LONG loopStart = m_transport->GetLoopStart(false);
    const LONG loopEnd = m_transport->GetLoopEnd(false);
    const BOOL metronomeOn = m_transport->IsMetronomeOn();
    const LONG position = m_transport->GetPlayPosition();

    const CAudioFileWriter::Layout layout = CAudioFileWriter::DeviceLayout(options);
    CFileAudioDevice device(m_transport, &writer, layout.floatOutput);
    m_transport->SetMetronomeOn(FALSE);
    // The song runs straight through; a looped export renders the region once.
    if (loopOn)
        hr = m_transport->SetLoopOn(FALSE, FALSE);
    if (SUCCEEDED(hr))
        hr = m_transport->BeginOfflineRender(&device, static_cast<int>(options.sampleRate), layout.bits, layout.mode24,
                                             layout.floatOutput, block);
    LONG startTick = 0;
    LONGLONG frames = 0;
    if (SUCCEEDED(hr))
        hr = MeasureSpan(options, loopStart, loopEnd, &startTick, &frames);
    if (SUCCEEDED(hr))
        hr = m_transport->Locate(startTick);
    if (SUCCEEDED(hr))
        hr = m_transport->Play();
    if (SUCCEEDED(hr)) {
        m_device = &device;
        hr = m_cancel ? E_ABORT : device.Render(frames, progress);
        m_device = nullptr;
    }

    const HRESULT ended = m_transport->EndOfflineRender();
    if (SUCCEEDED(hr) && FAILED(ended))
        hr = ended;
    if (loopOn)
        m_transport->SetLoop(loopStart, loopEnd, TRUE);
    m_transport->SetMetronomeOn(metronomeOn);
    m_transport->Locate(position);

    if (FAILED(hr)) {
        writer.Abort();
        return hr;
    }
    return writer.Commit();
}
