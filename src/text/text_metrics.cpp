#include "text/text_metrics.h"

#include "text/text_rules.h"

#include <QChar>
#include <QTextBoundaryFinder>
#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillet::text {

namespace {

constexpr char16_t kCarriageReturn = u'\r';
constexpr char16_t kLineFeed = u'\n';

bool isMarkOrModifier(char32_t cp)
{
    return isEmojiModifier(cp) || isMark(cp);
}

// Whether a character boundary certainly lies before `cp`, given the code point before it.
// Besides two code points that form characters alone, a mark or emoji modifier ends its character
// before an emoji or a flag: none of the rules that join characters applies there. Deciding those
// here keeps emoji after Indic text out of the boundary finder, whose Indic tailoring in Qt 6.4
// splits them.
bool boundaryCertainlyBefore(char32_t previous, bool previousAlone, char32_t cp, bool alone)
{
    if (alone) {
        if (previousAlone)
            return true;
        const bool brahmicOrBmp = cp < 0x10000 || (cp >= 0x11000 && cp < 0x12000);
        return !brahmicOrBmp && isMarkOrModifier(previous);
    }
    return isRegionalIndicator(cp) && (previousAlone || isMarkOrModifier(previous));
}

struct Tally {
    qint64 characters = 0;
    qint64 words = 0;
    bool previousWasSeparator = true;

    void addCharacter(bool separator)
    {
        ++characters;
        if (!separator && previousWasSeparator)
            ++words;
        previousWasSeparator = separator;
    }
};

// Visits the characters of a span that begins and ends on certain boundaries. `visit` receives
// each character's end offset (relative to the span) and whether it is a separator, and returns
// false to stop.
template <typename Visit> bool visitSpan(const char16_t *s, qsizetype size, Visit &&visit)
{
    const QStringView span(s, size);
    if (size == 1 || (size == 2 && QChar::isHighSurrogate(s[0]) && QChar::isLowSurrogate(s[1])))
        return visit(size, isUnicodeWhiteSpace(codePointAt(span, 0)));
    if (size == 2 && s[0] == kCarriageReturn && s[1] == kLineFeed)
        return visit(size, true);

    // Qt 6.4's finder misplaces boundaries at the start of its text and after a line feed when
    // a supplementary character followed by Indic marks comes first, so it is given a letter of
    // context. The letter joins only with leading extending characters, which start a
    // character of their own in the real text.
    QVarLengthArray<char16_t, 256> context;
    context.reserve(size + 1);
    context.append(u'z');
    context.append(s, size);
    std::array<unsigned char, 1024> attributes;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme,
                               QStringView(context.data(), context.size()), attributes.data(),
                               qsizetype(attributes.size()));
    if (const qsizetype first = finder.toNextBoundary(); first > 1) {
        if (!visit(first - 1, isUnicodeWhiteSpace(codePointAt(span, 0))))
            return false;
    }
    qsizetype start = finder.position() - 1;
    for (qsizetype end = finder.toNextBoundary(); end != -1; end = finder.toNextBoundary()) {
        // Its Indic tailoring can also split a surrogate pair next to Devanagari; a boundary
        // there is never real.
        if (end < context.size() && QChar::isLowSurrogate(context[end]) &&
            QChar::isHighSurrogate(context[end - 1]))
            continue;
        if (!visit(end - 1, isUnicodeWhiteSpace(codePointAt(span, start))))
            return false;
        start = end - 1;
    }
    return true;
}

