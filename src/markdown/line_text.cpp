#include "markdown/line_text.h"

#include <QChar>

namespace quillet::line_text {

namespace {

char32_t codePointAt(QStringView text, qsizetype index)
{
    const char16_t unit = text[index].unicode();
    if (QChar::isHighSurrogate(unit) && index + 1 < text.size() &&
        QChar::isLowSurrogate(text[index + 1].unicode()))
        return QChar::surrogateToUcs4(unit, text[index + 1].unicode());
    return unit;
}

char32_t codePointBefore(QStringView text, qsizetype index)
{
    const char16_t unit = text[index - 1].unicode();
    if (QChar::isLowSurrogate(unit) && index >= 2 &&
        QChar::isHighSurrogate(text[index - 2].unicode()))
        return QChar::surrogateToUcs4(text[index - 2].unicode(), unit);
    return unit;
}

bool isWhitespaceUnit(char16_t unit)
{
    if (unit < 0x80)
        return unit == u' ' || unit == u'\t';
    return QChar::category(char32_t(unit)) == QChar::Separator_Space;
}

// A character on its own starts at `index` (nothing before it joins it) and ends after the
// single code unit there (nothing after it extends it).
bool isSingleUnitCharacter(QStringView text, qsizetype index)
{
    if (index + 1 < text.size() && extendsPrevious(codePointAt(text, index + 1)))
        return false;
    return index == 0 || !isPrepended(codePointBefore(text, index));
}

} // namespace

bool isWhitespace(char32_t codePoint)
{
    return codePoint == u'\t' || QChar::category(codePoint) == QChar::Separator_Space;
}

bool extendsPrevious(char32_t codePoint)
{
    if (codePoint < 0x0300)
        return false;
    switch (QChar::category(codePoint)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return true;
    default:
        break;
    }
    return codePoint == 0x200C || codePoint == 0x200D     // zero-width non-joiner and joiner
           || codePoint == 0xFF9E || codePoint == 0xFF9F  // halfwidth voiced sound marks
           || codePoint == 0x0E33 || codePoint == 0x0EB3  // Thai and Lao sara am
           || (codePoint >= 0x1F3FB && codePoint <= 0x1F3FF) // emoji skin tones
           || (codePoint >= 0xE0020 && codePoint <= 0xE007F); // tag characters
}

bool isPrepended(char32_t codePoint)
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

QStringView trimmed(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isWhitespaceUnit(text[begin].unicode()) &&
           isSingleUnitCharacter(text, begin))
        ++begin;
    while (end > begin && isWhitespaceUnit(text[end - 1].unicode()) &&
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
        const bool startsCharacter = i == 0 || !extendsPrevious(codePoint);
        if (startsCharacter && !QChar::isNumber(codePoint))
            return false;
        i += QChar::requiresSurrogates(codePoint) ? 2 : 1;
    }
    return true;
}

} // namespace quillet::line_text
