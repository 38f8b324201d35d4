// The Standard MIDI File import: reads a format 0 or 1 file into the open
// song document as one undoable command, "Import MIDI file \"name\"". Each
// track's channel messages become the events of new patterns (one per MIDI
// channel in format 0, one per track in format 1), each placed from time 0
// on a new track or, when the user so chooses, on the import's first track.
// Tempo, time and key signatures and marker texts of the first track go into
// the document's maps and markers.
//
// Times are scaled from each event's absolute time in the file's division to
// the song's resolution with rounding, so no division loses or drifts ticks;
// SMPTE divisions are refused. Every length in the file is checked against
// what its chunk holds and the import ends on any inconsistency: a failed
// import abandons its command, so the document is left exactly as it was.
//
// Results of Import: S_OK; STG_E_DOCFILECORRUPT for a file that is not a
// MIDI file of format 0 or 1 or whose chunks or events are malformed;
// STG_E_READFAULT when the file ends inside a chunk or before its tracks;
// STG_E_INVALIDFUNCTION when a chunk cannot be skipped; E_NOTIMPL for an
// SMPTE division (after telling the user); E_OUTOFMEMORY; or the failure of
// a document edit.
//
// UI thread: the combine question is a modal prompt.
#pragma once

#include <array>
#include <vector>

#include "model/CMfxEvent.h"

#include "model/ISmfImportDocument.h"

class CPattern;
class CSMFFile;
class CSMFTrack;

class CSMF {
public:
    // Song time is kept below this, so that rounding a pattern up to a whole
    // measure never reaches the duration that makes a pattern endless.
    static constexpr LONG kMaxTick = 0x3FFFFFFF;
    static constexpr std::size_t kMaxMarkerName = 63;
    static constexpr LONG kMinTempo = 800;
    static constexpr LONG kMaxTempo = 25000;

    CSMF(ISmfImportDocument* document, CSMFFile* file);

    HRESULT Import();

private:
    enum ChunkType { kOtherChunk = 0, kHeaderChunk = 1, kTrackChunk = 2 };

    HRESULT ImportFile();
    // The chunk type (kOtherChunk for an unknown one) and its length;
    // STG_E_READFAULT when fewer than 8 bytes remain.
    HRESULT ReadChunkHeader(ChunkType* type, DWORD* length);
    HRESULT ReadHeader(DWORD length);
    HRESULT ReadTrack(CSMFTrack* track, bool firstTrack, DWORD length);
    // A meta event's data, which lies wholly inside its chunk.
    HRESULT ReadMeta(CSMFTrack* track, bool firstTrack, LONG time, BYTE type, const BYTE* data, DWORD length);
    void ReadChannelMessage(CSMFTrack* track, LONG time, BYTE status, BYTE data1, BYTE data2);
    HRESULT FinishTrack(CSMFTrack* track);
    // Hands the events to the pattern and gives it their length rounded up
    // to a whole measure, at least one.
    HRESULT FillPattern(CPattern* pattern, std::vector<CMfxEvent>* events);
    // Asks once per import whether later patterns share the first track.
    bool AskCombine();
    // Song ticks of a time in the file's division, rounded, at most kMaxTick.
    LONG ScaleTime(ULONGLONG fileTime) const;

    ISmfImportDocument* m_document;
    CSMFFile* m_file;
    WORD m_format = 0;
    WORD m_trackCount = 0;
    WORD m_division = 0;
    LONG m_ticksPerQuarter = 0;
    // The patterns the current track made, by MIDI channel (format 0) or at
    // 0 (format 1).
    std::array<CPattern*, 16> m_patterns{};
    bool m_haveTrack = false;
    SHORT m_firstTrack = 0;
    bool m_asked = false;
    bool m_combine = false;
    bool m_commandOpen = false;
};
