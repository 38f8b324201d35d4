#include "plugins/loopplayer/cliplib/CWaveClipReader.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

struct InfoId {
    FOURCC id;
    const char* label;
};

const InfoId kInfoTable[CWaveClipReader::kInfoIds] = {
    {mmioFOURCC('I', 'A', 'R', 'L'), "Archival Location:"}, {mmioFOURCC('I', 'A', 'R', 'T'), "Artist:"},
    {mmioFOURCC('I', 'C', 'M', 'S'), "Commisioned:"},       {mmioFOURCC('I', 'C', 'M', 'T'), "Comments:"},
    {mmioFOURCC('I', 'C', 'O', 'P'), "Copyright:"},         {mmioFOURCC('I', 'C', 'R', 'D'), "Created:"},
    {mmioFOURCC('I', 'C', 'R', 'P'), "Cropped:"},           {mmioFOURCC('I', 'D', 'I', 'M'), "Dimensions:"},
    {mmioFOURCC('I', 'D', 'P', 'I'), "Dots per Inch:"},     {mmioFOURCC('I', 'E', 'N', 'G'), "Engineer:"},
    {mmioFOURCC('I', 'G', 'N', 'R'), "Genre:"},             {mmioFOURCC('I', 'K', 'E', 'Y'), "Keywords:"},
    {mmioFOURCC('I', 'L', 'G', 'T'), "Lightness:"},         {mmioFOURCC('I', 'M', 'E', 'D'), "Medium:"},
    {mmioFOURCC('I', 'N', 'A', 'M'), "Name/Title:"},        {mmioFOURCC('I', 'P', 'L', 'T'), "Palette Setting:"},
    {mmioFOURCC('I', 'P', 'R', 'D'), "Product:"},           {mmioFOURCC('I', 'S', 'B', 'J'), "Subject:"},
    {mmioFOURCC('I', 'S', 'F', 'T'), "Software:"},          {mmioFOURCC('I', 'S', 'H', 'P'), "Sharpness:"},
    {mmioFOURCC('I', 'S', 'R', 'C'), "Source:"},            {mmioFOURCC('I', 'S', 'R', 'F'), "Source Form:"},
    {mmioFOURCC('I', 'T', 'C', 'H'), "Technician:"},
};

constexpr FOURCC kWave = mmioFOURCC('W', 'A', 'V', 'E');
constexpr FOURCC kFmt = mmioFOURCC('f', 'm', 't', ' ');
constexpr FOURCC kData = mmioFOURCC('d', 'a', 't', 'a');
constexpr FOURCC kInfo = mmioFOURCC('I', 'N', 'F', 'O');
constexpr FOURCC kAcid = mmioFOURCC('a', 'c', 'i', 'd');
constexpr FOURCC kStrc = mmioFOURCC('s', 't', 'r', 'c');
constexpr FOURCC kEndMark = mmioFOURCC(' ', ' ', ' ', ' ');

// The "acid" fields end with the tempo at offset 20.
constexpr DWORD kAcidBytes = 24;
constexpr DWORD kStrcHeader = 28;
constexpr DWORD kStrcRecord = 32;

DWORD Le32(const BYTE* p) { return DWORD(p[0]) | DWORD(p[1]) << 8 | DWORD(p[2]) << 16 | DWORD(p[3]) << 24; }
WORD Le16(const BYTE* p) { return WORD(p[0] | p[1] << 8); }

}  // namespace

const char* const CWaveClipReader::kKeyNames[13] = {"C",  "C#", "D",  "D#", "E",  "F",
                                                    "F#", "G",  "G#", "A",  "A#", "B",
                                                    "Not Tranposed"};
const char* const CWaveClipReader::kNoteValueNames[7] = {
    "Whole Notes",     "Half Notes",          "Quarter Notes",     "Eighth Notes",
    "Sixteenth Notes", "Thirty-Second Notes", "Sixty-Fourth Notes"};
const char* const CWaveClipReader::kLoopTypeNames[4] = {"Unknown (Value of 0 is undefined)", "Looping Segments",
                                                        "Non-Looping Segments", "Pitch Shift Segments"};
const char* const CWaveClipReader::kStretchModeNames[3] = {"Manual", "Disabled", "Auto"};

CWaveClipReader::~CWaveClipReader() { Close(); }

void CWaveClipReader::Close()
{
    if (m_mmio) mmioClose(m_mmio, 0);
    m_mmio = nullptr;
}

