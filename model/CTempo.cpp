#include "model/CTempo.h"

#include "model/CKelPersistArchive.h"

CTempo::CTempo() : CKelPersistObject(MakeKelVersionWord(kMajor, 0)) {}

CTempo::CTempo(LONG tick, LONG tempo) : CTempo()
{
    m_tick = tick;
    m_tempo = tempo;
}

STDMETHODIMP CTempo::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    if (KelVersionIndex(versionWord) != 0)
        return KELPERSIST_E_UNKNOWNCHUNK;
    HRESULT hr = archive->PersistBytes(sizeof m_tempo, &m_tempo);
    if (SUCCEEDED(hr))
        hr = archive->PersistBytes(sizeof m_tick, &m_tick);
    return hr;
}
