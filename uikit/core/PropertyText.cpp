#include "uikit/core/PropertyText.h"

#include <cerrno>
#include <climits>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

namespace prop {

LONG LeadingInt(const char* text)
{
    if (text == nullptr)
        return 0;
    errno = 0;
    const long long v = std::strtoll(text, nullptr, 10);
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<LONG>(v);
}

double LeadingDouble(const char* text)
{
    return text == nullptr ? 0.0 : std::atof(text);
}

bool ChangeType(const VARIANT& in, VARTYPE vt, VARIANT* out)
{
    return SUCCEEDED(VariantChangeType(out, &in, 0, vt));
}

CString FormatInt(LONG value)
{
    CString s;
    s.Format("%d", value);
    return s;
}

LONGLONG PowerOfTen(int decimals)
{
    LONGLONG p = 1;
    for (int i = 0; i < decimals; ++i)
        p *= 10;
    return p;
}

CString FormatScaled(LONG value, int decimals)
{
    const LONG divisor = static_cast<LONG>(PowerOfTen(decimals));
    const LONG whole = value / divisor;
    const LONG fraction = static_cast<LONG>(std::llabs(static_cast<LONGLONG>(value % divisor)));
    CString s;
    s.Format(value < 0 && whole == 0 ? "-%d.%0*d" : "%d.%0*d", whole, decimals, fraction);
    return s;
}

LONGLONG ParseScaled(const char* text, int decimals)
{
    const std::string t(text, strnlen(text, 64));
    const std::size_t point = t.find('.');
    const std::string wholeText = t.substr(0, point);
    std::string fractionDigits;
    if (point != std::string::npos) {
        for (std::size_t i = point + 1; i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])) &&
                                        fractionDigits.size() < static_cast<std::size_t>(decimals);
             ++i)
            fractionDigits += t[i];
    }
    LONGLONG fraction = 0;
    for (char c : fractionDigits)
        fraction = fraction * 10 + (c - '0');
    fraction *= PowerOfTen(decimals - static_cast<int>(fractionDigits.size()));
    const LONGLONG product = static_cast<LONGLONG>(LeadingInt(wholeText.c_str())) * PowerOfTen(decimals);
    const std::size_t first = t.find_first_not_of(" \t");
    const bool minus = first != std::string::npos && t[first] == '-';
    return product < 0 || (product == 0 && minus) ? product - fraction : product + fraction;
}

bool IsScaledChar(int ch)
{
    return (ch >= '0' && ch <= '9') || ch == '-' || ch == '+' || ch == '.';
}

}  // namespace prop
