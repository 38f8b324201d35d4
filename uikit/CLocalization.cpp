#include "uikit/CLocalization.h"

#include "uikit/core/CAppRegKey.h"

void CLocalization::Init()
{
    m_language = GetUiLanguage();
    const bool japanese = m_language == Japanese;
    m_charSet = japanese ? 128 : 0;
    m_doubleByte = japanese ? 1 : 0;
}

std::uint32_t CLocalization::GetUiLanguage()
{
    static const char* const kNames[] = {"English", "Japanese", "German", "French",
                                         "Spanish", "Portuguese", "Italian"};
    CAppRegKey key("", CRegKeyBase::kOpenOnly, CRegKeyBase::kLocalMachine);
    if (!key.GetKey())
        return English;
    CString name;
    key.GetString("Language", "English", name);
    for (std::uint32_t i = 0; i < 7; ++i)
        if (name.CompareNoCase(kNames[i]) == 0)
            return i;
    return English;
}
