// The top of a project file (".mvp") or template (".mvt"): the 17-byte
// signature "Varnholt Mv File" and 0x1A, the document type name, the
// program's version text, the metrics block (CProjMetrics), the song
// document and the engine owner's chunk, all through the chunk persistence
// of an archive. CMvFile has no chunk header of its own: the document
// object calls PersistProjectFile with chunk 0 directly.
//
// While a CMvFile lives, its song document is the current file document:
// the one that persistent objects (pattern instances resolving their
// pattern ids) reach through GetSongDocument; the destructor hands the
// registration back to the document that held it before.
//
// The persistence purpose word tells persistent view objects why they are
// written: kPurposeProject while a project file is loaded or saved,
// kPurposeLayout for a window layout file, kPurposeNone otherwise.
//
// Threads: the UI thread.
#pragma once

#include "model/CKelPersistObject.h"
#include "platform/win/CString.h"

class CMidiDoc;
class ISongDocument;

class CMvFile : public CKelPersistObject {
public:
    static constexpr WORD kMajor = 0x6000;
    static constexpr ULONG kSignatureBytes = 17;
    static const BYTE kSignature[kSignatureBytes];

    static constexpr DWORD kPurposeNone = 0;
    static constexpr DWORD kPurposeProject = 1;
    static constexpr DWORD kPurposeLayout = 2;

    // engineOwner: the engine owner's persistent object (major 0x6018).
    CMvFile(CMidiDoc* document, IPersistStreamInit* engineOwner);
    ~CMvFile() override;
    CMvFile(const CMvFile&) = delete;
    CMvFile& operator=(const CMvFile&) = delete;

    // The document type name (string 16801) and the program's "FileVersion".
    void LoadHeaderStrings();
    const CString& GetTypeName() const { return m_typeName; }
    const CString& GetVersionText() const { return m_version; }

    // The song document of the CMvFile that lives now, or null.
    static CMidiDoc* GetCurrentFileDocument();
    static DWORD GetPersistPurpose();
    static void SetPersistPurpose(DWORD purpose);

    // PersistProjectFile: chunk 0 transfers the signature, the two texts,
    // the metrics, the document and the engine owner, in this order; the
    // first failure is returned. E_UNEXPECTED without a current file
    // document; a signature that differs or comes short: E_FAIL.
    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

private:
    CMidiDoc* m_document;
    IPersistStreamInit* m_engineOwner;
    CMidiDoc* m_previousFileDocument;
    ISongDocument* m_previousSongDocument;
    CString m_typeName;
    CString m_version;
};
