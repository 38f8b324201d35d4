// The edit control a dialog binds to a typed property: a hook on the edit
// window that lets through only the characters the property accepts, and,
// once its step keys are set up, steps the value with '+', '-', ']' and '['
// when the property does not take that key as a character. The property
// is not owned. UI thread only.
#pragma once

#include "uikit/CSubclassWnd.h"

class CProperty;

class CPropEditCtrl : public CSubclassWnd {
public:
    explicit CPropEditCtrl(CProperty* property) : m_property(property) {}

    void SetupStepButtons() { m_stepKeys = true; }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    CProperty* m_property;
    bool m_stepKeys = false;
};
