#include "model/CSMF.h"

#include <algorithm>
#include <new>

#include "model/CMeterKeySigMap.h"
#include "model/CPattern.h"
#include "model/CPatternInstance.h"
#include "model/CSMFFile.h"
#include "model/CSMFTrack.h"
#include "platform/res/MessageBox.h"
#include "resources/MorvaneStrings.h"
#include "uikit/core/ResString.h"

namespace {

constexpr DWORD kHeaderLength = 6;
// The prefix some files carry before their header.
constexpr LONGLONG kPrefixLength = 128;
// File times are held below this, so scaling them by any resolution up to
// 16 bits stays within 64 bits; it is far beyond kMaxTick at any division.
constexpr ULONGLONG kMaxFileTime = 1ull << 40;

DWORD BigEndian(const BYTE* p, int count)
{
    DWORD value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | p[i];
    return value;
}

// A variable-length quantity of at most four bytes, all inside [*p, end).
bool ReadVarLength(const BYTE*& p, const BYTE* end, DWORD* value)
{
    DWORD v = 0;
    for (int i = 0; i < 4 && p < end; ++i) {
        const BYTE b = *p++;
        v = v << 7 | (b & 0x7F);
        if (!(b & 0x80)) {
            *value = v;
            return true;
        }
    }
    return false;
}

// One event's framing in a track chunk: its delta time and status, and its
// data (the data bytes of a channel message; the body of a meta or system
// exclusive event, whose meta type is apart).
struct TrackEvent {
    DWORD delta = 0;
    BYTE status = 0;
    BYTE metaType = 0;
    const BYTE* data = nullptr;
    DWORD length = 0;
};

// Reads the next event of [*p, end) and moves past it, keeping the running
// status; false for an event that is malformed or does not fit the chunk.
bool NextEvent(const BYTE*& p, const BYTE* end, BYTE* running, TrackEvent* e)
{
    if (!ReadVarLength(p, end, &e->delta) || p == end)
        return false;
    e->status = *p;
    if (e->status & 0x80)
        ++p;
    else if (*running == 0)
        return false;
    else
        e->status = *running;

    if (e->status < 0xF0) {
        *running = e->status;
        const BYTE type = e->status & 0xF0;
        e->length = type == 0xC0 || type == 0xD0 ? 1 : 2;
    } else if (e->status == 0xFF) {
        if (p == end)
            return false;
        e->metaType = *p++;
        if (!ReadVarLength(p, end, &e->length))
            return false;
    } else if (e->status == 0xF0 || e->status == 0xF7) {
        if (!ReadVarLength(p, end, &e->length))
            return false;
    } else {
        return false;
    }
    if (e->length > static_cast<DWORD>(end - p))
        return false;
    e->data = p;
    p += e->length;
    return true;
}

// Whether a channel message makes an event (note-offs end one instead).
bool MakesEvent(const TrackEvent& e)
{
    const BYTE type = e.status & 0xF0;
    return type != 0x80 && !(type == 0x90 && (e.data[1] & 0x7F) == 0);
}

// The text of a meta event up to its first zero byte, cut to `max` bytes but
// never inside a UTF-8 character.
std::string TextOf(const BYTE* data, DWORD length, std::size_t max)
{
    const auto* text = reinterpret_cast<const char*>(data);
    std::size_t n = std::find(text, text + length, '\0') - text;
    if (n > max) {
        n = max;
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n;
    }
    return std::string(text, n);
}

}  // namespace

CSMF::CSMF(ISmfImportDocument* document, CSMFFile* file) : m_document(document), m_file(file) {}

