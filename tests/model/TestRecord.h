// A persistent class for the persistence tests, with a field set per chunk:
//   chunk 0: number (u32), name (string), then the child's chunk when it has one
//   chunk 1: nothing
//   chunk 2: flag (bool)
//   chunk 3: extra (u32), only in objects built with minor 3
// Higher chunk indices are unknown to it.
#pragma once

#include "model/CKelPersistArchive.h"
#include "model/CKelPersistObject.h"

namespace mvtest {

class TestRecord : public CKelPersistObject {
public:
    explicit TestRecord(DWORD versionWord, TestRecord* child = nullptr)
        : CKelPersistObject(versionWord), m_child(child)
    {
    }

    STDMETHODIMP PersistChunk(DWORD versionWord, CKelPersistArchive* archive) override
    {
        ++m_chunkCalls;
        HRESULT hr = S_OK;
        switch (KelVersionIndex(versionWord)) {
        case 0:
            if (FAILED(hr = archive->PersistBytes(sizeof m_number, &m_number)))
                return hr;
            if (FAILED(hr = archive->PersistString(&m_name)))
                return hr;
            return m_child ? archive->PersistObject(m_child) : S_OK;
        case 1: return S_OK;
        case 2: return archive->PersistBool(&m_flag);
        case 3: return archive->PersistBytes(sizeof m_extra, &m_extra);
        default: return KELPERSIST_E_UNKNOWNCHUNK;
        }
    }

    STDMETHODIMP_(BOOL) IsSequentialOnly() override { return m_sequentialOnly; }

    void SetLock(CRITICAL_SECTION* lock) { m_lock = lock; }

    DWORD m_number = 0;
    CString m_name;
    BOOL m_flag = FALSE;
    DWORD m_extra = 0;
    TestRecord* m_child;
    BOOL m_sequentialOnly = TRUE;
    int m_chunkCalls = 0;
};

}  // namespace mvtest
