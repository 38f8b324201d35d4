// The metrics block of a project file: how many patterns and channels the
// saved song holds, a date text (always written empty) and a reserved word.
// It is filled from the document before every save and overwritten by every
// load; nothing else reads it. One process-wide instance (Instance()).
//
// Saved as a single chunk (major 0x6001, minor 0): pattern count u32,
// channel count u32, date text, reserved u32.
//
// Threads: the UI thread (project load and save).
#pragma once

#include "model/CKelPersistObject.h"
#include "platform/win/CString.h"

class CMidiDoc;

class CProjMetrics : public CKelPersistObject {
public:
    static constexpr WORD kMajor = 0x6001;

    CProjMetrics();
    static CProjMetrics& Instance();

    // Empty date text, the document's pattern and channel counts, reserved 0,
    // valid; E_UNEXPECTED without a document.
    HRESULT FillFromDocument(CMidiDoc* document);

    DWORD GetPatternCount() const { return m_patternCount; }
    DWORD GetChannelCount() const { return m_channelCount; }
    const CString& GetDateText() const { return m_date; }
    BOOL IsValid() const { return m_valid; }

    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

private:
    CString m_date;
    DWORD m_patternCount = 0;
    DWORD m_channelCount = 0;
    DWORD m_reserved = 0;
    BOOL m_valid = FALSE;  // not persisted
};
