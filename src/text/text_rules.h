#pragma once

#include <QChar>
#include <QStringView>

#include <array>
#include <cstdint>

// What a code point is, in the few ways the counts, the title, the Markdown lines and text
// layout ask: one decoding of UTF-16, one table for the Basic Multilingual Plane (where nearly
// all text lies, so no lookup in Qt's property tables is made per character), and each notion of
// white space under a name of its own. They differ on purpose: words are separated by any
// Unicode white space, Markdown trims only spaces and tabs and never a line break.
namespace quillet::text {

// The code point at `index`: a surrogate pair decoded, a lone surrogate as itself.
inline char32_t codePointAt(QStringView text, qsizetype index)
{
    const char16_t unit = text[index].unicode();
    if (QChar::isHighSurrogate(unit) && index + 1 < text.size() &&
        QChar::isLowSurrogate(text[index + 1].unicode()))
        return QChar::surrogateToUcs4(unit, text[index + 1].unicode());
    return unit;
}

// The code point that ends just before `index`, decoded as codePointAt does.
inline char32_t codePointBefore(QStringView text, qsizetype index)
{
    const char16_t unit = text[index - 1].unicode();
    if (QChar::isLowSurrogate(unit) && index >= 2 &&
        QChar::isHighSurrogate(text[index - 2].unicode()))
        return QChar::surrogateToUcs4(text[index - 2].unicode(), unit);
    return unit;
}

// How many UTF-16 units the code point took, as codePointAt returned it.
constexpr int unitCount(char32_t codePoint)
{
    return codePoint >= 0x10000 ? 2 : 1;
}

namespace detail {

enum : std::uint8_t {
    kFormsCharacterAlone = 1,
    kUnicodeWhiteSpace = 2,
    kSpaceOrTab = 4,
    kJoinsPrevious = 8,
    kJoinsNext = 16,
};

extern const std::array<std::uint8_t, 0x10000> kBasicPlaneClasses;

inline bool hasClass(char32_t codePoint, std::uint8_t bit)
{
    return codePoint < 0x10000 && (kBasicPlaneClasses[codePoint] & bit) != 0;
}

bool joinsPreviousOutsideBasicPlane(char32_t codePoint);
bool joinsNextOutsideBasicPlane(char32_t codePoint);
bool formsCharacterAloneOutsideBasicPlane(char32_t codePoint);

} // namespace detail

// Unicode White_Space: spaces, tabs, no-break spaces and every line break. What separates words,
// and where text layout may wrap a line. All of it lies in the Basic Multilingual Plane.
inline bool isUnicodeWhiteSpace(char32_t codePoint)
{
    return detail::hasClass(codePoint, detail::kUnicodeWhiteSpace);
}

// U+000A to U+000D, U+0085, U+2028 and U+2029. Each is a character of its own, but for CR LF.
constexpr bool isLineBreak(char32_t codePoint)
{
    return (codePoint >= 0x000A && codePoint <= 0x000D) || codePoint == 0x0085 ||
           codePoint == 0x2028 || codePoint == 0x2029;
}

// A combining mark of any kind: general category Mn, Mc or Me.
inline bool isMark(char32_t codePoint)
{
    const QChar::Category category = QChar::category(codePoint);
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
           category == QChar::Mark_Enclosing;
}

// The five skin tones, which extend the emoji before them.
constexpr bool isEmojiModifier(char32_t codePoint)
{
    return codePoint >= 0x1F3FB && codePoint <= 0x1F3FF;
}

// Regional indicators, which pair up into flags.
constexpr bool isRegionalIndicator(char32_t codePoint)
{
    return codePoint >= 0x1F1E6 && codePoint <= 0x1F1FF;
}

// A space separator (general category Zs) or a tab; never a line break. Markdown's whitespace.
inline bool isSpaceOrTab(char32_t codePoint)
{
    return detail::hasClass(codePoint, detail::kSpaceOrTab);
}

// Whether the code point joins the character before it: marks, joiners, emoji modifiers, tags
// and the few spacing letters that extend.
inline bool joinsPrevious(char32_t codePoint)
{
    return codePoint < 0x10000 ? detail::hasClass(codePoint, detail::kJoinsPrevious)
                               : detail::joinsPreviousOutsideBasicPlane(codePoint);
}

// Whether the code point joins the character after it: prepended concatenation marks and
// letters.
inline bool joinsNext(char32_t codePoint)
{
    return codePoint < 0x10000 ? detail::hasClass(codePoint, detail::kJoinsNext)
                               : detail::joinsNextOutsideBasicPlane(codePoint);
}

// Whether a character boundary certainly lies between this code point and a neighbour of which
// the same holds, but for CR LF. Whatever can join, extend or pair with a neighbour is excluded:
// the code points of the two above, format characters, Hangul, regional indicators, surrogates
// and unassigned ones. Between two such code points no grapheme table needs to be asked.
inline bool formsCharacterAlone(char32_t codePoint)
{
    return codePoint < 0x10000 ? detail::hasClass(codePoint, detail::kFormsCharacterAlone)
                               : detail::formsCharacterAloneOutsideBasicPlane(codePoint);
}

// Whether the code unit at `index` is the ASCII character `mark` and a character on its own:
// a '#' followed by a combining mark is not a '#'. Only the code points next to it are read.
bool isCharacter(QStringView text, qsizetype index, char16_t mark);

// Position of the first character `mark` at or after `from`, or -1.
qsizetype indexOfCharacter(QStringView text, char16_t mark, qsizetype from = 0);

// Whether the last character of `text` is `mark`.
bool endsWithCharacter(QStringView text, char16_t mark);

// The text without spaces and tabs (isSpaceOrTab) at either end; a space that carries a mark is
// no space. Every character removed is a single code unit, so the difference in size is the
// number of characters removed.
QStringView trimmedOfSpacesAndTabs(QStringView text);

// Whether the text is not empty and every character in it is a numeral (decimal digits and also
// other numbers: superscripts, fractions, Roman numerals and so on).
bool isNumeral(QStringView text);

} // namespace quillet::text
