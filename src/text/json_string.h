#pragma once

#include <QByteArray>
#include <QChar>
#include <QStringView>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillet::text {

#if defined(__SSE2__)
// Whether all eight units are printable ASCII other than '"' and '\\'. Units from 0x8000 up
// are negative as signed numbers and fail the first test.
inline bool isPlainAscii(__m128i units)
{
    const __m128i printable = _mm_and_si128(_mm_cmpgt_epi16(units, _mm_set1_epi16(0x1F)),
                                            _mm_cmplt_epi16(units, _mm_set1_epi16(0x80)));
    const __m128i special = _mm_or_si128(_mm_cmpeq_epi16(units, _mm_set1_epi16('"')),
                                         _mm_cmpeq_epi16(units, _mm_set1_epi16('\\')));
    return _mm_movemask_epi8(_mm_andnot_si128(special, printable)) == 0xFFFF;
}
#endif

// Writes `text` as the inside of a JSON string at `out`, which has room for six bytes per
// UTF-16 unit, and returns the end. Quotes, backslashes and control characters are escaped; an
// unpaired surrogate, which UTF-8 cannot carry, is written as its \u escape so it survives.
inline char *writeJsonStringBody(char *out, QStringView text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    const char16_t *unit = text.utf16();
    const char16_t *const end = unit + text.size();
    while (unit < end) {
#if defined(__SSE2__)
        // Sixteen units at a time while they are all printable ASCII that needs no escape.
        while (end - unit >= 16) {
            const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i *>(unit));
            const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i *>(unit + 8));
            if (!isPlainAscii(low) || !isPlainAscii(high))
                break;
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_packus_epi16(low, high));
            unit += 16;
            out += 16;
        }
        if (unit == end)
            break;
#endif
        const char16_t c = *unit++;
        if (c < 0x80) {
            if (c >= 0x20 && c != u'"' && c != u'\\') {
                *out++ = char(c);
                continue;
            }
            *out++ = '\\';
            switch (c) {
            case u'"':
                *out++ = '"';
                break;
            case u'\\':
                *out++ = '\\';
                break;
            case u'\b':
                *out++ = 'b';
                break;
            case u'\f':
                *out++ = 'f';
                break;
            case u'\n':
                *out++ = 'n';
                break;
            case u'\r':
                *out++ = 'r';
                break;
            case u'\t':
                *out++ = 't';
                break;
            default:
                *out++ = 'u';
                *out++ = '0';
                *out++ = '0';
                *out++ = kHex[c >> 4];
                *out++ = kHex[c & 0xF];
            }
        } else if (c < 0x800) {
            *out++ = char(0xC0 | (c >> 6));
            *out++ = char(0x80 | (c & 0x3F));
        } else if (QChar::isHighSurrogate(c) && unit < end && QChar::isLowSurrogate(*unit)) {
            const char32_t code = QChar::surrogateToUcs4(c, *unit++);
            *out++ = char(0xF0 | (code >> 18));
            *out++ = char(0x80 | ((code >> 12) & 0x3F));
            *out++ = char(0x80 | ((code >> 6) & 0x3F));
            *out++ = char(0x80 | (code & 0x3F));
        } else if (QChar::isSurrogate(c)) {
            *out++ = '\\';
            *out++ = 'u';
            *out++ = kHex[c >> 12];
            *out++ = kHex[(c >> 8) & 0xF];
            *out++ = kHex[(c >> 4) & 0xF];
            *out++ = kHex[c & 0xF];
        } else {
            *out++ = char(0xE0 | (c >> 12));
            *out++ = char(0x80 | ((c >> 6) & 0x3F));
            *out++ = char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Appends `text` to `out` as a JSON string, quotes included.
inline void appendJsonString(QByteArray &out, QStringView text)
{
    const qsizetype start = out.size();
    out.resize(start + 6 * text.size() + 2);
    char *end = out.data() + start;
    *end++ = '"';
    end = writeJsonStringBody(end, text);
    *end++ = '"';
    out.truncate(end - out.constData());
}

} // namespace quillet::text
