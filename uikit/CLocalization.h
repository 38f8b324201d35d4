// The user-interface language and the character set that goes with it,
// read once at start-up from the machine's "Language" value of the
// application key. UI thread only.
#pragma once

#include "platform/win/WinTypes.h"

class CLocalization {
public:
    enum Language : std::uint32_t { English, Japanese, German, French, Spanish, Portuguese, Italian };

    // Language from GetUiLanguage; Japanese takes character set 128 and double bytes.
    void Init();
    // "Language" (default "English") under HKEY_LOCAL_MACHINE\<application key>,
    // compared without regard to case; no key or an unknown name is English.
    static std::uint32_t GetUiLanguage();

    std::uint32_t m_language = English;
    std::uint8_t m_charSet = 0;
    std::uint32_t m_doubleByte = 0;
};
