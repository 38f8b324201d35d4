#include "engine/mixer/CRCParamMap.h"

#include "engine/mixer/CControlParamSet.h"
#include "engine/mixer/IParamSetDocument.h"
#include "model/CKelPersistArchive.h"
#include "model/CUndoInsertPtrStep.h"
#include "model/CUndoRemovePtrStep.h"
#include "model/CUndoSetPtrStep.h"
#include "model/RunProjectEdit.h"
#include "model/SubmitUndoStep.h"

namespace {

// Bytes of one saved assignment before its object: the id and at least a
// chunk header.
constexpr ULONGLONG kMinEntryBytes = 4 + 12;

}  // namespace

CRCParamMap::CRCParamMap(CControlParamSet* owner) : CKelPersistObject(MakeKelVersionWord(kMajor, 0)), m_owner(owner) {}

HRESULT CRCParamMap::AssignParam(DWORD id, IRCParam* param, CMvCommand* command)
{
    ICommandDocument* document = m_owner ? m_owner->GetDocument() : nullptr;
    return RunProjectEdit(command, true, document, "Assign remote control.", 0, [&](CMvCommand* c) {
        SubmitUndoStep<CUndoInsertPtrStep<DWORD, IRCParam>>(c, m_map, id, param);
    });
}

HRESULT CRCParamMap::ModifyParam(DWORD id, IRCParam* param, CMvCommand* command)
{
    ICommandDocument* document = m_owner ? m_owner->GetDocument() : nullptr;
    return RunProjectEdit(command, true, document, "Modify remote control.", 0, [&](CMvCommand* c) {
        SubmitUndoStep<CUndoSetPtrStep<DWORD, IRCParam>>(c, m_map, id, param);
    });
}

HRESULT CRCParamMap::UnassignParam(DWORD id, CMvCommand* command)
{
    ICommandDocument* document = m_owner ? m_owner->GetDocument() : nullptr;
    return RunProjectEdit(command, true, document, "Unassign remote control.", 0, [&](CMvCommand* c) {
        SubmitUndoStep<CUndoRemovePtrStep<DWORD, IRCParam>>(c, m_map, id);
    });
}

STDMETHODIMP CRCParamMap::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    if (KelVersionIndex(versionWord) != 0)
        return KELPERSIST_E_UNKNOWNCHUNK;
    HRESULT hr;
    DWORD count = static_cast<DWORD>(m_map.GetSize());
    if (FAILED(hr = archive->PersistBytes(sizeof(count), &count)))
        return hr;
    if (archive->IsSaving()) {
        for (const auto& [id, param] : m_map.Items()) {
            DWORD key = id;
            if (FAILED(hr = archive->PersistBytes(sizeof(key), &key)))
                return hr;
            if (FAILED(hr = archive->PersistObject(param->GetPersist())))
                return hr;
        }
        return S_OK;
    }
    // A count that the chunk cannot hold is refused before anything is made.
    if (FAILED(hr = archive->CheckRemaining(static_cast<ULONGLONG>(count) * kMinEntryBytes)))
        return hr;
    if (m_owner == nullptr)
        return E_UNEXPECTED;
    for (DWORD i = 0; i < count; ++i) {
        DWORD id = 0;
        if (FAILED(hr = archive->PersistBytes(sizeof(id), &id)))
            return hr;
        IRCParam* param = nullptr;
        if (FAILED(hr = m_owner->NewRCParam(GUID_NULL, GUID_NULL, &param)))
            return hr;
        if (FAILED(hr = archive->PersistObject(param->GetPersist()))) {
            DestroyRCTarget(param);
            return hr;
        }
        if (FAILED(hr = m_map.Insert(id, param))) {
            DestroyRCTarget(param);
            return hr;
        }
        param->Register();
    }
    return S_OK;
}
