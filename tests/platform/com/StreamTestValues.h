// Seek and size arguments written as plain numbers in stream tests.
#pragma once

#include "platform/win/WinTypes.h"

namespace mvtest {

inline LARGE_INTEGER Move(LONGLONG v)
{
    LARGE_INTEGER m;
    m.QuadPart = v;
    return m;
}

inline ULARGE_INTEGER Size(ULONGLONG v)
{
    ULARGE_INTEGER s;
    s.QuadPart = v;
    return s;
}

}  // namespace mvtest
