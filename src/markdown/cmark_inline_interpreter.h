#pragma once

#include "markdown/styled_text.h"

#include <QStringView>

#include <optional>

namespace quillet {

// Inline Markdown over cmark-gfm: CommonMark's inline rules with the strikethrough extension,
// applied to the whole string as one piece of inline text. Nothing in it is read as block
// structure and every character that is not consumed as markup stays in place, spaces and line
// breaks included.
//
// cmark-gfm only parses documents, so the source is wrapped before the parse: a letter and a
// space go before it and a space and a letter after it. To the inline rules the wrapped text
// starts and ends exactly as a line does (whitespace on both sides of every delimiter there),
// while to the block rules the line starts with a letter, so it can only be a paragraph and
// keeps its leading and trailing whitespace. The four characters are dropped from the result.
// Line breaks cannot stay in the source, since any line could open a block; each is replaced by
// a tab or form feed (whitespace to the inline rules as a line break is) that the source does
// not otherwise produce, and put back afterwards.
class CmarkInlineInterpreter {
public:
    // Longer sources (in UTF-8 bytes) are refused: the library has super-linear cases on huge
    // single lines.
    static constexpr qsizetype kMaximumSourceSize = 256 * 1024;

    // The styled text of `source` with `font` on every run, or nothing when the source cannot be
    // interpreted (too long, or not valid UTF-16).
    static std::optional<StyledText> interpret(QStringView source, const StyledFont &font);

    // Takes the library route for every source, also for text without any markup character,
    // which interpret() copies into a single run. For tests that compare the two.
    static std::optional<StyledText> interpretWithLibrary(QStringView source,
                                                          const StyledFont &font);

    CmarkInlineInterpreter() = delete;
};

} // namespace quillet