// Splits text into spans between certain boundaries and visits their characters in order.
// `fastAscii(pos)` may consume a run of ASCII text starting at pos when the pending span is the
// single ASCII character before pos; it returns how many characters it consumed (0 for none).
template <typename Visit, typename FastAscii>
void visitCharacters(QStringView text, Visit &&visit, FastAscii &&fastAscii)
{
    const char16_t *s = text.utf16();
    const qsizetype size = text.size();
    qsizetype spanStart = 0;
    qsizetype pos = 0;
    bool previousAlone = false;
    char32_t previous = 0;
    int previousLength = 0;
    auto flush = [&](qsizetype end) {
        const qsizetype base = spanStart;
        return visitSpan(s + base, end - base, [&](qsizetype relativeEnd, bool separator) {
            return visit(base + relativeEnd, separator);
        });
    };
    while (pos < size) {
        if (spanStart == pos - 1 && previous < 0x80) {
            if (const qsizetype consumed = fastAscii(spanStart, pos)) {
                // The unit after the consumed ones is ASCII and becomes the pending span.
                spanStart = pos + consumed;
                pos = spanStart + 1;
                previous = s[spanStart];
                previousAlone = true;
                previousLength = 1;
                continue;
            }
        }
        // Runs of code points of the Basic Multilingual Plane that form characters alone (most
        // scripts' letters and punctuation) are one character per code unit.
        if (previousAlone && spanStart == pos - previousLength) {
            qsizetype run = pos;
            bool separator = isUnicodeWhiteSpace(previous);
            while (run < size) {
                // Both questions in one lookup, on the hottest path of all.
                const char16_t unit = s[run];
                const std::uint8_t classes = detail::kBasicPlaneClasses[unit];
                if (!(classes & detail::kFormsCharacterAlone) || QChar::isSurrogate(unit) ||
                    unit == kCarriageReturn || unit == kLineFeed)
                    break;
                if (!visit(run, separator))
                    return;
                separator = (classes & detail::kUnicodeWhiteSpace) != 0;
                ++run;
            }
            if (run > pos) {
                spanStart = run - 1;
                previous = s[run - 1];
                previousLength = 1;
                pos = run;
                continue;
            }
        }
        const char32_t cp = codePointAt(text, pos);
        const int length = unitCount(cp);
        const bool alone = formsCharacterAlone(cp);
        // Line breaks always stand alone but for CR LF; keeping them out of the boundary
        // finder's spans also avoids its splitting of CR LF next to Indic conjuncts.
        const bool lineBreakEdge = previous == kCarriageReturn || previous == kLineFeed ||
                                   cp == kCarriageReturn || cp == kLineFeed;
        const bool certain =
            (lineBreakEdge || boundaryCertainlyBefore(previous, previousAlone, cp, alone)) &&
            !(previous == kCarriageReturn && cp == kLineFeed);
        if (certain && pos > spanStart) {
            // A span of one code point is one character: no finder needed.
            if (pos - spanStart == previousLength) {
                if (!visit(pos, isUnicodeWhiteSpace(previous)))
                    return;
            } else if (!flush(pos)) {
                return;
            }
            spanStart = pos;
        }
        previousAlone = alone;
        previous = cp;
        previousLength = length;
        pos += length;
    }
    if (spanStart < size)
        flush(size);
}

constexpr qsizetype kBlock = 64;

// Unicode white space among ASCII, spelled out as the vector code below tests it: the fast path
// does without the table lookup.
constexpr bool isAsciiWhiteSpace(char16_t unit)
{
    return unit == u' ' || (unit >= 0x09 && unit <= 0x0D);
}

// Without POPCNT in the target, std::popcount is a call into the compiler's runtime for every
// block; this is a handful of inline instructions.
int bitCount(std::uint64_t bits)
{
#if defined(__POPCNT__)
    return std::popcount(bits);
#else
    bits -= (bits >> 1) & 0x5555555555555555ULL;
    bits = (bits & 0x3333333333333333ULL) + ((bits >> 2) & 0x3333333333333333ULL);
    bits = (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
    return int((bits * 0x0101010101010101ULL) >> 56);
#endif
}

struct AsciiMasks {
    std::uint64_t separator = 0;
    std::uint64_t lineFeed = 0;
    std::uint64_t carriageReturn = 0;
};

// Fills the masks for 64 code units and returns false when any of them is not ASCII.
bool asciiMasks(const char16_t *s, AsciiMasks &masks)
{
#if defined(__SSE2__)
    const __m128i *p = reinterpret_cast<const __m128i *>(s);
    __m128i any = _mm_setzero_si128();
    __m128i units[8];
    for (int i = 0; i < 8; ++i) {
        units[i] = _mm_loadu_si128(p + i);
        any = _mm_or_si128(any, units[i]);
    }
    const __m128i high = _mm_and_si128(any, _mm_set1_epi16(static_cast<short>(0xFF80)));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(high, _mm_setzero_si128())) != 0xFFFF)
        return false;
    const __m128i space = _mm_set1_epi8(' ');
    const __m128i below = _mm_set1_epi8(0x09 - 1);
    const __m128i above = _mm_set1_epi8(0x0D + 1);
    const __m128i lf = _mm_set1_epi8(0x0A);
    const __m128i cr = _mm_set1_epi8(0x0D);
    for (int i = 0; i < 4; ++i) {
        const __m128i bytes = _mm_packus_epi16(units[2 * i], units[2 * i + 1]);
        const __m128i controlRange =
            _mm_and_si128(_mm_cmpgt_epi8(bytes, below), _mm_cmplt_epi8(bytes, above));
        const __m128i separator = _mm_or_si128(_mm_cmpeq_epi8(bytes, space), controlRange);
        const int shift = 16 * i;
        masks.separator |= std::uint64_t(std::uint16_t(_mm_movemask_epi8(separator))) << shift;
        masks.lineFeed |= std::uint64_t(std::uint16_t(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lf))))
                          << shift;
        masks.carriageReturn |=
            std::uint64_t(std::uint16_t(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, cr)))) << shift;
    }
    return true;
