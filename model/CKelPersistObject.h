// The persistence base that persistent classes derive from: adds the
// reference count of COM-style hand-outs. Release never deletes: objects are
// created and destroyed by their owners.
//
// A persistent class passes its version word (major << 16 | minor) to the
// constructor and implements IKelPersist::PersistChunk:
//
//   class CTempo : public CKelPersistObject, public CSelectableObject {
//   public:
//       CTempo() : CKelPersistObject(0x600B0000) {}
//       STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;
//   };
//
// QueryInterface answers IUnknown and IPersistStreamInit with the object
// itself; any other interface is E_NOTIMPL (IPersistStream too).
#pragma once

#include <atomic>

#include "model/CKelPersistCOMObject.h"

class CKelPersistObject : public CKelPersistCOMObject {
public:
    explicit CKelPersistObject(DWORD versionWord);
    CKelPersistObject(const CKelPersistObject& other);
    // Copies the persistence fields; the reference count stays this object's.
    CKelPersistObject& operator=(const CKelPersistObject& other);

    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;

private:
    std::atomic<ULONG> m_refs;
};
