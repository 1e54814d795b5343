#pragma once

#include <QStringView>

// Character tests on one line of Markdown source. A character is a user-perceived character (an
// extended grapheme cluster): a '#' followed by a combining mark is not a '#', and a space that
// carries a mark is no whitespace. Only the rules that can join a code point to an ASCII mark or
// to whitespace are needed for that: a following extending or spacing mark (or a joiner), and a
// preceding prepended concatenation mark.
namespace quillet::line_text {

// Spaces, tabs and the other Unicode space separators; never a line break.
bool isWhitespace(char32_t codePoint);

// Whether the code point joins the character before it.
bool extendsPrevious(char32_t codePoint);

// Whether the code point joins the character after it.
bool isPrepended(char32_t codePoint);

// Whether the code unit at `index` is the ASCII character `mark` and a character on its own.
bool isCharacter(QStringView text, qsizetype index, char16_t mark);

// Position of the first character `mark` at or after `from`, or -1.
qsizetype indexOfCharacter(QStringView text, char16_t mark, qsizetype from = 0);

// Whether the last character of `text` is `mark`.
bool endsWithCharacter(QStringView text, char16_t mark);

// The text without whitespace characters at either end. Every character removed is a single
// code unit, so the difference in size is the number of characters removed.
QStringView trimmed(QStringView text);

// Whether the text is not empty and every character in it is a numeral (decimal digits and also
// other numbers: superscripts, fractions, Roman numerals and so on).
bool isNumeral(QStringView text);

} // namespace quillet::line_text