void CWaveClipReader::Reset()
{
    Close();
    m_path.clear();
    m_error = 0;
    m_fileSize = 0;
    m_riff = m_fmt = m_data = m_list = m_acid = m_strc = MMCKINFO{};
    m_format.clear();
    m_channels = m_blockAlign = m_bytesPerSample = 0;
    m_sampleRate = m_avgBytesPerSec = m_dataSize = m_frames = m_milliseconds = m_dataLeft = 0;
    m_seconds = 0;
    for (auto& e : m_info) e = InfoEntry{};
    m_isWave = m_hasAcid = m_hasStrc = false;
    m_acidSize = 0;
    m_looping = m_rootNoteSet = m_stretch = m_diskBased = false;
    m_rootNote = 0;
    m_beats = 0;
    m_tempo = 0;
    m_strcValues[0] = m_strcValues[1] = m_strcValues[2] = 0;
    m_acidChunk.clear();
    m_strcChunk.clear();
    m_slices.clear();
}

HRESULT CWaveClipReader::Fail(MMRESULT error)
{
    m_error = error;
    Close();
    m_format.clear();
    m_acidChunk.clear();
    m_strcChunk.clear();
    m_slices.clear();
    for (auto& e : m_info) e = InfoEntry{};
    m_dataLeft = 0;
    return E_FAIL;
}

bool CWaveClipReader::Inside(const MMCKINFO& ck, const MMCKINFO& parent) const
{
    long long end = (long long)ck.dwDataOffset + ck.cksize;
    long long parentEnd = (long long)parent.dwDataOffset + parent.cksize;
    return end <= parentEnd && end <= m_fileSize;
}

bool CWaveClipReader::ReadWhole(const MMCKINFO& ck, std::vector<BYTE>& out)
{
    out.assign(ck.cksize, 0);
    if (ck.cksize == 0) return true;
    if (mmioSeek(m_mmio, LONG(ck.dwDataOffset), SEEK_SET) < 0) return false;
    return mmioRead(m_mmio, reinterpret_cast<char*>(out.data()), LONG(ck.cksize)) == LONG(ck.cksize);
}

HRESULT CWaveClipReader::Open(const char* path)
{
    Reset();
    try {
        m_path = path ? path : "";
        MMIOINFO info{};
        m_mmio = mmioOpen(path, &info, MMIO_READ | MMIO_ALLOCBUF);
        if (!m_mmio) return Fail(MMIOERR_CANNOTOPEN);
        LONG size = mmioSeek(m_mmio, 0, SEEK_END);
        if (size < 0 || mmioSeek(m_mmio, 0, SEEK_SET) != 0) return Fail(MMIOERR_CANNOTSEEK);
        m_fileSize = size;

        if (mmioDescend(m_mmio, &m_riff, nullptr, 0) != MMSYSERR_NOERROR || m_riff.ckid != FOURCC_RIFF ||
            m_riff.fccType != kWave)
            return Fail(MMIOERR_INVALIDFILE);
        // A RIFF chunk longer than the file is a cut-off file: nothing in it
        // can be trusted to lie where its sizes say.
        if ((long long)m_riff.dwDataOffset + m_riff.cksize > m_fileSize || m_riff.cksize < 4)
            return Fail(MMIOERR_CANNOTREAD);
        m_isWave = true;

        HRESULT hr = ReadFormat();
        if (FAILED(hr)) return hr;
        hr = ReadData();
        if (FAILED(hr)) return hr;
        hr = ReadInfo();
        if (FAILED(hr)) return hr;
        hr = ReadAcid();
        if (FAILED(hr)) return hr;
        // Reads start at the first frame.
        if (mmioSeek(m_mmio, LONG(m_data.dwDataOffset), SEEK_SET) != LONG(m_data.dwDataOffset))
            return Fail(MMIOERR_CANNOTSEEK);
        m_dataLeft = m_dataSize;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return Fail(MMIOERR_OUTOFMEMORY);
    }
}

