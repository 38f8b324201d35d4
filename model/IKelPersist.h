// The one-slot chunk serializer that every persistent class implements.
// The persistence base calls PersistChunk once per chunk it saves, loads or
// measures; the class transfers that chunk's fields through the archive in
// the direction the archive's saving flag gives.
#pragma once

#include "platform/win/WinTypes.h"

class CKelPersistArchive;

// Returned by PersistChunk for a chunk index the class does not know.
constexpr HRESULT KELPERSIST_E_UNKNOWNCHUNK = MakeHr(0x8CA20007);

struct IKelPersist {
    // versionWord: major << 16 | chunk index. Returns the first failing
    // transfer's HRESULT at once.
    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) = 0;
};

// The version word of a chunk: the class's major in the high half, a minor
// (outer chunk) or a chunk index (sub-chunk) in the low half.
constexpr DWORD MakeKelVersionWord(WORD major, WORD minorOrIndex)
{
    return static_cast<DWORD>(major) << 16 | minorOrIndex;
}
constexpr WORD KelVersionMajor(DWORD versionWord) { return static_cast<WORD>(versionWord >> 16); }
constexpr WORD KelVersionIndex(DWORD versionWord) { return static_cast<WORD>(versionWord & 0xFFFFu); }
