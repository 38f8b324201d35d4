#include "engine/hosting/CMvFile.h"

#include <cstring>

#include "engine/hosting/CMidiDoc.h"
#include "engine/hosting/CProjMetrics.h"
#include "model/CKelPersistArchive.h"
#include "model/IKelPersist.h"
#include "model/PersistIo.h"
#include "resources/MorvaneStrings.h"
#include "uikit/core/ResString.h"

namespace {

CMidiDoc* g_fileDocument = nullptr;
DWORD g_purpose = CMvFile::kPurposeNone;

}  // namespace

const BYTE CMvFile::kSignature[kSignatureBytes] = {'V', 'a', 'r', 'n', 'h', 'o', 'l', 't', ' ',
                                                   'M', 'v', ' ', 'F', 'i', 'l', 'e', 0x1A};

CMvFile::CMvFile(CMidiDoc* document, IPersistStreamInit* engineOwner)
    : CKelPersistObject(MakeKelVersionWord(kMajor, 0)),
      m_document(document),
      m_engineOwner(engineOwner),
      m_previousFileDocument(g_fileDocument),
      m_previousSongDocument(GetSongDocument())
{
    g_fileDocument = document;
    if (document != nullptr)
        SetSongDocument(document);
}

CMvFile::~CMvFile()
{
    g_fileDocument = m_previousFileDocument;
    if (m_document != nullptr)
        SetSongDocument(m_previousSongDocument);
}

void CMvFile::LoadHeaderStrings()
{
    m_typeName = CString(LoadResString(IDS_PROJECT_TYPE_NAME));
    GetModuleVersionString(nullptr, "FileVersion", m_version);
}

CMidiDoc* CMvFile::GetCurrentFileDocument() { return g_fileDocument; }

DWORD CMvFile::GetPersistPurpose() { return g_purpose; }

void CMvFile::SetPersistPurpose(DWORD purpose) { g_purpose = purpose; }

STDMETHODIMP CMvFile::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    CMidiDoc* document = g_fileDocument;
    if (document == nullptr)
        return E_UNEXPECTED;
    if (KelVersionIndex(versionWord) != 0)
        return KELPERSIST_E_UNKNOWNCHUNK;
    if (archive == nullptr || archive->GetStream() == nullptr)
        return E_POINTER;

    HRESULT hr = S_OK;
    if (archive->IsSaving()) {
        if (FAILED(hr = mvpersist::WriteAll(archive->GetStream(), kSignature, kSignatureBytes)))
            return hr;
    } else {
        BYTE read[kSignatureBytes] = {};
        ULONG got = 0;
        if (FAILED(hr = archive->GetStream()->Read(read, kSignatureBytes, &got)))
            return hr;
        if (got != kSignatureBytes || std::memcmp(read, kSignature, kSignatureBytes) != 0)
            return E_FAIL;
    }
    if (FAILED(hr = archive->PersistString(&m_typeName)) || FAILED(hr = archive->PersistString(&m_version)))
        return hr;
    CProjMetrics& metrics = CProjMetrics::Instance();
    if (FAILED(hr = metrics.FillFromDocument(document)) || FAILED(hr = archive->PersistObject(&metrics)) ||
        FAILED(hr = archive->PersistObject(document)) || FAILED(hr = archive->PersistObject(m_engineOwner)))
        return hr;
    return S_OK;
}
