#include "uikit/CPersistSettings.h"

#include "model/CKelPersistArchive.h"

HRESULT CPersistSettings::Persist(int version, CKelPersistArchive* archive, void* context)
{
    if (!archive)
        return E_POINTER;
    return archive->IsSaving() ? SaveSettings(archive, context) : LoadSettings(version, archive, context);
}

HRESULT CPersistSettings::LoadSettings(int, CKelPersistArchive*, void*)
{
    return S_OK;
}

HRESULT CPersistSettings::SaveSettings(CKelPersistArchive*, void*)
{
    return S_OK;
}
