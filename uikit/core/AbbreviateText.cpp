#include "uikit/core/AbbreviateText.h"

#include <cstring>

namespace {

constexpr int kTopRank = 4;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsLetter(char c)
{
    return IsVowel(c) || IsConsonant(c);
}

bool IsWordInitial(char c, char previous)
{
    return IsLetter(c) && !IsLetter(previous) && !IsDigit(previous);
}

}  // namespace

bool IsVowel(char c)
{
    return c != '\0' && std::strchr("AEIOUaeiou", c) != nullptr;
}

bool IsConsonant(char c)
{
    return c != '\0' && std::strchr("BCDFGHJKLMNPQRSTVWXYZbcdfghjklmnpqrstvwxyz", c) != nullptr;
}

int GetAbbrevRank(char c, char previous)
{
    if (IsDigit(c))
        return 4;
    if (IsWordInitial(c, previous))
        return 3;
    if (IsConsonant(c))
        return 2;
    if (IsVowel(c))
        return 1;
    return 0;
}

char CapitalizeWordInitial(char c, char previous)
{
    if (IsWordInitial(c, previous) && c >= 'a' && c <= 'z')
        return static_cast<char>(c - 'a' + 'A');
    return c;
}

void AbbreviateText(const char* source, int sourceLength, char* destination, int budget, char fill)
{
    if (budget <= 0)
        return;
    if (sourceLength <= budget) {
        std::memset(destination, fill, static_cast<std::size_t>(budget));
        if (sourceLength > 0)
            std::memcpy(destination, source, static_cast<std::size_t>(sourceLength));
        return;
    }

    int counts[kTopRank + 1] = {};
    char previous = '\0';
    for (int i = 0; i < sourceLength; ++i) {
        ++counts[GetAbbrevRank(source[i], previous)];
        previous = source[i];
    }

    // Whole ranks from the top while they fit; the first that does not is
    // cut, and only its earliest characters get the places left over.
    int left = budget;
    int cut = kTopRank;
    while (cut >= 0 && counts[cut] <= left)
        left -= counts[cut--];

    previous = '\0';
    for (int i = 0; i < sourceLength; ++i) {
        char c = source[i];
        int rank = GetAbbrevRank(c, previous);
        if (rank > cut || (rank == cut && left-- > 0))
            *destination++ = CapitalizeWordInitial(c, previous);
        previous = c;
    }
}
