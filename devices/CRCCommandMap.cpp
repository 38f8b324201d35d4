#include "devices/CRCCommandMap.h"

#include "model/CKelPersistArchive.h"
#include "model/CUndoInsertPtrStep.h"
#include "model/CUndoRemovePtrStep.h"
#include "model/CUndoSetPtrStep.h"
#include "model/IKelPersist.h"
#include "model/RunProjectEdit.h"
#include "model/SubmitUndoStep.h"

namespace {
// Bytes of one saved entry before its target: the index and at least a
// chunk header.
constexpr ULONGLONG kMinEntryBytes = 1 + 12;
}  // namespace

CRCCommandMap::CRCCommandMap(ICommandDocument* document, CMidiInputRouter* router)
    : CKelPersistObject(MakeKelVersionWord(kMajor, 0)), m_document(document), m_router(router)
{
}

CRCCommandMap::~CRCCommandMap()
{
    for (const auto& [index, target] : m_map.Items()) {
        target->Unregister();
        CRCTarget::Destroy(target);
    }
}

HRESULT CRCCommandMap::AssignCommand(LONG commandId, CMvRCCommand* target, CMvCommand* command)
{
    const int index = CMvRCCommand::IndexOf(commandId);
    if (index == 0)
        return E_FAIL;
    return RunProjectEdit(command, true, m_document, "Assign remote control.", 0, [&](CMvCommand* c) {
        SubmitUndoStep<CUndoInsertPtrStep<DWORD, CMvRCCommand>>(c, m_map, static_cast<DWORD>(index), target);
    });
}

HRESULT CRCCommandMap::ModifyCommand(LONG commandId, CMvRCCommand* target, CMvCommand* command)
{
    const int index = CMvRCCommand::IndexOf(commandId);
    if (index == 0)
        return E_FAIL;
    return RunProjectEdit(command, true, m_document, "Modify remote control.", 0, [&](CMvCommand* c) {
        SubmitUndoStep<CUndoSetPtrStep<DWORD, CMvRCCommand>>(c, m_map, static_cast<DWORD>(index), target);
    });
}

HRESULT CRCCommandMap::UnassignCommand(LONG commandId, CMvCommand* command)
{
    const int index = CMvRCCommand::IndexOf(commandId);
    if (index == 0)
        return E_FAIL;
    return RunProjectEdit(command, true, m_document, "Unassign remote control.", 0, [&](CMvCommand* c) {
        SubmitUndoStep<CUndoRemovePtrStep<DWORD, CMvRCCommand>>(c, m_map, static_cast<DWORD>(index));
    });
}

STDMETHODIMP CRCCommandMap::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    if (KelVersionIndex(versionWord) != 0)
        return KELPERSIST_E_UNKNOWNCHUNK;
    HRESULT hr;
    DWORD count = static_cast<DWORD>(m_map.GetSize());
    if (FAILED(hr = archive->PersistBytes(sizeof count, &count)))
        return hr;
    if (archive->IsSaving()) {
        for (const auto& [index, target] : m_map.Items()) {
            BYTE key = static_cast<BYTE>(index);
            if (FAILED(hr = archive->PersistBytes(sizeof key, &key)) || FAILED(hr = archive->PersistObject(target)))
                return hr;
        }
        return S_OK;
    }
    // A count that the chunk cannot hold is refused before anything is made.
    if (FAILED(hr = archive->CheckRemaining(static_cast<ULONGLONG>(count) * kMinEntryBytes)))
        return hr;
    for (DWORD i = 0; i < count; ++i) {
        BYTE key = 0;
        if (FAILED(hr = archive->PersistBytes(sizeof key, &key)))
            return hr;
        CMvRCCommand* target = nullptr;
        if (FAILED(hr = CMvRCCommand::Create(m_router, &target)))
            return hr;
        if (FAILED(hr = archive->PersistObject(target)) || FAILED(hr = m_map.Insert(key, target))) {
            CRCTarget::Destroy(target);
            return hr;
        }
    }
    return S_OK;
}
