// The narrow string class the Parts pass around: value semantics over
// std::string with the member names the Parts use. Indices are ints; -1
// means "not found".
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <string>
#include <string_view>

class CString {
public:
    CString() = default;
    CString(const char* s) : m_s(s ? s : "") {}
    CString(const char* s, int n) : m_s(s ? std::string(s, static_cast<std::size_t>(std::max(n, 0))) : "") {}
    CString(std::string s) : m_s(std::move(s)) {}
    CString(std::string_view s) : m_s(s) {}
    CString(char c, int repeat = 1) : m_s(static_cast<std::size_t>(std::max(repeat, 0)), c) {}

    operator const char*() const { return m_s.c_str(); }
    const char* GetString() const { return m_s.c_str(); }
    const std::string& Str() const { return m_s; }

    int GetLength() const { return static_cast<int>(m_s.size()); }
    bool IsEmpty() const { return m_s.empty(); }
    void Empty() { m_s.clear(); }
    char GetAt(int i) const { return m_s[static_cast<std::size_t>(i)]; }
    void SetAt(int i, char c) { m_s[static_cast<std::size_t>(i)] = c; }
    char operator[](int i) const { return GetAt(i); }

    CString Left(int n) const { return CString(m_s.substr(0, Clamp(n))); }
    CString Right(int n) const
    {
        std::size_t k = Clamp(n);
        return CString(m_s.substr(m_s.size() - k));
    }
    CString Mid(int first) const { return CString(m_s.substr(Clamp(first))); }
    CString Mid(int first, int count) const
    {
        std::size_t f = Clamp(first);
        return CString(m_s.substr(f, static_cast<std::size_t>(std::max(count, 0))));
    }

    int Find(char c, int start = 0) const { return ToIndex(m_s.find(c, Clamp(start))); }
    int Find(const char* s, int start = 0) const { return ToIndex(m_s.find(s, Clamp(start))); }
    int ReverseFind(char c) const { return ToIndex(m_s.rfind(c)); }
    int FindOneOf(const char* set) const { return ToIndex(m_s.find_first_of(set)); }

    CString& TrimLeft()
    {
        m_s.erase(0, m_s.find_first_not_of(" \t\r\n"));
        return *this;
    }
    CString& TrimRight()
    {
        std::size_t e = m_s.find_last_not_of(" \t\r\n");
        m_s.erase(e == std::string::npos ? 0 : e + 1);
        return *this;
    }
    CString& Trim() { return TrimRight().TrimLeft(); }
    CString& MakeUpper()
    {
        for (char& c : m_s)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return *this;
    }
    CString& MakeLower()
    {
        for (char& c : m_s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return *this;
    }
    int Replace(char from, char to)
    {
        int n = 0;
        for (char& c : m_s)
            if (c == from) {
                c = to;
                ++n;
            }
        return n;
    }
    int Replace(const char* from, const char* to);
    int Delete(int index, int count = 1)
    {
        if (index >= 0 && index < GetLength())
            m_s.erase(static_cast<std::size_t>(index), static_cast<std::size_t>(std::max(count, 0)));
        return GetLength();
    }
    int Insert(int index, const char* s)
    {
        m_s.insert(Clamp(index), s ? s : "");
        return GetLength();
    }
    int CompareNoCase(const char* s) const;

    // printf-style formatting, as the Parts' formats are written.
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void FormatV(const char* format, va_list args);

    CString& operator=(const char* s)
    {
        m_s = s ? s : "";
        return *this;
    }
    CString& operator+=(const CString& s)
    {
        m_s += s.m_s;
        return *this;
    }
    CString& operator+=(const char* s)
    {
        m_s += s ? s : "";
        return *this;
    }
    CString& operator+=(char c)
    {
        m_s += c;
        return *this;
    }
    friend CString operator+(CString a, const CString& b) { return a += b; }
    friend CString operator+(CString a, const char* b) { return a += b; }
    friend CString operator+(const char* a, const CString& b) { return CString(a) += b; }
    friend CString operator+(CString a, char c) { return a += c; }
    friend bool operator==(const CString& a, const CString& b) { return a.m_s == b.m_s; }
    friend bool operator==(const CString& a, const char* b) { return a.m_s == (b ? b : ""); }
    friend bool operator!=(const CString& a, const CString& b) { return a.m_s != b.m_s; }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
    friend bool operator<(const CString& a, const CString& b) { return a.m_s < b.m_s; }

private:
    std::size_t Clamp(int n) const { return static_cast<std::size_t>(std::clamp(n, 0, GetLength())); }
    static int ToIndex(std::size_t p) { return p == std::string::npos ? -1 : static_cast<int>(p); }

    std::string m_s;
};
