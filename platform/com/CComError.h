// The exception a failed DOM-style call raises to its caller: the HRESULT
// and a text for the log. Thrown only between our own toolkit classes and
// their callers on the UI thread; never across a COM boundary or on the
// audio thread.
#pragma once

#include "platform/win/CString.h"
#include "platform/win/WinTypes.h"

class CComError {
public:
    CComError(HRESULT hr, CString message) : m_hr(hr), m_message(std::move(message)) {}
    HRESULT Error() const { return m_hr; }
    const CString& ErrorMessage() const { return m_message; }

private:
    HRESULT m_hr;
    CString m_message;
};
