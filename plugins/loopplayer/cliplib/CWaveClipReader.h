// Reads a loop clip's RIFF/WAVE file: the format, the data chunk, the
// descriptive INFO texts, the loop information of an "acid" chunk and the
// slice positions of a "strc" chunk; afterwards serves the data chunk's
// bytes. The clip loader builds a clip and its slices from what it finds.
//
// Optional chunks are searched only after the data chunk. Every chunk must
// lie inside the RIFF chunk and the RIFF chunk inside the file; a format the
// loop clips cannot carry (no channels or more than two, a zero block align
// or one too small for a frame, no rate) is refused before anything is read
// from the data, and reads never pass the data chunk's end. On a refusal
// Open answers E_FAIL and GetError says why with an mmio error code.
//
// One thread at a time (the UI thread, or a plug-in's control thread).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/media/MediaTypes.h"
#include "platform/mmio/Mmio.h"

class CWaveClipReader {
public:
    static constexpr int kInfoSlots = 100;
    static constexpr int kInfoIds = 23;
    static constexpr WORD kMaxChannels = 2;

    struct InfoEntry {
        MMCKINFO chunk{};
        std::string text;
        const char* label = nullptr;  // null for an empty slot
    };

    // Labels for showing a clip's properties.
    static const char* const kKeyNames[13];
    static const char* const kNoteValueNames[7];
    static const char* const kLoopTypeNames[4];
    static const char* const kStretchModeNames[3];

    CWaveClipReader() = default;
    ~CWaveClipReader();
    CWaveClipReader(const CWaveClipReader&) = delete;
    CWaveClipReader& operator=(const CWaveClipReader&) = delete;

    // 0, or E_FAIL with the reason in GetError; the file is closed on failure.
    HRESULT Open(const char* path);
    HRESULT Open(const std::string& path) { return Open(path.c_str()); }
    void Close();

    // Positions the reads at a frame of the data chunk: 0, or E_FAIL with
    // error 263.
    HRESULT SeekFrame(DWORD frame);
    // Up to bytes of the data chunk from the read position; the bytes read,
    // 0 at the end or on an error (261).
    LONG Read(void* buffer, LONG bytes);

    // kind 2: data size in bytes; 3: frames; else 0.
    DWORD GetValue(int kind) const;
    // The slice's (start, length) in frames, (0, 0) out of range.
    std::pair<DWORD, DWORD> GetSlice(int index) const;
    int GetSliceCount() const { return int(m_slices.size()); }

    MMRESULT GetError() const { return m_error; }
    const std::string& GetPath() const { return m_path; }
    // The whole format record: 18 bytes and the extra bytes after them.
    const WAVEFORMATEX* GetFormat() const;
    const std::vector<BYTE>& GetFormatBytes() const { return m_format; }
    WORD GetChannels() const { return m_channels; }
    DWORD GetSampleRate() const { return m_sampleRate; }
    DWORD GetAvgBytesPerSec() const { return m_avgBytesPerSec; }
    WORD GetBlockAlign() const { return m_blockAlign; }
    WORD GetBytesPerSample() const { return m_bytesPerSample; }
    DWORD GetDataSize() const { return m_dataSize; }
    DWORD GetFrames() const { return m_frames; }
    float GetSeconds() const { return m_seconds; }
    DWORD GetMilliseconds() const { return m_milliseconds; }

    const InfoEntry& GetInfo(int slot) const { return m_info[slot]; }

    bool IsWave() const { return m_isWave; }
    bool HasAcid() const { return m_hasAcid; }
    bool HasStrc() const { return m_hasStrc; }
    DWORD GetAcidSize() const { return m_acidSize; }
    bool IsLooping() const { return m_looping; }
    bool IsRootNoteSet() const { return m_rootNoteSet; }
    bool IsStretch() const { return m_stretch; }
    bool IsDiskBased() const { return m_diskBased; }
    WORD GetRootNote() const { return m_rootNote; }
    DWORD GetBeats() const { return m_beats; }
    float GetTempo() const { return m_tempo; }
    DWORD GetStrcValue(int i) const { return m_strcValues[i]; }
    const std::vector<BYTE>& GetAcidChunk() const { return m_acidChunk; }
    const std::vector<BYTE>& GetStrcChunk() const { return m_strcChunk; }

private:
    void Reset();
    HRESULT Fail(MMRESULT error);
    // A found chunk must end inside its parent (the RIFF chunk, or the file).
    bool Inside(const MMCKINFO& ck, const MMCKINFO& parent) const;
    HRESULT ReadFormat();
    HRESULT ReadData();
    HRESULT ReadInfo();
    HRESULT ReadAcid();
    HRESULT ReadStrc();
    bool ReadWhole(const MMCKINFO& ck, std::vector<BYTE>& out);

    std::string m_path;
    HMMIO m_mmio = nullptr;
    MMRESULT m_error = 0;
    long long m_fileSize = 0;
    MMCKINFO m_riff{}, m_fmt{}, m_data{}, m_list{}, m_acid{}, m_strc{};
    std::vector<BYTE> m_format;
    WORD m_channels = 0;
    DWORD m_sampleRate = 0;
    DWORD m_avgBytesPerSec = 0;
    WORD m_blockAlign = 0;
    WORD m_bytesPerSample = 0;
    DWORD m_dataSize = 0;
    DWORD m_frames = 0;
    float m_seconds = 0;
    DWORD m_milliseconds = 0;
    DWORD m_dataLeft = 0;  // bytes of the data chunk after the read position
    std::vector<InfoEntry> m_info = std::vector<InfoEntry>(kInfoSlots);
    bool m_isWave = false;
    bool m_hasAcid = false;
    bool m_hasStrc = false;
    DWORD m_acidSize = 0;
    bool m_looping = false;
    bool m_rootNoteSet = false;
    bool m_stretch = false;
    bool m_diskBased = false;
    WORD m_rootNote = 0;
    DWORD m_beats = 0;
    float m_tempo = 0;
    DWORD m_strcValues[3] = {};
    std::vector<BYTE> m_acidChunk;
    std::vector<BYTE> m_strcChunk;
    std::vector<std::pair<DWORD, DWORD>> m_slices;
};