#else
    char16_t any = 0;
    for (qsizetype i = 0; i < kBlock; ++i)
        any |= s[i];
    if (any >= 0x80)
        return false;
    for (qsizetype i = 0; i < kBlock; ++i) {
        const std::uint64_t bit = std::uint64_t(1) << i;
        if (isAsciiWhiteSpace(s[i]))
            masks.separator |= bit;
        if (s[i] == kLineFeed)
            masks.lineFeed |= bit;
        if (s[i] == kCarriageReturn)
            masks.carriageReturn |= bit;
    }
    return true;
#endif
}

} // namespace

CharacterAndWordCount countCharactersAndWords(QStringView text, bool afterSeparator)
{
    Tally tally;
    tally.previousWasSeparator = afterSeparator;
    const char16_t *s = text.utf16();
    const qsizetype size = text.size();

    // Consumes the pending ASCII character at `pending` and then all but the last one or two code
    // units of the next block, which stays pending so its boundary with what follows is decided
    // as usual. A CR LF pair is never split.
    // Where the last failed attempt met a non-ASCII unit: no block starting before it is tried.
    qsizetype nextAttempt = 0;
    auto fastAscii = [&](qsizetype pending, qsizetype pos) -> qsizetype {
        if (pos < nextAttempt || size - pos < kBlock)
            return 0;
        AsciiMasks masks;
        if (!asciiMasks(s + pos, masks)) {
            nextAttempt = pos + 1;
            while (s[nextAttempt - 1] < 0x80)
                ++nextAttempt;
            return 0;
        }
        const char16_t pendingUnit = s[pending];
        const bool pendingSeparator = isAsciiWhiteSpace(pendingUnit);
        tally.addCharacter(pendingSeparator);

        qsizetype consumed = kBlock - 1;
        if (s[pos + kBlock - 2] == kCarriageReturn && s[pos + kBlock - 1] == kLineFeed)
            consumed = kBlock - 2;
        const std::uint64_t range = (std::uint64_t(1) << consumed) - 1;
        const std::uint64_t crBefore =
            (masks.carriageReturn << 1) | (pendingUnit == kCarriageReturn ? 1u : 0u);
        const std::uint64_t separatorBefore = (masks.separator << 1) | (pendingSeparator ? 1u : 0u);
        const int joinedLineFeeds = bitCount(masks.lineFeed & crBefore & range);
        tally.characters += consumed - joinedLineFeeds;
        tally.words += bitCount(~masks.separator & separatorBefore & range);
        tally.previousWasSeparator = (masks.separator >> (consumed - 1)) & 1u;
        return consumed;
    };
    visitCharacters(
        text,
        [&](qsizetype, bool separator) {
            tally.addCharacter(separator);
            return true;
        },
        fastAscii);
    return {tally.characters, tally.words};
}

qint64 countCharacters(QStringView text)
{
    return countCharactersAndWords(text).characters;
}

qsizetype offsetAfterCharacters(QStringView text, qint64 count)
{
    if (count <= 0)
        return 0;
    qsizetype offset = text.size();
    qint64 seen = 0;
    visitCharacters(
        text,
        [&](qsizetype end, bool) {
            if (++seen < count)
                return true;
            offset = end;
            return false;
        },
        [](qsizetype, qsizetype) -> qsizetype { return 0; });
    return offset;
}