HRESULT CWaveClipReader::ReadFormat()
{
    m_fmt = MMCKINFO{};
    m_fmt.ckid = kFmt;
    if (mmioDescend(m_mmio, &m_fmt, &m_riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR)
        return Fail(MMIOERR_CHUNKNOTFOUND);
    if (!Inside(m_fmt, m_riff) || m_fmt.cksize < 16) return Fail(MMIOERR_CANNOTREAD);
    BYTE pcm[16];
    if (mmioRead(m_mmio, reinterpret_cast<char*>(pcm), 16) != 16) return Fail(MMIOERR_CANNOTREAD);
    WORD tag = Le16(pcm);
    WORD extra = 0;
    if (tag != WAVE_FORMAT_PCM) {
        BYTE cb[2];
        if (m_fmt.cksize < 18 || mmioRead(m_mmio, reinterpret_cast<char*>(cb), 2) != 2)
            return Fail(MMIOERR_CANNOTREAD);
        extra = Le16(cb);
        if (DWORD(extra) > m_fmt.cksize - 18) return Fail(MMIOERR_CANNOTREAD);
    }
    m_format.assign(sizeof(WAVEFORMATEX) + extra, 0);
    std::memcpy(m_format.data(), pcm, 16);
    m_format[16] = BYTE(extra);
    m_format[17] = BYTE(extra >> 8);
    if (extra && mmioRead(m_mmio, reinterpret_cast<char*>(m_format.data()) + sizeof(WAVEFORMATEX), extra) != extra)
        return Fail(MMIOERR_CANNOTREAD);

    m_channels = Le16(pcm + 2);
    m_sampleRate = Le32(pcm + 4);
    m_avgBytesPerSec = Le32(pcm + 8);
    m_blockAlign = Le16(pcm + 12);
    WORD bits = Le16(pcm + 14);
    m_bytesPerSample = WORD(bits / 8);
    // A frame must hold every channel's sample; a format that says less
    // would send the converters past the data it read.
    DWORD minAlign = DWORD(m_channels) * (m_bytesPerSample ? m_bytesPerSample : 1);
    if (m_channels == 0 || m_channels > kMaxChannels || m_blockAlign == 0 || m_blockAlign < minAlign ||
        m_sampleRate == 0 || m_avgBytesPerSec == 0)
        return Fail(MMIOERR_INVALIDFILE);
    if (mmioAscend(m_mmio, &m_fmt, 0) != MMSYSERR_NOERROR) return Fail(MMIOERR_CANNOTSEEK);
    return S_OK;
}

HRESULT CWaveClipReader::ReadData()
{
    m_data = MMCKINFO{};
    m_data.ckid = kData;
    if (mmioDescend(m_mmio, &m_data, &m_riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR)
        return Fail(MMIOERR_CHUNKNOTFOUND);
    // A data chunk that claims more than the file holds is refused rather
    // than read short.
    if (!Inside(m_data, m_riff)) return Fail(MMIOERR_CANNOTREAD);
    if (m_data.cksize == 0 || m_data.cksize < m_blockAlign) return Fail(MMIOERR_INVALIDFILE);
    m_dataSize = m_data.cksize;
    m_frames = m_dataSize / m_blockAlign;
    m_dataLeft = m_dataSize;
    m_seconds = float(m_dataSize) / float(m_avgBytesPerSec);
    m_milliseconds = DWORD(std::ceil(double(m_seconds) * 1000.0));
    if (mmioAscend(m_mmio, &m_data, 0) != MMSYSERR_NOERROR) return Fail(MMIOERR_CANNOTSEEK);
    return S_OK;
}

HRESULT CWaveClipReader::ReadInfo()
{
    m_list = MMCKINFO{};
    m_list.ckid = FOURCC_LIST;
    int slot = 0;
    if (mmioDescend(m_mmio, &m_list, &m_riff, MMIO_FINDCHUNK) == MMSYSERR_NOERROR && m_list.fccType == kInfo) {
        if (!Inside(m_list, m_riff)) return Fail(MMIOERR_CANNOTREAD);
        for (; slot < kInfoIds; ++slot) {
            InfoEntry& entry = m_info[slot];
            if (mmioDescend(m_mmio, &entry.chunk, &m_list, 0) != MMSYSERR_NOERROR) {
                entry.chunk = MMCKINFO{};
                break;
            }
            if (!Inside(entry.chunk, m_list)) return Fail(MMIOERR_CANNOTREAD);
            std::vector<BYTE> text;
            if (ReadWhole(entry.chunk, text)) {
                for (const InfoId& known : kInfoTable) {
                    if (known.id != entry.chunk.ckid) continue;
                    entry.text.assign(text.begin(), text.end());
                    entry.text.resize(std::strlen(entry.text.c_str()));
                    entry.label = known.label;
                }
            }
            if (mmioAscend(m_mmio, &entry.chunk, 0) != MMSYSERR_NOERROR) return Fail(MMIOERR_CANNOTSEEK);
        }
        if (mmioAscend(m_mmio, &m_list, 0) != MMSYSERR_NOERROR) return Fail(MMIOERR_CANNOTSEEK);
    }
    m_info[slot].chunk = MMCKINFO{};
    m_info[slot].chunk.ckid = kEndMark;
    return S_OK;
}

HRESULT CWaveClipReader::ReadAcid()
{
    long long dataEnd = (long long)m_data.dwDataOffset + m_data.cksize + (m_data.cksize & 1);
    if (mmioSeek(m_mmio, LONG(dataEnd), SEEK_SET) != LONG(dataEnd)) return Fail(MMIOERR_CANNOTSEEK);
    m_acid = MMCKINFO{};
    m_acid.ckid = kAcid;
    if (mmioDescend(m_mmio, &m_acid, &m_riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) return S_OK;
    if (!Inside(m_acid, m_riff) || m_acid.cksize < kAcidBytes || !ReadWhole(m_acid, m_acidChunk))
        return Fail(MMIOERR_CANNOTREAD);
    const BYTE* a = m_acidChunk.data();
    DWORD flags = Le32(a);
    m_hasAcid = true;
    m_acidSize = m_acid.cksize;
    m_looping = !(flags & 1);
    m_rootNoteSet = flags & 2;
    m_stretch = flags & 4;
    m_diskBased = flags & 8;
    m_rootNote = Le16(a + 4);
    m_beats = Le32(a + 12);
    std::memcpy(&m_tempo, a + 20, sizeof m_tempo);
    if (mmioAscend(m_mmio, &m_acid, 0) != MMSYSERR_NOERROR) return Fail(MMIOERR_CANNOTSEEK);
    return ReadStrc();
}

HRESULT CWaveClipReader::ReadStrc()
{
    m_strc = MMCKINFO{};
    m_strc.ckid = kStrc;
    if (mmioDescend(m_mmio, &m_strc, &m_riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) return S_OK;
    if (!Inside(m_strc, m_riff) || m_strc.cksize < kStrcHeader || !ReadWhole(m_strc, m_strcChunk))
        return Fail(MMIOERR_CANNOTREAD);
    const BYTE* s = m_strcChunk.data();
    DWORD count = Le32(s + 4);
    // The records the header counts must all be in the chunk.
    if (count > (m_strc.cksize - kStrcHeader) / kStrcRecord) return Fail(MMIOERR_CANNOTREAD);
    m_strcValues[0] = Le32(s + 16);
    m_strcValues[1] = Le32(s + 20);
    m_strcValues[2] = Le32(s + 24);
    m_hasStrc = true;

    m_slices.emplace_back(0, m_frames);
    for (DWORD k = 0; k < count; ++k) {
        const BYTE* r = s + kStrcHeader + k * kStrcRecord;
        DWORD type = Le32(r);
        DWORD position = Le32(r + 8);
        if ((type != 0 && type != 2) || position == 0 || Le32(r + 16) == 0) continue;
        // Slices follow one another inside the data: a start behind the last
        // one or past the last frame would make a slice of negative length.
        if (position <= m_slices.back().first || position >= m_frames) continue;
        m_slices.back().second = position - m_slices.back().first;
        m_slices.emplace_back(position, m_frames - position);
    }
    if (mmioAscend(m_mmio, &m_strc, 0) != MMSYSERR_NOERROR) return Fail(MMIOERR_CANNOTSEEK);
    return S_OK;
}

HRESULT CWaveClipReader::SeekFrame(DWORD frame)
{
    if (!m_mmio || frame > m_frames) {
        m_error = MMIOERR_CANNOTSEEK;
        return E_FAIL;
    }
    MMCKINFO data{};
    data.ckid = kData;
    long long at = (long long)frame * m_blockAlign;
    if (mmioSeek(m_mmio, LONG(m_riff.dwDataOffset + 4), SEEK_SET) < 0 ||
        mmioDescend(m_mmio, &data, &m_riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR ||
        data.dwDataOffset != m_data.dwDataOffset ||
        mmioSeek(m_mmio, LONG(data.dwDataOffset + at), SEEK_SET) < 0) {
        m_error = MMIOERR_CANNOTSEEK;
        return E_FAIL;
    }
    m_dataLeft = DWORD(m_dataSize - at);
    return S_OK;
}

LONG CWaveClipReader::Read(void* buffer, LONG bytes)
{
    if (!m_mmio || !buffer || bytes <= 0) return 0;
    DWORD want = DWORD(bytes) < m_dataLeft ? DWORD(bytes) : m_dataLeft;
    if (want == 0) return 0;
    LONG got = mmioRead(m_mmio, static_cast<char*>(buffer), LONG(want));
    if (got <= 0) {
        m_error = MMIOERR_CANNOTREAD;
        return 0;
    }
    m_dataLeft -= DWORD(got);
    return got;
}

DWORD CWaveClipReader::GetValue(int kind) const
{
    if (kind == 2) return m_dataSize;
    if (kind == 3) return m_frames;
    return 0;
}

std::pair<DWORD, DWORD> CWaveClipReader::GetSlice(int index) const
{
    if (index < 0 || index >= int(m_slices.size())) return {0, 0};
    return m_slices[size_t(index)];
}

const WAVEFORMATEX* CWaveClipReader::GetFormat() const
{
    return m_format.empty() ? nullptr : reinterpret_cast<const WAVEFORMATEX*>(m_format.data());
}
