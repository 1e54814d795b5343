#include "text/text_rules.h"

namespace quillet::text {

namespace {

// The spacing marks after which Unicode's grapheme rules break all the same (mostly Myanmar).
bool isSpacingMarkThatStandsApart(char32_t codePoint)
{
    return (codePoint >= 0x102B && codePoint <= 0x102C) || codePoint == 0x1038 ||
           (codePoint >= 0x1062 && codePoint <= 0x1064) ||
           (codePoint >= 0x1067 && codePoint <= 0x106D) || codePoint == 0x1083 ||
           (codePoint >= 0x1087 && codePoint <= 0x108C) || codePoint == 0x108F ||
           (codePoint >= 0x109A && codePoint <= 0x109C) || codePoint == 0x1A61 ||
           codePoint == 0x1A63 || codePoint == 0x1A64 || codePoint == 0xAA7B ||
           codePoint == 0xAA7D || codePoint == 0x11720 || codePoint == 0x11721;
}

bool computeJoinsPrevious(char32_t codePoint)
{
    if (codePoint < 0x0300)
        return false;
    if (isMark(codePoint))
        return !isSpacingMarkThatStandsApart(codePoint);
    return codePoint == 0x200C || codePoint == 0x200D        // zero-width non-joiner and joiner
           || codePoint == 0xFF9E || codePoint == 0xFF9F     // halfwidth voiced sound marks
           || codePoint == 0x0E33 || codePoint == 0x0EB3     // Thai and Lao sara am
           || (codePoint >= 0xE0020 && codePoint <= 0xE007F) // tag characters
           || isEmojiModifier(codePoint);
}

bool computeJoinsNext(char32_t codePoint)
{
    if (codePoint < 0x0600)
        return false;
    return (codePoint >= 0x0600 && codePoint <= 0x0605) || codePoint == 0x06DD ||
           codePoint == 0x070F || codePoint == 0x0890 || codePoint == 0x0891 ||
           codePoint == 0x08E2 || codePoint == 0x0D4E || codePoint == 0x110BD ||
           codePoint == 0x110CD || codePoint == 0x111C2 || codePoint == 0x111C3 ||
           codePoint == 0x1193F || codePoint == 0x11941 || codePoint == 0x11A3A ||
           (codePoint >= 0x11A84 && codePoint <= 0x11A89) || codePoint == 0x11D46 ||
           codePoint == 0x11F02;
}

bool computeFormsCharacterAlone(char32_t codePoint)
{
    if (codePoint < 0x0300)
        return true;
    // Lone surrogates (broken text) are left to the boundary finder, as is Hangul.
    if (QChar::isSurrogate(codePoint))
        return false;
    if ((codePoint >= 0x1100 && codePoint <= 0x11FF) ||
        (codePoint >= 0xA960 && codePoint <= 0xA97F) ||
        (codePoint >= 0xAC00 && codePoint <= 0xD7FF))
        return false;
    // Marks that stand apart are still left to the boundary finder, which tailors some scripts.
    if (isRegionalIndicator(codePoint) || isMark(codePoint) || computeJoinsPrevious(codePoint) ||
        computeJoinsNext(codePoint))
        return false;
    const QChar::Category category = QChar::category(codePoint);
    return category != QChar::Other_Format && category != QChar::Other_NotAssigned;
}

} // namespace

namespace detail {

const std::array<std::uint8_t, 0x10000> kBasicPlaneClasses = [] {
    std::array<std::uint8_t, 0x10000> classes{};
    for (char32_t cp = 0; cp < 0x10000; ++cp) {
        const bool spaceOrTab = cp == u'\t' || QChar::category(cp) == QChar::Separator_Space;
        classes[cp] = std::uint8_t((computeFormsCharacterAlone(cp) ? kFormsCharacterAlone : 0) |
                                   (QChar::isSpace(cp) ? kUnicodeWhiteSpace : 0) |
                                   (spaceOrTab ? kSpaceOrTab : 0) |
                                   (computeJoinsPrevious(cp) ? kJoinsPrevious : 0) |
                                   (computeJoinsNext(cp) ? kJoinsNext : 0));
    }
    return classes;
}();

bool joinsPreviousOutsideBasicPlane(char32_t codePoint)
{
    return computeJoinsPrevious(codePoint);
}

bool joinsNextOutsideBasicPlane(char32_t codePoint)
{
    return computeJoinsNext(codePoint);
}

bool formsCharacterAloneOutsideBasicPlane(char32_t codePoint)
{
    return computeFormsCharacterAlone(codePoint);
}

} // namespace detail

namespace {

// A character on its own starts at `index` (nothing before it joins it) and ends after the
// single code unit there (nothing after it extends it). Enough for ASCII marks and white space,
// which join nothing themselves.
bool isSingleUnitCharacter(QStringView text, qsizetype index)
{
    if (index + 1 < text.size() && joinsPrevious(codePointAt(text, index + 1)))
        return false;
    return index == 0 || !joinsNext(codePointBefore(text, index));
}

} // namespace

bool isCharacter(QStringView text, qsizetype index, char16_t mark)
{
    return index >= 0 && index < text.size() && text[index] == QChar(mark) &&
           isSingleUnitCharacter(text, index);
}

qsizetype indexOfCharacter(QStringView text, char16_t mark, qsizetype from)
{
    for (qsizetype i = text.indexOf(QChar(mark), from); i >= 0;
         i = text.indexOf(QChar(mark), i + 1)) {
        if (isSingleUnitCharacter(text, i))
            return i;
    }
    return -1;
}

bool endsWithCharacter(QStringView text, char16_t mark)
{
    return isCharacter(text, text.size() - 1, mark);
}

QStringView trimmedOfSpacesAndTabs(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isSpaceOrTab(text[begin].unicode()) && isSingleUnitCharacter(text, begin))
        ++begin;
    while (end > begin && isSpaceOrTab(text[end - 1].unicode()) &&
           isSingleUnitCharacter(text, end - 1))
        --end;
    return text.sliced(begin, end - begin);
}

bool isNumeral(QStringView text)
{
    if (text.isEmpty())
        return false;
    // A character is numeric when the code point it starts with is; marks on it do not matter.
    for (qsizetype i = 0; i < text.size();) {
        const char32_t codePoint = codePointAt(text, i);
        const bool startsCharacter = i == 0 || !joinsPrevious(codePoint);
        if (startsCharacter && !QChar::isNumber(codePoint))
            return false;
        i += unitCount(codePoint);
    }
    return true;
}

} // namespace quillet::text
