#include "model/CKelStreamHeader.h"

#include "model/CKelPersistArchive.h"

CKelStreamHeader::CKelStreamHeader() : CKelPersistObject(0x00000000) {}

STDMETHODIMP CKelStreamHeader::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    if (KelVersionIndex(versionWord) != 0)
        return S_OK;
    return archive->PersistBytes(sizeof m_contextPosition, &m_contextPosition);
}
