// Added beside its window base by a frame or view that keeps view settings
// (zoom, positions, visible panes) in the project's stream. The persistence
// code calls Persist; it goes to SaveSettings while the archive stores and
// to LoadSettings while it loads, and passes the result back unchanged. The
// defaults succeed with nothing read or written, so a view without settings
// loads and saves cleanly. UI thread only.
#pragma once

#include "platform/win/WinTypes.h"

class CKelPersistArchive;

class CPersistSettings {
public:
    virtual ~CPersistSettings() = default;
    virtual HRESULT Persist(int version, CKelPersistArchive* archive, void* context);
    virtual HRESULT LoadSettings(int version, CKelPersistArchive* archive, void* context);
    virtual HRESULT SaveSettings(CKelPersistArchive* archive, void* context);
};
