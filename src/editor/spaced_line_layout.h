#pragma once

#include <QPlainTextDocumentLayout>

#include <memory>

namespace quillet {

// The plain-text layout with a line-height multiple: every line takes its natural height times
// the multiple, with the extra space split above and below its glyphs. The plain layout has no
// line spacing of its own, so the lines it places are moved whenever a block's rectangle is asked
// for; every painter and hit test of the plain text edit asks for it first. A multiple of 1 leaves
// the plain layout untouched.
class SpacedLineLayout : public QPlainTextDocumentLayout {
public:
    // Paragraphs longer than this keep their shaped glyphs between layouts and paints.
    static constexpr int kLongParagraph = 4096;

    explicit SpacedLineLayout(QTextDocument *document);

    qreal lineHeightMultiple() const { return m_multiple; }
    // Takes effect at the next paint; the caller repaints.
    void setLineHeightMultiple(qreal multiple);

    QRectF blockBoundingRect(const QTextBlock &block) const override;

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
    bool relayoutLongParagraph(int from, int charsRemoved, int charsAdded);
    void beginLongLayout(const QTextBlock &block);

    // The memory the text engine lays a long paragraph out in, kept from key to key, and the
    // layout that last had it.
    std::unique_ptr<void *[]> m_engineMemory;
    qsizetype m_engineMemorySize = 0;
    const QTextLayout *m_engineMemoryHolder = nullptr;

    qreal m_multiple = 1.0;
    // The block count at the last change, as the plain layout keeps it.
    int m_blockCount = 1;
};

} // namespace quillet
