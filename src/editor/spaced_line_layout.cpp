#include "spaced_line_layout.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QtGui/private/qtextengine_p.h>

#include <algorithm>
#include <limits>

namespace quillet {

namespace {

// A character typed just after a line break can forbid the break (no line starts with a closing
// bracket), so lines are made again from this far before an edit; and the old lines are taken
// over only from this far past it, where the break rules no longer see it.
constexpr int kEditContext = 64;

bool sameWrapping(const QTextOption &a, const QTextOption &b)
{
    return a.wrapMode() == b.wrapMode() && a.flags() == b.flags() &&
           a.tabStopDistance() == b.tabStopDistance() && a.tabs() == b.tabs() &&
           a.alignment() == b.alignment() && a.textDirection() == b.textDirection();
}

} // namespace

SpacedLineLayout::SpacedLineLayout(QTextDocument *document)
    : QPlainTextDocumentLayout(document)
    , m_blockCount(document->blockCount())
{
}

void SpacedLineLayout::documentChanged(int from, int charsRemoved, int charsAdded)
{
    const int blockCount = document()->blockCount();
    const bool sameBlocks = blockCount == m_blockCount;
    m_blockCount = blockCount;
    if (sameBlocks && relayoutLongParagraph(from, charsRemoved, charsAdded))
        return;
    QPlainTextDocumentLayout::documentChanged(from, charsRemoved, charsAdded);
}

// The plain layout breaks the whole paragraph into lines again at every change, shaping all of
// it: a tenth of a second for each key in a line of a megabyte. Here the lines before the edit
// stay, and once a new line starts where an old one did (moved by the change in length), the
// old lines from there on are taken over: from a line's start on, its breaks follow from the
// text and the width alone.
bool SpacedLineLayout::relayoutLongParagraph(int from, int charsRemoved, int charsAdded)
{
    QTextDocument *doc = document();
    QTextBlock block = doc->findBlock(from);
    if (!block.isValid() || !block.isVisible() || block.length() <= kLongParagraph)
        return false;
    const int at = from - block.position();
    const int textLength = block.length() - 1;
    const int delta = charsAdded - charsRemoved;
    if (at + charsAdded > textLength)
        return false;
    QTextLayout *layout = block.layout();
    QTextEngine *engine = layout->engine();
    const QScriptLineArray old = engine->lines;
    const QTextOption option = doc->defaultTextOption();
    if (old.isEmpty() || option.wrapMode() == QTextOption::NoWrap ||
        option.wrapMode() == QTextOption::ManualWrap || !sameWrapping(option, layout->textOption()))
        return false;
    // The lines are those of the text before the change only if they end where it did; a new
    // default font, for one, reports the whole text as added.
    const QScriptLine &last = old.constLast();
    const int oldLength = last.from + last.length + last.trailingSpaces;
    if (oldLength + delta != textLength || at + charsRemoved > oldLength)
        return false;

    const qreal oldHeight = blockBoundingRect(block).height();
    const auto firstAfter = std::upper_bound(
        old.cbegin(), old.cend(), std::max(0, at - kEditContext),
        [](int position, const QScriptLine &line) { return position < line.from; });
    const int first = std::max(0, int(firstAfter - old.cbegin()) - 1);
    const qreal width = old.constFirst().width.toReal();
    const qreal margin = doc->documentMargin();

    beginLongLayout(block);
    engine->lines = old.first(first);
    qreal top = old.at(first).y.toReal();
    int match = first;
    for (;;) {
        QTextLine line = layout->createLine();
        if (!line.isValid())
            break;
        line.setLeadingIncluded(true);
        line.setLineWidth(width);
        line.setPosition(QPointF(margin, top));
        top += line.height();
        if (line.leading() < 0)
            top += qCeil(line.leading());
        const int start = line.textStart();
        if (start < at + charsAdded + kEditContext)
            continue;
        const int oldStart = start - delta;
        while (match < old.size() && old.at(match).from < oldStart)
            ++match;
        if (match < old.size() && old.at(match).from == oldStart) {
            const QFixed shift = QFixed::fromReal(line.y()) - old.at(match).y;
            for (int i = match + 1; i < old.size(); ++i) {
                QScriptLine moved = old.at(i);
                moved.from += delta;
                moved.y += shift;
                engine->lines.append(moved);
            }
            break;
        }
    }
    layout->endLayout();

    const int documentLines = doc->lineCount();
    block.setLineCount(layout->lineCount());
    if (doc->lineCount() != documentLines)
        emit documentSizeChanged(documentSize());
    if (blockBoundingRect(block).height() == oldHeight)
        emit updateBlock(block);
    else
        emit update(QRectF(0., -doc->documentMargin(), 1000000000., 1000000000.));
    return true;
}

void SpacedLineLayout::setLineHeightMultiple(qreal multiple)
{
    m_multiple = multiple;
}

// The engine takes memory for the glyphs of the whole paragraph at every layout, some forty
// megabytes for a line of a megabyte, fresh from the system and faulted in page by page: a third
// of a key's time. A long paragraph is laid out in memory kept from key to key instead, handed
// to the engine as the engine hands it memory of its own stack, which it never frees.
void SpacedLineLayout::beginLongLayout(const QTextBlock &block)
{
    QTextLayout *layout = block.layout();
    QTextEngine *engine = layout->engine();
    // What the engine would lay out besides the block's text.
    const auto extras =
        QTextOption::ShowLineAndParagraphSeparators | QTextOption::ShowDocumentTerminator;
    const QString text = block.text();
    // As the engine reckons its memory: character attributes, log clusters, and glyphs for
    // half as many again as characters, the most it asks for at once.
    const qsizetype size = text.size();
    const qsizetype needed =
        qsizetype(sizeof(QCharAttributes)) * size / qsizetype(sizeof(void *)) +
        qsizetype(sizeof(unsigned short)) * size / qsizetype(sizeof(void *)) +
        (size * 3 / 2 + 32) * QGlyphLayout::SpaceNeeded / qsizetype(sizeof(void *)) + 8;
    if ((layout->textOption().flags() & extras) || !layout->preeditAreaText().isEmpty() ||
        needed > std::numeric_limits<int>::max() / 2) {
        layout->beginLayout();
        return;
    }
    // Only one layout has the memory at a time; one that still does lets go of it first.
    engine->invalidate();
    if (m_engineMemoryHolder != layout) {
        for (QTextBlock other = document()->firstBlock(); other.isValid(); other = other.next()) {
            if (other.length() <= kLongParagraph || other == block)
                continue;
            QTextEngine *otherEngine = other.layout()->engine();
            if (otherEngine->layoutData && otherEngine->layoutData->memory_on_stack &&
                otherEngine->layoutData->memory == m_engineMemory.get())
                otherEngine->invalidate();
        }
    }
    m_engineMemoryHolder = layout;
    if (m_engineMemorySize < needed) {
        m_engineMemorySize = needed + needed / 4;
        m_engineMemory = std::make_unique_for_overwrite<void *[]>(m_engineMemorySize);
    }
    engine->lines.clear();
    engine->layoutData =
        new QTextEngine::LayoutData(text, m_engineMemory.get(), int(m_engineMemorySize));
    engine->itemize();
    engine->layoutData->layoutState = QTextEngine::InLayout;
}

QRectF SpacedLineLayout::blockBoundingRect(const QTextBlock &block) const
{
    // A layout drops its shaped glyphs once its lines are made, so every paint of a line, every
    // caret blink and every caret rectangle shapes the whole paragraph again: in a line of a
    // megabyte, tens of milliseconds each. Long paragraphs keep them.
    if (block.isValid() && block.length() > kLongParagraph)
        block.layout()->setCacheEnabled(true);
    QRectF rect = QPlainTextDocumentLayout::blockBoundingRect(block);
    if (!block.isValid() || !block.isVisible())
        return rect;
    // Straight in the engine's lines: through QTextLine, placing the ten thousand lines of a
    // long paragraph at every paint, caret blink and hit test added up to milliseconds.
    QScriptLineArray &lines = block.layout()->engine()->lines;
    if (lines.isEmpty())
        return rect;

    // Positions follow from the line index alone, so placing the lines again is harmless.
    qreal top = 0;
    qreal halfLeading = 0;
    for (QScriptLine &line : lines) {
        const qreal natural = line.height().ceil().toReal();
        const qreal step = natural * m_multiple;
        halfLeading = (step - natural) / 2;
        line.y = QFixed::fromReal(top + halfLeading);
        top += step;
    }
    // Below the last block only what the plain text edit cannot see: it keeps the document
    // margin free below a line's glyphs when it works out how far it scrolls, and it aligns the
    // top of the view to a line's glyphs, half a leading into its box.
    rect.setHeight(block.next().isValid() ? top : top + halfLeading);
    return rect;
}

} // namespace quillet
