// The audio device of an export: instead of a sound card it hands every
// buffer the engine renders to a file writer. It stands in the engine
// owner's device list like any back-end (opened, formatted, started by the
// same reset), and Render then pulls the song through the engine owner's
// per-buffer entry, block after block, as fast as the machine allows, on a
// render thread of its own, and hands each block to the writer.
//
// Threads: the UI thread calls everything; Render blocks it until the render
// thread is done. The render thread calls the per-buffer entry (as a
// back-end's audio thread does), then writes the block to the file outside
// that entry, and reports progress. Cancel may be called from any thread,
// the progress callback too.
#pragma once

#include <atomic>
#include <functional>
#include <vector>

#include "devices/IAudioDevice.h"

class CAudioFileWriter;
class IEngineOwner;

class CFileAudioDevice : public IAudioDevice {
public:
    // Called on the render thread after each block with the fraction done
    // (0..1); false cancels as Cancel does.
    using Progress = std::function<bool(double fraction)>;

    // `writer` (not owned) takes the blocks; floatOutput: the engine renders
    // floats (8 bytes a frame) rather than the integer layout of SetFormat.
    CFileAudioDevice(IEngineOwner* owner, CAudioFileWriter* writer, bool floatOutput);
    ~CFileAudioDevice() override;

    // ---- IAudioDevice ----
    // One output port, "Audio File".
    HRESULT EnumPorts(IEnumAudioDeviceCallback* callback, int isInput) override;
    HRESULT Open() override;
    HRESULT Close(int unloadDriver) override;
    HRESULT SetWindow(HWND) override { return S_OK; }
    // Allocates the one block buffer. E_INVALIDARG for a rate or block below 1.
    HRESULT SetFormat(int sampleRate, unsigned short bitsPerSample, int bufferFrames) override;
    HRESULT Set24BitMode(unsigned short mode) override;
    HRESULT ReleaseBuffers() override;
    HRESULT GetBufferBytes(unsigned* bytes) override;
    // Arms the device: Render may run. Nothing streams by itself.
    HRESULT Start() override;
    HRESULT Stop() override;
    HRESULT Pause() override { return S_OK; }
    HRESULT Resume() override { return S_OK; }
    WAVEFORMATEX* GetWaveFormat() override { return &m_format; }
    HRESULT GetPortInfo(GUID* id, CString* name, int direction, unsigned* mask, int* limits) override;
    HRESULT SetPort(const GUID*, const char*, int) override { return S_OK; }
    HRESULT GetErrorList(std::vector<CString>* errors) override;

    // ---- The render ----
    // Renders `frames` frames through the engine owner and the writer, whole
    // blocks at a time (the last block is cut to what remains). S_OK when
    // all were written; E_ABORT when cancelled (within one block);
    // E_UNEXPECTED when the device is not started; else the first failure
    // of the per-buffer entry or of the writer.
    HRESULT Render(LONGLONG frames, const Progress& progress);
    // Any thread: the render stops after the block in hand; a render not yet
    // begun stops before its first (the device stays cancelled).
    void Cancel() { m_cancel = true; }
    int GetBlockFrames() const { return m_blockFrames; }

private:
    HRESULT RenderOnThisThread(LONGLONG frames, const Progress& progress);

    IEngineOwner* m_owner;
    CAudioFileWriter* m_writer;
    bool m_floatOutput;
    bool m_open = false;
    bool m_started = false;
    std::atomic<bool> m_cancel{false};
    unsigned short m_mode24 = 0;
    int m_blockFrames = 0;
    int m_frameBytes = 4;
    WAVEFORMATEX m_format{};
    std::vector<unsigned char> m_buffer;
    std::vector<CString> m_errors;
};
