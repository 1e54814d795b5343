#pragma once

#include "editor/plain_text_text_view.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QtTest>

namespace quillet::test {

// What the document holds, with block separators as the view's line end: what it must report.
inline QString documentText(const PlainTextTextView &view)
{
    return view.document()->toRawText().replace(QChar::ParagraphSeparator, view.lineEnding());
}

// Four times what the view prepares aside rather than at once.
inline QString largeText(const QString &lineEnding = QStringLiteral("\n"))
{
    QString text;
    for (int line = 0; text.size() <= 4 * PlainTextTextView::kDeferredLength; ++line)
        text += QStringLiteral("line %1 of a long text").arg(line) + lineEnding;
    return text;
}

// True when no character of the document carries a format of its own and the document's font
// is the view's one font, so everything shows in that font and the palette's text colour.
inline bool isPlain(const PlainTextTextView &view)
{
    if (view.document()->defaultFont() != view.plainFont())
        return false;
    for (QTextBlock block = view.document()->firstBlock(); block.isValid(); block = block.next()) {
        for (const QTextLayout::FormatRange &range : block.textFormats()) {
            if (!range.format.properties().isEmpty())
                return false;
        }
    }
    return true;
}

} // namespace quillet::test
