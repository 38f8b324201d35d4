// Writes an exported song, block by block, as a WAV file (libsndfile: 16,
// 24 or 32-bit integers, 32-bit floats) or an MP3 file (LAME: bit rate,
// quality, stereo mode with mid/side, low- and high-pass filters, an ID3
// tag with the seven texts, v1 and v2).
//
// The blocks come in the layout a device of the export's format takes
// (DeviceLayout): what the engine renders for a sound card of that format is
// what lands in the file. The file is written under a temporary name in the
// target's folder and renamed over the target only when Commit finished
// the whole file; any failure, Abort and the destructor remove the
// temporary file, so an existing file is replaced only by a complete one.
//
// Threads: one thread at a time. Write does file I/O: the file device calls
// it from its own render thread, outside the engine's per-buffer entry.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "devices/CExportOptions.h"
#include "platform/win/WinTypes.h"

struct sf_private_tag;
struct lame_global_struct;

class CAudioFileWriter {
public:
    // The device layout of the export's blocks: integer width and 24-bit
    // mode for WAV files of 16, 24 or 32 bits, floats for float WAV and MP3.
    struct Layout {
        unsigned short bits = 16;
        unsigned short mode24 = 0;
        bool floatOutput = false;
        // Bytes of one stereo frame.
        int frameBytes = 4;
    };
    static Layout DeviceLayout(const CExportOptions& options);

    CAudioFileWriter() = default;
    ~CAudioFileWriter();
    CAudioFileWriter(const CAudioFileWriter&) = delete;
    CAudioFileWriter& operator=(const CAudioFileWriter&) = delete;

    // Creates the temporary file beside `path` and starts the encoder.
    // E_INVALIDARG for options that do not validate or a null or empty path;
    // STG_E_WRITEFAULT when the file cannot be made (folder missing or not
    // writable); E_FAIL when the encoder refuses the settings. Nothing is
    // left on disk after a failure. E_UNEXPECTED while a file is open.
    HRESULT Open(const char* path, const CExportOptions& options, int maxFrames);
    // `frames` stereo frames in the device layout (at most maxFrames).
    // STG_E_WRITEFAULT when the disk refuses them (full disk, file size
    // limit); the file is then useless and is removed by Abort or Commit.
    HRESULT Write(const void* data, int frames);
    // Finishes the file (encoder flush, tags, header) and renames it over
    // the target. STG_E_WRITEFAULT, with the temporary file removed and the
    // target as it was, when any step failed; E_UNEXPECTED when none is open.
    HRESULT Commit();
    // Removes the temporary file; nothing when none is open.
    void Abort();

    bool IsOpen() const { return m_fd >= 0; }
    const std::string& GetTempPath() const { return m_tempPath; }
    LONGLONG GetFramesWritten() const { return m_frames; }

private:
    HRESULT OpenWav();
    HRESULT OpenMp3();
    HRESULT WriteWav(const void* data, int frames);
    HRESULT WriteMp3(const void* data, int frames);
    HRESULT FinishWav();
    HRESULT FinishMp3();
    // Writes all bytes of the encoder's output; false when the disk refused.
    bool WriteEncoded(const unsigned char* bytes, int count);
    void CloseHandles();

    CExportOptions m_options;
    Layout m_layout;
    std::string m_path;
    std::string m_tempPath;
    int m_fd = -1;
    bool m_failed = false;
    LONGLONG m_frames = 0;
    sf_private_tag* m_sndfile = nullptr;
    lame_global_struct* m_lame = nullptr;
    std::FILE* m_file = nullptr;
    // Preallocated at Open: the unpacked 24-bit words, the encoder's output.
    std::vector<int> m_words;
    std::vector<unsigned char> m_encoded;
};
