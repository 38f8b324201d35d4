// The error list of an audio back-end: the messages of its failures, kept
// until the engine owner fetches them to show the user. At most 10 messages
// are kept; the eleventh error adds "Too many errors." in its place and
// later ones are dropped, until the list is handed over and starts again.
// UI thread (where the back-end operations run).
#pragma once

#include <cstddef>
#include <vector>

#include "platform/win/CString.h"
#include "platform/win/WinTypes.h"

class CAudioErrorList {
public:
    static constexpr std::size_t kMaxErrors = 10;

    void Add(const char* text);
    // String-table text `textId` formatted with the arguments, which must be
    // what its conversions expect: the texts write HRESULTs with "%08lx", so
    // an HRESULT goes as an unsigned long.
    void AddFormat(UINT textId, ...);

    // Moves the messages into `errors` (replacing what it held) and empties
    // the list. E_POINTER for null.
    HRESULT Take(std::vector<CString>* errors);

    std::size_t GetCount() const { return m_errors.size(); }

private:
    std::vector<CString> m_errors;
};
