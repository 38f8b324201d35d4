// The exception that carries a failing HRESULT out of a loop over a container
// or out of an undo-step submission, to be caught again by the operation that
// started the loop or the edit, which returns the code.
#pragma once

#include "platform/win/WinTypes.h"

class CHResultException {
public:
    explicit CHResultException(HRESULT hr) : m_hr(hr) {}
    HRESULT Code() const { return m_hr; }

private:
    HRESULT m_hr;
};