namespace {

// How far from an offset a certain boundary is looked for before falling back to code points.
constexpr qsizetype kBoundarySearchReach = 256;

// Whether a character boundary lies before `pos` whatever surrounds the two units around it.
bool certainBoundaryAt(const char16_t *s, qsizetype size, qsizetype pos)
{
    if (pos <= 0 || pos >= size)
        return true;
    const char16_t before = s[pos - 1];
    const char16_t after = s[pos];
    if (before == kCarriageReturn)
        return after != kLineFeed;
    if (before == kLineFeed || after == kCarriageReturn || after == kLineFeed)
        return true;
    if (QChar::isSurrogate(before) || QChar::isSurrogate(after))
        return false;
    return formsCharacterAlone(before) && formsCharacterAlone(after);
}

// Without a certain boundary nearby: never between the halves of a surrogate pair or of CR LF.
bool codePointBoundaryAt(const char16_t *s, qsizetype size, qsizetype pos)
{
    if (pos <= 0 || pos >= size)
        return true;
    return !(QChar::isHighSurrogate(s[pos - 1]) && QChar::isLowSurrogate(s[pos])) &&
           !(s[pos - 1] == kCarriageReturn && s[pos] == kLineFeed);
}

qsizetype characterBoundaryNear(QStringView text, qsizetype offset, bool forward)
{
    const char16_t *s = text.utf16();
    const qsizetype size = text.size();
    offset = std::clamp<qsizetype>(offset, 0, size);
    if (certainBoundaryAt(s, size, offset))
        return offset;
    qsizetype from = offset - 1;
    while (from > offset - kBoundarySearchReach && !certainBoundaryAt(s, size, from))
        --from;
    qsizetype to = offset + 1;
    while (to < offset + kBoundarySearchReach && !certainBoundaryAt(s, size, to))
        ++to;
    if (!certainBoundaryAt(s, size, from) || !certainBoundaryAt(s, size, to)) {
        while (!codePointBoundaryAt(s, size, offset))
            offset += forward ? 1 : -1;
        return offset;
    }
    // Between two certain boundaries the characters can be told apart on their own.
    qsizetype before = from;
    qsizetype after = to;
    visitCharacters(
        text.sliced(from, to - from),
        [&](qsizetype end, bool) {
            if (from + end <= offset)
                before = from + end;
            if (from + end >= offset) {
                after = from + end;
                return false;
            }
            return true;
        },
        [](qsizetype, qsizetype) -> qsizetype { return 0; });
    return forward ? after : before;
}

// Whether the unit before `pos` is a character of its own, with certain boundaries on both sides.
bool standsAloneBefore(const char16_t *s, qsizetype size, qsizetype pos)
{
    return certainBoundaryAt(s, size, pos) && certainBoundaryAt(s, size, pos - 1);
}

} // namespace

EditWindow editWindow(QStringView text, qsizetype start, qsizetype removed)
{
    const char16_t *s = text.utf16();
    const qsizetype size = text.size();
    start = std::clamp<qsizetype>(start, 0, size);
    const qsizetype editEnd = start + std::clamp<qsizetype>(removed, 0, size - start);

    // The begin stays before the first replaced unit, which decides the boundary before it.
    qsizetype begin = start - 1;
    const qsizetype lowest = std::max<qsizetype>(1, start - kBoundarySearchReach);
    while (begin >= lowest && !standsAloneBefore(s, size, begin))
        --begin;
    if (begin < lowest)
        begin = 0;

    // The end stays two units past the replaced ones, so that the character before it, and the
    // unit that decides the boundary before that one, are untouched.
    qsizetype end = editEnd + 2;
    const qsizetype highest = std::min<qsizetype>(size - 1, editEnd + kBoundarySearchReach);
    while (end <= highest && !standsAloneBefore(s, size, end))
        ++end;
    if (end > highest)
        end = size;

    return {begin, end, begin == 0 || isUnicodeWhiteSpace(s[begin - 1])};
}

qsizetype characterBoundaryAtOrBefore(QStringView text, qsizetype offset)
{
    return characterBoundaryNear(text, offset, false);
}

qsizetype characterBoundaryAtOrAfter(QStringView text, qsizetype offset)
{
    return characterBoundaryNear(text, offset, true);
}

QString dominantLineEnding(QStringView text)
{
    qsizetype pairs = 0;
    qsizetype returns = 0;
    for (qsizetype at = text.indexOf(kCarriageReturn); at >= 0;
         at = text.indexOf(kCarriageReturn, at + 1)) {
        ++returns;
        if (at + 1 < text.size() && text[at + 1] == kLineFeed)
            ++pairs;
    }
    if (returns == 0)
        return QStringLiteral("\n");
    const qsizetype lineFeeds = scanLineFeeds(text).count - pairs;
    const qsizetype loneReturns = returns - pairs;
    if (lineFeeds >= pairs && lineFeeds >= loneReturns)
        return QStringLiteral("\n");
    return pairs >= loneReturns ? QStringLiteral("\r\n") : QStringLiteral("\r");
}

