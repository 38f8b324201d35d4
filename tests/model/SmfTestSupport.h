// Support for the tests, bench and fuzz target of the Standard MIDI File
// import: a small writer of MIDI files (variable-length quantities, chunks,
// events) and a song document that keeps what the import builds, with the
// import command's begin, end and abandon, and a failure it can be told to
// give. No test framework here, so the bench and the fuzz target use it too.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "model/CMeterKeySigMap.h"
#include "model/CPattern.h"
#include "model/CPatternInstance.h"
#include "model/CSMF.h"
#include "model/CSMFFile.h"
#include "model/ISmfImportDocument.h"

namespace smftest {

using Bytes = std::vector<BYTE>;

inline void PutVarLength(Bytes* out, DWORD value)
{
    BYTE groups[5];
    int n = 0;
    do {
        groups[n++] = value & 0x7F;
        value >>= 7;
    } while (value != 0);
    while (n > 1)
        out->push_back(groups[--n] | 0x80);
    out->push_back(groups[0]);
}

inline void PutBigEndian(Bytes* out, DWORD value, int count)
{
    for (int i = count - 1; i >= 0; --i)
        out->push_back(static_cast<BYTE>(value >> (8 * i)));
}

inline Bytes Chunk(const char* type, const Bytes& body)
{
    Bytes out(type, type + 4);
    PutBigEndian(&out, static_cast<DWORD>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

inline Bytes Header(WORD format, WORD tracks, WORD division)
{
    Bytes body;
    PutBigEndian(&body, format, 2);
    PutBigEndian(&body, tracks, 2);
    PutBigEndian(&body, division, 2);
    return Chunk("MThd", body);
}

// The events of one track, each after its delta time in the file's division.
class TrackWriter {
public:
    // A status byte and its data bytes.
    TrackWriter& Message(DWORD delta, std::initializer_list<BYTE> bytes)
    {
        PutVarLength(&m_body, delta);
        m_body.insert(m_body.end(), bytes);
        return *this;
    }
    TrackWriter& NoteOn(DWORD delta, BYTE channel, BYTE key, BYTE velocity = 100)
    {
        return Message(delta, {static_cast<BYTE>(0x90 | channel), key, velocity});
    }
    TrackWriter& NoteOff(DWORD delta, BYTE channel, BYTE key)
    {
        return Message(delta, {static_cast<BYTE>(0x80 | channel), key, 0});
    }
    TrackWriter& Controller(DWORD delta, BYTE channel, BYTE number, BYTE value)
    {
        return Message(delta, {static_cast<BYTE>(0xB0 | channel), number, value});
    }
    TrackWriter& Program(DWORD delta, BYTE channel, BYTE program)
    {
        return Message(delta, {static_cast<BYTE>(0xC0 | channel), program});
    }
    TrackWriter& Meta(DWORD delta, BYTE type, const Bytes& data)
    {
        PutVarLength(&m_body, delta);
        m_body.push_back(0xFF);
        m_body.push_back(type);
        PutVarLength(&m_body, static_cast<DWORD>(data.size()));
        m_body.insert(m_body.end(), data.begin(), data.end());
        return *this;
    }
    TrackWriter& Text(DWORD delta, BYTE type, const std::string& text)
    {
        return Meta(delta, type, Bytes(text.begin(), text.end()));
    }
    TrackWriter& Tempo(DWORD delta, DWORD microsecondsPerQuarter)
    {
        Bytes data;
        PutBigEndian(&data, microsecondsPerQuarter, 3);
        return Meta(delta, 0x51, data);
    }
    TrackWriter& Raw(const Bytes& bytes)
    {
        m_body.insert(m_body.end(), bytes.begin(), bytes.end());
        return *this;
    }
    TrackWriter& End(DWORD delta = 0) { return Meta(delta, 0x2F, {}); }

    const Bytes& Body() const { return m_body; }
    Bytes Chunk() const { return smftest::Chunk("MTrk", m_body); }

private:
    Bytes m_body;
};

inline Bytes File(WORD format, WORD division, const std::vector<TrackWriter>& tracks)
{
    Bytes out = Header(format, static_cast<WORD>(tracks.size()), division);
    for (const TrackWriter& t : tracks) {
        const Bytes chunk = t.Chunk();
        out.insert(out.end(), chunk.begin(), chunk.end());
    }
    return out;
}

// The song document as far as the import reaches it: it keeps the patterns,
// tracks, instances, tempo, meter and marker changes of the open command
// and, when the command is abandoned, forgets them all (the meter map goes
// back to its default).
class CFakeImportDocument : public ISmfImportDocument {
public:
    struct Instance {
        SHORT track;
        SHORT pattern;
        LONG start;
        LONG end;
        WORD midiChannel;
    };
    struct Tempo {
        LONG tick;
        LONG tempo;
    };
    struct Marker {
        std::string name;
        LONG tick;
    };
    enum class Command { none, open, ended, abandoned };

    ~CFakeImportDocument() { ForgetAll(); }

    LONG GetTicksPerQuarter() override { return 960; }
    const CMeterKeySigMap& GetMeterKeyMap() override { return *m_meter; }

    HRESULT BeginImportCommand(const char* name) override
    {
        m_commandName = name;
        m_command = Command::open;
        return S_OK;
    }
    HRESULT EndImportCommand() override
    {
        m_command = Command::ended;
        return S_OK;
    }
    void AbandonImportCommand() override
    {
        m_command = Command::abandoned;
        ForgetAll();
    }

    HRESULT CreatePattern(CPattern** pattern) override
    {
        HRESULT hr = Edit();
        if (FAILED(hr) || FAILED(hr = ::CreatePattern(m_nextPatternId, pattern, CPattern::kKindMidi)))
            return hr;
        ++m_nextPatternId;
        m_patterns.push_back(*pattern);
        return S_OK;
    }
    HRESULT InsertTrack(const char* name, SHORT* trackId) override
    {
        const HRESULT hr = Edit();
        if (FAILED(hr))
            return hr;
        *trackId = static_cast<SHORT>(m_tracks.size());
        m_tracks.emplace_back(name);
        return S_OK;
    }
    HRESULT AddPatternInstance(SHORT trackId, const CPatternInstance& instance) override
    {
        const HRESULT hr = Edit();
        if (SUCCEEDED(hr))
            m_instances.push_back({trackId, instance.GetPatternID(), instance.GetStart(), instance.GetEnd(),
                                   instance.GetMidiChannel()});
        return hr;
    }
    HRESULT InsertTempo(LONG tick, LONG tempo) override
    {
        const HRESULT hr = Edit();
        if (SUCCEEDED(hr))
            m_tempos.push_back({tick, tempo});
        return hr;
    }
    HRESULT InsertMeterKey(LONG tick, const CMeterKey& entry) override
    {
        const HRESULT hr = Edit();
        return FAILED(hr) ? hr : m_meter->InsertMeterKey(tick, entry, FALSE, nullptr);
    }
    HRESULT InsertMarker(const char* name, LONG tick) override
    {
        const HRESULT hr = Edit();
        if (SUCCEEDED(hr))
            m_markers.push_back({name, tick});
        return hr;
    }

    // The edit numbered `count` (from 1) fails with `failure`.
    void FailEdit(int count, HRESULT failure)
    {
        m_failAt = count;
        m_failure = failure;
    }

    // Whether nothing of an import remains.
    bool IsUntouched() const
    {
        return m_patterns.empty() && m_tracks.empty() && m_instances.empty() && m_tempos.empty() &&
               m_markers.empty() && m_meter->GetSize() == 1;
    }

    CPattern* PatternById(SHORT id) const
    {
        for (CPattern* p : m_patterns)
            if (p->GetId() == id)
                return p;
        return nullptr;
    }

    Command m_command = Command::none;
    std::string m_commandName;
    std::vector<CPattern*> m_patterns;
    std::vector<std::string> m_tracks;
    std::vector<Instance> m_instances;
    std::vector<Tempo> m_tempos;
    std::vector<Marker> m_markers;

private:
    HRESULT Edit() { return ++m_edits == m_failAt ? m_failure : S_OK; }
    void ForgetAll()
    {
        for (CPattern* p : m_patterns)
            DestroyPattern(p);
        m_patterns.clear();
        m_tracks.clear();
        m_instances.clear();
        m_tempos.clear();
        m_markers.clear();
        m_meter = std::make_unique<CMeterKeySigMap>();
    }

    std::unique_ptr<CMeterKeySigMap> m_meter = std::make_unique<CMeterKeySigMap>();
    SHORT m_nextPatternId = 0;
    int m_edits = 0;
    int m_failAt = 0;
    HRESULT m_failure = S_OK;
};

// Imports the bytes into the document under the title "song.mid".
inline HRESULT Import(ISmfImportDocument* document, const Bytes& bytes)
{
    CSMFFile file;
    HRESULT hr = file.SetContents(bytes.data(), bytes.size(), "song.mid");
    if (FAILED(hr))
        return hr;
    CSMF importer(document, &file);
    return importer.Import();
}

}  // namespace smftest
