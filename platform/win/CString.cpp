#include "platform/win/CString.h"

#include <strings.h>

#include <cstdio>
#include <vector>

int CString::Replace(const char* from, const char* to)
{
    std::string_view f(from ? from : "");
    std::string_view t(to ? to : "");
    if (f.empty())
        return 0;
    int n = 0;
    for (std::size_t p = m_s.find(f); p != std::string::npos; p = m_s.find(f, p + t.size())) {
        m_s.replace(p, f.size(), t);
        ++n;
    }
    return n;
}

int CString::CompareNoCase(const char* s) const
{
    return strcasecmp(m_s.c_str(), s ? s : "");
}

void CString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::FormatV(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n < 0) {
        m_s.clear();
        return;
    }
    std::vector<char> buf(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(buf.data(), buf.size(), format, args);
    m_s.assign(buf.data(), static_cast<std::size_t>(n));
}
