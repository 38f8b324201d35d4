#include "engine/hosting/CProjMetrics.h"

#include "engine/hosting/CMidiDoc.h"
#include "model/CKelPersistArchive.h"
#include "model/IKelPersist.h"

CProjMetrics::CProjMetrics() : CKelPersistObject(MakeKelVersionWord(kMajor, 0)) {}

CProjMetrics& CProjMetrics::Instance()
{
    static CProjMetrics metrics;
    return metrics;
}

HRESULT CProjMetrics::FillFromDocument(CMidiDoc* document)
{
    if (document == nullptr)
        return E_UNEXPECTED;
    m_date.Empty();
    m_patternCount = static_cast<DWORD>(document->GetPatternCount());
    m_channelCount = static_cast<DWORD>(document->Channels().size());
    m_reserved = 0;
    m_valid = TRUE;
    return S_OK;
}

STDMETHODIMP CProjMetrics::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    if (archive == nullptr)
        return E_POINTER;
    if (KelVersionIndex(versionWord) != 0)
        return S_OK;
    HRESULT hr = archive->PersistBytes(sizeof m_patternCount, &m_patternCount);
    if (FAILED(hr) || FAILED(hr = archive->PersistBytes(sizeof m_channelCount, &m_channelCount)) ||
        FAILED(hr = archive->PersistString(&m_date)))
        return hr;
    return archive->PersistBytes(sizeof m_reserved, &m_reserved);
}
