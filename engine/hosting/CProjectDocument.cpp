#include "engine/hosting/CProjectDocument.h"

#include <string>

#include "engine/hosting/CMidiDoc.h"
#include "engine/hosting/CMvFile.h"
#include "model/CFileStream.h"
#include "model/CHeapLockGuard.h"
#include "model/CKelPersistArchive.h"
#include "model/CUndoHistory.h"
#include "model/IKelPersist.h"
#include "platform/com/ComStream.h"
#include "platform/res/MessageBox.h"
#include "platform/sync/ThreadAffinity.h"
#include "platform/win/CFile.h"
#include "resources/MorvaneStrings.h"

namespace {

constexpr DWORD kProjectFileWord = MakeKelVersionWord(CMvFile::kMajor, 0);

HRESULT HrOfCause(CFile::Cause cause)
{
    switch (cause) {
    case CFile::none: return S_OK;
    case CFile::diskFull: return STG_E_MEDIUMFULL;
    case CFile::accessDenied: return STG_E_ACCESSDENIED;
    case CFile::fileNotFound: return STG_E_FILENOTFOUND;
    default: return E_FAIL;
    }
}

// The purpose word for one load or save, back to none afterwards.
class PurposeScope {
public:
    PurposeScope() { CMvFile::SetPersistPurpose(CMvFile::kPurposeProject); }
    ~PurposeScope() { CMvFile::SetPersistPurpose(CMvFile::kPurposeNone); }
    PurposeScope(const PurposeScope&) = delete;
    PurposeScope& operator=(const PurposeScope&) = delete;
};

}  // namespace

CProjectDocument::CProjectDocument(const Setup& setup) : m_setup(setup) {}

CProjectDocument::~CProjectDocument() { DestroySong(); }

HRESULT CProjectDocument::CreateSong()
{
    HRESULT hr = CMidiDoc::CreateMidiDoc(m_setup.engine, &m_document);
    if (SUCCEEDED(hr))
        SetSongDocument(m_document);
    return hr;
}

void CProjectDocument::DestroySong()
{
    if (m_document == nullptr)
        return;
    SetSongDocument(nullptr);
    CMidiDoc::DestroyMidiDoc(m_document);
}

HRESULT CProjectDocument::NewDocument()
{
    MV_ASSERT_UI_THREAD();
    CHeapLockGuard guard(m_setup.rendererLock);
    DestroySong();
    HRESULT hr = CreateSong();
    CUndoHistory::Instance().Clear();
    return hr;
}

HRESULT CProjectDocument::TransferProject(IStream* stream, BOOL saving, bool withMainWindow)
{
    CMvFile file(m_document, m_setup.engineOwner);
    file.LoadHeaderStrings();
    PurposeScope purpose;
    CKelPersistArchive archive(stream, saving, 1);
    HRESULT hr = file.PersistChunk(kProjectFileWord, &archive);
    if (SUCCEEDED(hr) && withMainWindow && m_setup.mainWindow != nullptr)
        hr = archive.PersistObject(m_setup.mainWindow);
    return hr;
}

HRESULT CProjectDocument::SaveToFile(const char* path)
{
    CFile file;
    std::string temp;
    HRESULT hr = HrOfCause(file.OpenTemporaryBeside(path, &temp));
    if (FAILED(hr))
        return hr;
    {
        HRESULT hrOpen = S_OK;
        CFileStream stream(&file, TRUE, &hrOpen);
        hr = hrOpen;
        if (SUCCEEDED(hr))
            hr = TransferProject(&stream, TRUE, true);
        // The context chunk, the patched header and every buffered byte
        // reach the file here; a failure is the save's.
        HRESULT hrClose = stream.Close();
        if (SUCCEEDED(hr))
            hr = hrClose;
    }
    if (SUCCEEDED(hr))
        hr = HrOfCause(file.Flush());
    HRESULT hrClose = HrOfCause(file.Close());
    if (SUCCEEDED(hr))
        hr = hrClose;
    if (SUCCEEDED(hr))
        hr = HrOfCause(CFile::Replace(temp.c_str(), path));
    if (FAILED(hr))
        CFile::Remove(temp.c_str());
    return hr;
}

HRESULT CProjectDocument::OnCommand(UINT id)
{
    MV_ASSERT_UI_THREAD();
    if (id != kDumpXmlCommand)
        return S_FALSE;
    if (m_document == nullptr)
        return E_UNEXPECTED;
    HRESULT hr = m_document->DumpParamsXml();
    const HRESULT content = m_document->DumpContentXml();
    const HRESULT maps = m_document->DumpMapsXml();
    if (SUCCEEDED(hr))
        hr = SUCCEEDED(content) ? maps : content;
    return hr;
}

HRESULT CProjectDocument::SaveProject(const char* path)
{
    MV_ASSERT_UI_THREAD();
    HRESULT hr = m_document != nullptr ? SaveToFile(path) : E_UNEXPECTED;
    if (FAILED(hr))
        AfxMessageBox(IDS_PROJECT_SAVE_FAILED);
    return hr;
}

HRESULT CProjectDocument::LoadProject(const char* path)
{
    MV_ASSERT_UI_THREAD();
    m_loadFailed = FALSE;
    CFile file;
    HRESULT hr = HrOfCause(file.Open(path, CFile::modeRead));
    if (FAILED(hr)) {
        AfxMessageBox(IDS_PROJECT_OPEN_FAILED);
        m_loadFailed = TRUE;
        return hr;
    }

    CHeapLockGuard guard(m_setup.rendererLock);
    // The open song as a project image, to come back to when the file fails.
    IStream* image = nullptr;
    if (m_document != nullptr) {
        hr = CreateStreamOnHGlobal(nullptr, TRUE, &image);
        if (SUCCEEDED(hr))
            hr = TransferProject(image, TRUE, false);
        if (FAILED(hr)) {
            if (image != nullptr)
                image->Release();
            AfxMessageBox(IDS_PROJECT_OPEN_FAILED);
            m_loadFailed = TRUE;
            return hr;
        }
    }

    DestroySong();
    hr = CreateSong();
    if (SUCCEEDED(hr)) {
        // A file without the stream header is read from its first byte.
        CFileStream stream(&file, FALSE, nullptr);
        hr = TransferProject(&stream, FALSE, true);
    }
    if (FAILED(hr)) {
        AfxMessageBox(IDS_PROJECT_OPEN_FAILED);
        m_loadFailed = TRUE;
        DestroySong();
        HRESULT back = E_FAIL;
        if (image != nullptr) {
            const LARGE_INTEGER start{};
            back = image->Seek(start, STREAM_SEEK_SET, nullptr);
            if (SUCCEEDED(back))
                back = CreateSong();
            if (SUCCEEDED(back))
                back = TransferProject(image, FALSE, false);
        }
        if (FAILED(back)) {
            DestroySong();
            if (FAILED(CreateSong()))
                AfxMessageBox(IDS_PROJECT_OPEN_FAILED);
        }
    }
    if (image != nullptr)
        image->Release();
    CUndoHistory::Instance().Clear();
    return hr;
}
