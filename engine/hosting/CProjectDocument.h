// What the application's document object needs to load and save projects
// (".mvp") and templates (".mvt"): it owns the song document, builds an
// empty one for a new project, and runs a save or a load of the project
// file (CMvFile) through a file stream, with the main window's persistent
// part after the project data when there is a main window.
//
// Saving writes a new file beside the old one, hands it to the storage
// device and renames it over the old one only when everything, the closing
// of the file included, succeeded; on any failure the old file stays as it
// was and the user sees message 16388.
//
// Loading holds the audio renderer's lock throughout, so the audio thread
// renders silence meanwhile. The song is loaded into a fresh document; the
// open one is kept as a project image in memory first (the program-wide ids
// and the loop-clip pool allow one song at a time), and a file that is not
// a project or is damaged shows message 16387, sets the load-failed flag
// and brings the open song back from that image. The undo history, whose
// steps name the objects of the document that was replaced, is cleared
// under the lock after every load.
//
// Threads: the UI thread.
#pragma once

#include "platform/com/Persist.h"
#include "platform/win/WinTypes.h"

class CHeapCriticalSection;
class CMidiDoc;
class IDocumentEngine;

class CProjectDocument {
public:
    struct Setup {
        IDocumentEngine* engine = nullptr;
        // The engine owner's persistent object (major 0x6018).
        IPersistStreamInit* engineOwner = nullptr;
        // Null: no audio renderer yet.
        CHeapCriticalSection* rendererLock = nullptr;
        // The main window's persistent part; null while there is none.
        IPersistStreamInit* mainWindow = nullptr;
    };

    explicit CProjectDocument(const Setup& setup);
    ~CProjectDocument();
    CProjectDocument(const CProjectDocument&) = delete;
    CProjectDocument& operator=(const CProjectDocument&) = delete;

    // A fresh empty song in place of the open one; the history is cleared.
    HRESULT NewDocument();
    HRESULT SaveProject(const char* path);
    HRESULT LoadProject(const char* path);

    // The command that writes the song's three diagnostic dumps into the
    // current directory; no menu carries it.
    static constexpr UINT kDumpXmlCommand = 32805;
    // Runs a command of the document object: S_FALSE for an id it does not
    // handle, E_UNEXPECTED without a song. The dumps are written in turn,
    // each also when one before it failed; the first failure is returned.
    HRESULT OnCommand(UINT id);

    // Null while no song is loaded.
    CMidiDoc* GetSongDocument() const { return m_document; }
    BOOL GetLoadFailed() const { return m_loadFailed; }

private:
    HRESULT CreateSong();
    void DestroySong();
    // The project file through the stream, saving or loading; the main
    // window's part after it when asked and there is one.
    HRESULT TransferProject(IStream* stream, BOOL saving, bool withMainWindow);
    HRESULT SaveToFile(const char* path);

    Setup m_setup;
    CMidiDoc* m_document = nullptr;
    BOOL m_loadFailed = FALSE;
};
