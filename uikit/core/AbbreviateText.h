// Abbreviation of labels for narrow fields: a text longer than the field
// keeps its digits first, then word initials, consonants, vowels and last
// everything else, in text order, so "Bass Drum" in five places reads "BssDr".
// Characters are single bytes; letters and digits are those of ASCII.
#pragma once

// Writes `budget` characters to `destination`. A text that fits is copied
// over a field of the fill character; a longer one is abbreviated to exactly
// `budget` characters, word initials in upper case. The destination is not
// terminated: callers clear it first.
void AbbreviateText(const char* source, int sourceLength, char* destination, int budget, char fill);

bool IsVowel(char c);
bool IsConsonant(char c);
// 4 digit, 3 word initial (a letter after neither letter nor digit), 2
// consonant, 1 vowel, 0 anything else. The first character's previous is 0.
int GetAbbrevRank(char c, char previous);
// A lower-case word initial in upper case; any other character as it is.
char CapitalizeWordInitial(char c, char previous);
