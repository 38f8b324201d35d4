#include "devices/CAudioErrorList.h"

#include <cstdarg>

#include "resources/MorvaneStrings.h"
#include "uikit/core/ResString.h"

void CAudioErrorList::Add(const char* text)
{
    if (m_errors.size() < kMaxErrors)
        m_errors.emplace_back(text);
    else if (m_errors.size() == kMaxErrors)
        m_errors.emplace_back(LoadResString(IDS_TOO_MANY_ERRORS));
}

void CAudioErrorList::AddFormat(UINT textId, ...)
{
    if (m_errors.size() > kMaxErrors)
        return;
    CString text;
    va_list args;
    va_start(args, textId);
    text.FormatV(LoadResString(textId), args);
    va_end(args);
    Add(text);
}

HRESULT CAudioErrorList::Take(std::vector<CString>* errors)
{
    if (!errors)
        return E_POINTER;
    *errors = std::move(m_errors);
    m_errors.clear();
    return S_OK;
}
