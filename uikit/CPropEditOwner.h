// What a property editor asks of the view that opened it: whether the
// editor is active, a new copy of the property being edited (the caller
// deletes it), whether the view takes live notes, and whether a character
// is valid for the property. UI thread only.
#pragma once

class CProperty;

class CPropEditOwner {
public:
    virtual ~CPropEditOwner() = default;
    virtual bool IsEditorActive() = 0;
    virtual CProperty* NewProperty() = 0;
    virtual bool TakesLiveNotes() = 0;
    virtual bool IsValidChar(int ch) = 0;
};
