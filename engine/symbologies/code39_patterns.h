// Code 39 in narrow/wide letters: nine elements per character, bar first,
// three of them wide; the tables are expanded for the seven printing ratios
// of the wide/narrow symbologies.
#pragma once

#include <array>
#include <string_view>

namespace zeph::code39 {

// Token v is the character of value v.
inline constexpr std::string_view kCharacters =
    "NNNWWNWNN WNNWNNNNW NNWWNNNNW WNWWNNNNN NNNWWNNNW WNNWWNNNN NNWWWNNNN NNNWNNWNW "
    "WNNWNNWNN NNWWNNWNN WNNNNWNNW NNWNNWNNW WNWNNWNNN NNNNWWNNW WNNNWWNNN NNWNWWNNN "
    "NNNNNWWNW WNNNNWWNN NNWNNWWNN NNNNWWWNN WNNNNNNWW NNWNNNNWW WNWNNNNWN NNNNWNNWW "
    "WNNNWNNWN NNWNWNNWN NNNNNNWWW WNNNNNWWN NNWNNNWWN NNNNWNWWN WWNNNNNNW NWWNNNNNW "
    "WWWNNNNNN NWNNWNNNW WWNNWNNNN NWWNWNNNN NWNNNNWNW WWNNNNWNN NWWNNNWNN NWNWNWNNN "
    "NWNWNNNWN NWNNNWNWN NNNWNWNWN";
// The asterisk that starts and stops every symbol.
inline constexpr std::string_view kStartStop = "NWNNWNWNN";
inline constexpr std::string_view kAlphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";
inline constexpr int kCharacterCount = 43;
static_assert(kAlphabet.size() == kCharacterCount);
static_assert(kCharacters.size() == kCharacterCount * 10 - 1);

// Ratios outside these are no Code 39 start character.
inline constexpr float kMinRatio = 1.25f;
inline constexpr float kMaxRatio = 4.25f;

// Vehicle Identification Numbers: an 18-character reading "I" + the 17
// characters of the number, whose tenth character is a check digit.
inline constexpr int kVinLength = 18;
inline constexpr int kVinCheckPosition = 9;
inline constexpr int kVinYearPosition = 10;
inline constexpr int kLetterI = 18;
inline constexpr int kLetterX = 33;
inline constexpr int kLastAlphanumeric = 35;
// Numeric value of the digits and letters A to Z (values 0 to 35).
inline constexpr std::array<int, 36> kVinTransliteration = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9,  // 0-9
                                                            1, 2, 3, 4, 5, 6, 7, 8, 9,     // A-I
                                                            1, 2, 3, 4, 5, 6, 7, 8, 9,     // J-R
                                                            2, 3, 4, 5, 6, 7, 8, 9};       // S-Z
inline constexpr std::array<int, kVinLength> kVinWeights = {0, 8, 7, 6, 5, 4, 3, 2, 10,
                                                            0, 9, 8, 7, 6, 5, 4, 3, 2};
// Model year of the tenth character of the number, by character value; word k
// is the four characters from 5k.
inline constexpr std::string_view kModelYears =
    "???? 2001 2002 2003 2004 2005 2006 2007 2008 2009 1980 1981 1982 1983 1984 1985 1986 1987 "
    "???? 1988 1989 1990 1991 1992 ???? 1993 ???? 1994 1995 1996 ???? 1997 1998 1999 2000 ????";
static_assert(kModelYears.size() == 36 * 5 - 1);

}  // namespace zeph::code39