LineFeedScan scanLineFeeds(QStringView text)
{
    LineFeedScan scan;
    const char16_t *s = text.utf16();
    const qsizetype size = text.size();
    qsizetype pos = 0;
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi16(kLineFeed);
    for (; pos + 8 <= size; pos += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + pos));
        const unsigned mask = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi16(units, lf)));
        if (mask != 0) {
            scan.count += bitCount(mask) / 2;
            scan.lastPosition = pos + (31 - std::countl_zero(mask)) / 2;
        }
    }
#endif
    for (; pos < size; ++pos) {
        if (s[pos] == kLineFeed) {
            ++scan.count;
            scan.lastPosition = pos;
        }
    }
    return scan;
}

LineAndColumn lineAndColumnAt(QStringView text, qint64 utf16Offset)
{
    const qsizetype end = qsizetype(qBound<qint64>(0, utf16Offset, text.size()));
    const QStringView prefix = text.first(end);
    const LineFeedScan lineFeeds = scanLineFeeds(prefix);
    qsizetype breaks = lineFeeds.count;
    qsizetype lastBreak = lineFeeds.lastPosition;
    // A carriage return without a line feed after it ends a line too, as the editor shows it.
    for (qsizetype at = prefix.indexOf(kCarriageReturn); at >= 0;
         at = prefix.indexOf(kCarriageReturn, at + 1)) {
        if (at + 1 < text.size() && text[at + 1] == kLineFeed)
            continue;
        ++breaks;
        lastBreak = std::max(lastBreak, at);
    }
    const QStringView lastLine = prefix.sliced(lastBreak + 1);
    return {qint64(breaks) + 1, countCharacters(lastLine) + 1};
}

namespace {

bool endsLine(const char16_t *s, qsizetype size, qsizetype pos)
{
    return s[pos] == kLineFeed ||
           (s[pos] == kCarriageReturn && (pos + 1 == size || s[pos + 1] != kLineFeed));
}

void appendLineStarts(std::vector<qsizetype> &starts, QStringView text, qsizetype from,
                      qsizetype to)
{
    const char16_t *s = text.utf16();
    for (qsizetype pos = from; pos < to; ++pos) {
        if (s[pos] <= kCarriageReturn && endsLine(s, text.size(), pos))
            starts.push_back(pos + 1);
    }
}

} // namespace

void LineIndex::rebuild(QStringView text)
{
    m_lineStarts.clear();
    appendLineStarts(m_lineStarts, text, 0, text.size());
}

void LineIndex::replace(QStringView text, qsizetype start, qsizetype removed, qsizetype inserted)
{
    // A carriage return just before the change ends a line or not by what follows it.
    const auto first = std::lower_bound(m_lineStarts.begin(), m_lineStarts.end(), start);
    const auto last = std::upper_bound(first, m_lineStarts.end(), start + removed);
    const qsizetype shift = inserted - removed;
    for (auto it = last; it != m_lineStarts.end(); ++it)
        *it += shift;
    std::vector<qsizetype> added;
    appendLineStarts(added, text, std::max<qsizetype>(0, start - 1),
                     std::min<qsizetype>(text.size(), start + inserted));
    const auto at = m_lineStarts.erase(first, last);
    m_lineStarts.insert(at, added.begin(), added.end());
}

LineAndColumn LineIndex::lineAndColumnAt(QStringView text, qint64 utf16Offset) const
{
    const qsizetype end = qsizetype(qBound<qint64>(0, utf16Offset, text.size()));
    // A line start at `end` itself is in: the cursor stands at the start of that line.
    const auto after = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), end);
    const qsizetype lines = after - m_lineStarts.begin();
    const qsizetype lineStart = lines == 0 ? 0 : *(after - 1);
    return {qint64(lines) + 1, countCharacters(text.sliced(lineStart, end - lineStart)) + 1};
}

bool hasStretchWithoutSpaceLongerThan(QStringView text, qsizetype limit)
{
    qsizetype lineStart = 0;
    while (lineStart < text.size()) {
        qsizetype lineEnd = text.indexOf(u'\n', lineStart);
        if (lineEnd < 0)
            lineEnd = text.size();
        if (lineEnd - lineStart > limit) {
            qsizetype stretch = 0;
            for (const QChar c : text.sliced(lineStart, lineEnd - lineStart)) {
                stretch = isUnicodeWhiteSpace(c.unicode()) ? 0 : stretch + 1;
                if (stretch > limit)
                    return true;
            }
        }
        lineStart = lineEnd + 1;
    }
    return false;
}

} // namespace quillet::text