HRESULT CSMF::Import()
{
    HRESULT hr;
    try {
        hr = ImportFile();
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    if (m_commandOpen) {
        m_commandOpen = false;
        if (SUCCEEDED(hr))
            hr = m_document->EndImportCommand();
        else
            m_document->AbandonImportCommand();
    }
    return hr;
}

HRESULT CSMF::ImportFile()
{
    if (m_document == nullptr || m_file == nullptr)
        return E_POINTER;
    m_ticksPerQuarter = m_document->GetTicksPerQuarter();
    if (m_ticksPerQuarter <= 0 || m_ticksPerQuarter > 0xFFFF)
        return E_UNEXPECTED;

    const auto start = static_cast<LONGLONG>(m_file->GetPosition());
    ChunkType type = kOtherChunk;
    DWORD length = 0;
    HRESULT hr = ReadChunkHeader(&type, &length);
    if (FAILED(hr) || type != kHeaderChunk || length < kHeaderLength) {
        if (FAILED(m_file->Seek(start + kPrefixLength, CSMFFile::begin)))
            return STG_E_DOCFILECORRUPT;
        hr = ReadChunkHeader(&type, &length);
        if (FAILED(hr) || type != kHeaderChunk || length < kHeaderLength)
            return STG_E_DOCFILECORRUPT;
    }
    if (FAILED(hr = ReadHeader(length)))
        return hr;

    CString name;
    name.Format(LoadResString(IDS_SMF_IMPORT_COMMAND), m_file->GetTitle().c_str());
    if (FAILED(hr = m_document->BeginImportCommand(name)))
        return hr;
    m_commandOpen = true;

    bool firstTrack = true;
    for (int tracks = 0; tracks < m_trackCount;) {
        if (FAILED(hr = ReadChunkHeader(&type, &length)))
            return hr;
        if (type == kHeaderChunk) {
            if (FAILED(m_file->Seek(length, CSMFFile::current)))
                return STG_E_INVALIDFUNCTION;
            continue;
        }
        if (type != kTrackChunk)
            return STG_E_DOCFILECORRUPT;
        CSMFTrack track(m_format == 1);
        if (FAILED(hr = ReadTrack(&track, firstTrack, length)) || FAILED(hr = FinishTrack(&track)))
            return hr;
        firstTrack = false;
        ++tracks;
    }
    return S_OK;
}

HRESULT CSMF::ReadChunkHeader(ChunkType* type, DWORD* length)
{
    BYTE bytes[8];
    const HRESULT hr = m_file->Read(bytes, sizeof bytes);
    if (FAILED(hr))
        return hr;
    if (std::equal(bytes, bytes + 4, "MThd"))
        *type = kHeaderChunk;
    else if (std::equal(bytes, bytes + 4, "MTrk"))
        *type = kTrackChunk;
    else
        *type = kOtherChunk;
    *length = BigEndian(bytes + 4, 4);
    return S_OK;
}

HRESULT CSMF::ReadHeader(DWORD length)
{
    BYTE bytes[kHeaderLength];
    HRESULT hr = m_file->Read(bytes, sizeof bytes);
    if (FAILED(hr))
        return hr;
    m_format = static_cast<WORD>(BigEndian(bytes, 2));
    m_trackCount = static_cast<WORD>(BigEndian(bytes + 2, 2));
    m_division = static_cast<WORD>(BigEndian(bytes + 4, 2));
    if (length > kHeaderLength && FAILED(m_file->Seek(length - kHeaderLength, CSMFFile::current)))
        return STG_E_INVALIDFUNCTION;
    // Format 2 (independent sequences) has no song to import into, however
    // long the header that announces it.
    if (m_format > 1 || m_division == 0)
        return STG_E_DOCFILECORRUPT;
    if (m_division & 0x8000) {
        AfxMessageBox(LoadResString(IDS_SMF_SMPTE_DIVISION), MB_OK | MB_ICONERROR);
        return E_NOTIMPL;
    }
    return S_OK;
}

LONG CSMF::ScaleTime(ULONGLONG fileTime) const
{
    const ULONGLONG ticks = (fileTime * static_cast<ULONGLONG>(m_ticksPerQuarter) + m_division / 2) / m_division;
    return static_cast<LONG>(std::min<ULONGLONG>(ticks, kMaxTick));
}

HRESULT CSMF::ReadTrack(CSMFTrack* track, bool firstTrack, DWORD length)
{
    if (length > m_file->GetRemaining())
        return STG_E_READFAULT;
    const BYTE* const begin = m_file->GetCurrent();
    const BYTE* const end = begin + length;
    TrackEvent e;
    BYTE running = 0;

    // A first pass counts the events each channel will hold, so that each
    // list is allocated once at its size rather than grown and copied.
    DWORD counts[16] = {};
    for (const BYTE* p = begin; p < end && NextEvent(p, end, &running, &e);) {
        if (e.status < 0xF0 && MakesEvent(e))
            ++counts[e.status & 0x0F];
        else if (e.status == 0xFF && e.metaType == 0x2F)
            break;
    }
    track->Reserve(counts);

    ULONGLONG fileTime = 0;
    LONG time = 0;
    running = 0;
    // A track without an end-of-track event ends with its chunk.
    for (const BYTE* p = begin; p < end;) {
        if (!NextEvent(p, end, &running, &e))
            return STG_E_DOCFILECORRUPT;
        fileTime = std::min(fileTime + e.delta, kMaxFileTime);
        time = ScaleTime(fileTime);
        if (e.status < 0xF0) {
            ReadChannelMessage(track, time, e.status, e.data[0] & 0x7F, e.length == 2 ? e.data[1] & 0x7F : 0);
        } else if (e.status == 0xFF) {
            if (e.metaType == 0x2F)
                break;
            const HRESULT hr = ReadMeta(track, firstTrack, time, e.metaType, e.data, e.length);
            if (FAILED(hr))
                return hr;
        }
        // System exclusive packets (0xF0, and 0xF7 continuations or escapes)
        // are dropped; nothing plays them from a pattern.
    }
    track->CloseAllNotes(time);
    // Bytes after an end-of-track event are skipped with the chunk.
    return m_file->Seek(length, CSMFFile::current);
}

void CSMF::ReadChannelMessage(CSMFTrack* track, LONG time, BYTE status, BYTE data1, BYTE data2)
{
    const BYTE channel = status & 0x0F;
    track->NoteChannel(channel);
    switch (status & 0xF0) {
    case 0x90:
        if (data2 > 0) {
            track->NoteOn(time, channel, data1, data2);
            return;
        }
        [[fallthrough]];
    case 0x80: track->NoteOff(time, channel, data1); return;
    case 0xB0: track->AddController(time, channel, data1, data2); return;
    case 0xC0: track->AddPatch(time, channel, data1); return;
    default: track->AddMessage(time, status, data1, data2); return;
    }
}

HRESULT CSMF::ReadMeta(CSMFTrack* track, bool firstTrack, LONG time, BYTE type, const BYTE* data, DWORD length)
{
    switch (type) {
    case 0x01:
        // A text at the very start is the file's description, not a marker.
        if (time == 0)
            return S_OK;
        [[fallthrough]];
    case 0x04:
    case 0x06:
    case 0x07:
        if (!firstTrack)
            return S_OK;
        return m_document->InsertMarker(TextOf(data, length, kMaxMarkerName).c_str(), time);
    case 0x03:
        if (!firstTrack)
            track->SetName(reinterpret_cast<const char*>(data), length);
        return S_OK;
    case 0x51: {
        if (!firstTrack || length < 3)
            return S_OK;
        const ULONGLONG perQuarter = BigEndian(data, 3);
        if (perQuarter == 0)
            return S_OK;
        const auto tempo = static_cast<LONG>((6000000000ull + perQuarter / 2) / perQuarter);
        return m_document->InsertTempo(time, std::clamp(tempo, kMinTempo, kMaxTempo));
    }
    case 0x58:
    case 0x59: {
        if (!firstTrack || length < (type == 0x58 ? 2u : 1u))
            return S_OK;
        const CMeterKeySigMap& map = m_document->GetMeterKeyMap();
        CMeterKey entry = map[map.FindIndexAtTick(time)];
        if (type == 0x58) {
            // Beat units finer than a 32nd are not kept.
            if (data[1] >= 6)
                return S_OK;
            entry.m_numerator = data[0];
            entry.m_power = data[1];
        } else {
            entry.m_measure = map.TickToMeasure(time);
            entry.m_key = static_cast<signed char>(data[0]);
        }
        // A signature the map cannot hold (a numerator of 0, a key beyond
        // seven accidentals) is left out rather than failing the import.
        if (!map.IsValidEntry(entry))
            return S_OK;
        return m_document->InsertMeterKey(time, entry);
    }
    default: return S_OK;
    }
}

HRESULT CSMF::FillPattern(CPattern* pattern, std::vector<CMfxEvent>* events)
{
    // Every event takes at least its own tick, so that one on the last
    // tick of a measure stays inside the pattern.
    LONGLONG last = 0;
    for (const CMfxEvent& e : *events) {
        const LONGLONG length = e.m_kind == MfxNote ? std::max<LONGLONG>(e.m_note.duration, 1) : 1;
        last = std::max(last, e.m_time + length);
    }
    const CMeterKeySigMap& map = m_document->GetMeterKeyMap();
    const LONG measure = last > 0 ? map.TickToMeasure(static_cast<LONG>(last - 1)) : 1;
    const HRESULT hr = pattern->AppendEvents(std::move(*events));
    if (SUCCEEDED(hr))
        pattern->SetDuration(map.MbtToTick(measure + 1, 1, 0));
    return hr;
}

HRESULT CSMF::FinishTrack(CSMFTrack* track)
{
    HRESULT hr = S_OK;
    const int lists = track->IsCombined() ? 1 : 16;
    for (int channel = 0; channel < lists; ++channel) {
        std::vector<CMfxEvent>* events = track->GetList(channel);
        if (events == nullptr || events->empty())
            continue;
        CPattern* pattern = nullptr;
        if (FAILED(hr = m_document->CreatePattern(&pattern)) || FAILED(hr = FillPattern(pattern, events)))
            return hr;
        if (track->IsCombined() && !track->GetName().empty())
            pattern->SetName(track->GetName().c_str());
        m_patterns[channel] = pattern;
    }

    for (CPattern*& pattern : m_patterns) {
        if (pattern == nullptr)
            continue;
        CPatternInstance instance(pattern);
        if (track->IsCombined() && track->GetChannel() != CSMFTrack::kMixedChannels)
            instance.SetMidiChannel(track->GetChannel());
        SHORT trackId = 0;
        if (m_haveTrack && AskCombine()) {
            trackId = m_firstTrack;
        } else {
            if (FAILED(hr = m_document->InsertTrack(track->GetName().c_str(), &trackId)))
                return hr;
            if (!m_haveTrack) {
                m_haveTrack = true;
                m_firstTrack = trackId;
            }
        }
        if (FAILED(hr = m_document->AddPatternInstance(trackId, instance)))
            return hr;
        pattern = nullptr;
    }
    return S_OK;
}

bool CSMF::AskCombine()
{
    if (!m_asked) {
        m_asked = true;
        m_combine = AfxMessageBox(LoadResString(IDS_SMF_COMBINE_TRACKS), MB_YESNO) == IDYES;
    }
    return m_combine;
}
