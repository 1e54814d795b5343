#include "plain_text_text_view.h"

#include "model/text_metrics.h"
#include "spaced_line_layout.h"
#include "theme.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPolygonF>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>

namespace quillet {

namespace {

const QString kPlainTextType = QStringLiteral("text/plain");

// The text document separates blocks with U+2029: a copy carries line feeds in their place, the
// reported text its own line end.
void toLineFeeds(QString &text)
{
    text.replace(QChar::ParagraphSeparator, u'\n');
}

void toLineEnding(QString &text, const QString &lineEnding)
{
    if (lineEnding.size() == 1)
        text.replace(QChar::ParagraphSeparator, lineEnding.front());
    else
        text.replace(QChar::ParagraphSeparator, lineEnding);
}

// Characters that the text document turns into a block separator when they are inserted.
bool hasBlockBreaksOtherThanLineFeeds(QStringView text)
{
    return text.contains(u'\r') || text.contains(QChar::ParagraphSeparator) ||
           text.contains(QChar(0xFDD0)) || text.contains(QChar(0xFDD1));
}

const QString kCrLf = QStringLiteral("\r\n");

} // namespace

class PlainTextTextView::LineNumberGutter : public QWidget {
public:
    explicit LineNumberGutter(PlainTextTextView *view)
        : QWidget(view)
        , m_view(view)
    {
    }

protected:
    void paintEvent(QPaintEvent *event) override { m_view->paintLineNumbers(event); }

private:
    PlainTextTextView *m_view;
};

PlainTextTextView::PlainTextTextView(QWidget *parent)
    : QPlainTextEdit(parent)
    , m_alertSound(&QApplication::beep)
{
    auto *document = new QTextDocument(this);
    m_layout = new SpacedLineLayout(document);
    document->setDocumentLayout(m_layout);
    document->setDocumentMargin(Theme::editorInset);
    setDocument(document);

    setReadOnly(false);
    setTextInteractionFlags(Qt::TextEditorInteraction);
    setUndoRedoEnabled(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFrameShape(QFrame::NoFrame);
    // No completion, no automatic capitals: what the user types is what the text holds.
    setInputMethodHints(Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase);
    setPlainFont(Theme::editorFont());

    connect(document, &QTextDocument::contentsChange, this,
            &PlainTextTextView::followDocumentChange);

    m_gutter = new LineNumberGutter(this);
    m_gutter->hide();
    connect(this, &QPlainTextEdit::blockCountChanged, this, &PlainTextTextView::updateGutterWidth);
    connect(this, &QPlainTextEdit::updateRequest, this, &PlainTextTextView::updateGutter);
    // After the control's own scrolling to the caret, which it does in the same turn.
    connect(this, &QPlainTextEdit::cursorPositionChanged, this,
            &PlainTextTextView::keepInsetBelowLastLine, Qt::QueuedConnection);
}

// The control brings the caret's line just inside the bottom edge; on the document's last line
// the inset below it belongs in view too, as it is when scrolled to the end.
void PlainTextTextView::keepInsetBelowLastLine()
{
    const QTextCursor caret = textCursor();
    const QTextBlock block = caret.block();
    QTextLayout *layout = block.layout();
    if (block.next().isValid() || !layout || layout->lineCount() == 0)
        return;
    const QTextLine line = layout->lineForTextPosition(caret.positionInBlock());
    if (!line.isValid() || line.lineNumber() != layout->lineCount() - 1)
        return;
    const qreal step = line.height() * m_layout->lineHeightMultiple();
    const qreal boxBottom = cursorRect(caret).top() + line.height() + (step - line.height()) / 2;
    if (boxBottom + Theme::editorInset > viewport()->height())
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

PlainTextTextView::~PlainTextTextView() = default;

void PlainTextTextView::setOnTextChange(std::function<void(const QString &)> callback)
{
    m_onTextChange = std::move(callback);
}

void PlainTextTextView::setOnTextEdit(
    std::function<void(QString &, qsizetype, qsizetype, QStringView)> callback)
{
    m_onTextEdit = std::move(callback);
}

void PlainTextTextView::setOnCursorChange(std::function<void(qint64)> callback)
{
    m_onCursorChange = std::move(callback);
}

void PlainTextTextView::setTabWidth(qint64 spaces)
{
    m_tabWidth = std::clamp(spaces, kMinimumTabWidth, kMaximumTabWidth);
    applyTabStops();
}

void PlainTextTextView::setPlainFont(const QFont &font)
{
    // A new default font lays the whole document out again.
    if (font == m_plainFont && document()->defaultFont() == font)
        return;
    m_plainFont = font;
    setFont(font);
    document()->setDefaultFont(font);
    applyTabStops();
    updateGutterWidth();
}

qreal PlainTextTextView::lineHeightMultiple() const
{
    return m_layout->lineHeightMultiple();
}

void PlainTextTextView::setLineHeightMultiple(qreal multiple)
{
    if (multiple == m_layout->lineHeightMultiple())
        return;
    m_layout->setLineHeightMultiple(multiple);
    viewport()->update();
    m_gutter->update();
    // The scroll range is measured in block heights.
    emit m_layout->documentSizeChanged(m_layout->documentSize());
}

void PlainTextTextView::setShowLineNumbers(bool show)
{
    m_showLineNumbers = show;
    m_gutter->setVisible(show);
    updateGutterWidth();
}

void PlainTextTextView::applyTabStops()
{
    // Tab characters already in the text line up with what the Tab key would insert.
    const QFontMetricsF metrics(m_plainFont);
    setTabStopDistance(metrics.horizontalAdvance(u' ') * qreal(m_tabWidth));
}

void PlainTextTextView::wrapAnywhereIfUnbroken(QStringView text)
{
    if (!wrapsAnywhere() && text::hasStretchWithoutSpaceLongerThan(text, kLongestUnbrokenStretch))
        setWordWrapMode(QTextOption::WrapAnywhere);
}

void PlainTextTextView::setText(const QString &text)
{
    // Building the document of a large text takes longer than showing the window, so a fresh
    // view in a window not yet on screen shows its first paint empty and builds the document
    // right after. The text is the view's at once; any input, and every route that edits or
    // reads the document, builds it first.
    if (!window()->isVisible() && text.size() > kDeferredLength && m_documentLength == 0 &&
        !hasBlockBreaksOtherThanLineFeeds(text)) {
        m_text = text;
        m_lineEnding = QStringLiteral("\n");
        m_pendingText = true;
        return;
    }
    m_pendingText = false;
    loadText(text);
}

void PlainTextTextView::loadPendingText()
{
    if (!m_pendingText)
        return;
    m_pendingText = false;
    const QString text = m_text;
    loadText(text);
}

void PlainTextTextView::loadText(const QString &text)
{
    // Chosen before the text arrives, so it is laid out once and in the cheap mode if need be.
    if (wrapsAnywhere())
        setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    wrapAnywhereIfUnbroken(text);
    m_replacingAll = true;
    document()->setPlainText(text);
    m_replacingAll = false;
    placeCaret(QTextCursor(document()));
    m_documentLength = document()->characterCount() - 1;
    m_lineEnding = text::dominantLineEnding(text);
    // Text of line feeds alone is kept as it came, sharing its buffer.
    if (m_lineEnding != u"\n" || hasBlockBreaksOtherThanLineFeeds(text)) {
        m_text = document()->toRawText();
        toLineEnding(m_text, m_lineEnding);
    } else {
        m_text = text;
    }
}

bool PlainTextTextView::event(QEvent *event)
{
    if (m_pendingText) {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::ShortcutOverride:
        case QEvent::InputMethod:
            loadPendingText();
            break;
        default:
            break;
        }
    }
    return QPlainTextEdit::event(event);
}

bool PlainTextTextView::viewportEvent(QEvent *event)
{
    if (m_pendingText) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::DragEnter:
        case QEvent::Drop:
        case QEvent::ContextMenu:
            loadPendingText();
            break;
        case QEvent::Paint:
            QTimer::singleShot(0, this, &PlainTextTextView::loadPendingText);
            break;
        default:
            break;
        }
    }
    return QPlainTextEdit::viewportEvent(event);
}

qsizetype PlainTextTextView::toTextOffset(int documentPosition) const
{
    if (m_lineEnding.size() == 1)
        return documentPosition;
    // One more unit for every line break before the position.
    return documentPosition + document()->findBlock(documentPosition).blockNumber();
}

int PlainTextTextView::toDocumentPosition(qsizetype textOffset) const
{
    if (m_lineEnding.size() == 1)
        return int(textOffset);
    return int(textOffset - text::scanLineFeeds(QStringView(m_text).first(textOffset)).count);
}

void PlainTextTextView::replaceAllUndoably(const QString &text)
{
    loadPendingText();
    if (hasBlockBreaksOtherThanLineFeeds(text) || hasBlockBreaksOtherThanLineFeeds(m_text)) {
        setText(text);
        return;
    }
    wrapAnywhereIfUnbroken(text);
    QTextCursor cursor(document());
    cursor.select(QTextCursor::Document);
    cursor.beginEditBlock();
    cursor.insertText(text, QTextCharFormat());
    cursor.endEditBlock();
    document()->setModified(false);
}

void PlainTextTextView::followDocumentChange(int from, int charsRemoved, int charsAdded)
{
    if (m_replacingAll)
        return;
    // The document may count its final block separator in a change that touches the end, so the
    // counts are trimmed to the lengths before and after.
    const qsizetype oldLength = m_documentLength;
    const qsizetype newLength = document()->characterCount() - 1;
    const qsizetype start = std::clamp<qsizetype>(from, 0, oldLength);
    const qsizetype removed = std::clamp<qsizetype>(charsRemoved, 0, oldLength - start);
    const qsizetype added = removed + (newLength - oldLength);
    Q_UNUSED(charsAdded);
    if (added < 0)
        return;
    m_documentLength = newLength;

    QTextCursor range(document());
    range.setPosition(int(start));
    range.setPosition(int(start + added), QTextCursor::KeepAnchor);
    QString inserted = range.selectedText();
    toLineEnding(inserted, m_lineEnding);
    // The text before the change is laid out in blocks as it was, so the new document places it.
    const qsizetype textStart = toTextOffset(int(start));
    qsizetype textEnd = textStart + removed;
    if (m_lineEnding == kCrLf) {
        textEnd = textStart;
        for (qsizetype count = 0; count < removed && textEnd < m_text.size(); ++count)
            textEnd += m_text.at(textEnd) == u'\r' ? 2 : 1;
    }
    // A change of formats alone reports a range whose characters stay as they were.
    if (removed == added &&
        QStringView(m_text).sliced(textStart, textEnd - textStart) == QStringView(inserted))
        return;

    const qsizetype expectedSize = m_text.size() - (textEnd - textStart) + inserted.size();
    if (!m_suppressCallbacks && m_onTextEdit) {
        m_onTextEdit(m_text, textStart, textEnd - textStart, inserted);
        // A receiver that left something else behind would part the text from the document.
        if (m_text.size() != expectedSize) {
            m_text = document()->toRawText();
            toLineEnding(m_text, m_lineEnding);
        }
    } else {
        m_text.replace(textStart, textEnd - textStart, inserted);
    }

    // Typing can grow a stretch past the limit one character at a time, and undo can bring one
    // back; switching from the event loop keeps the document's layout out of its change signal.
    if (!wrapsAnywhere()) {
        const qsizetype from = std::max<qsizetype>(0, textStart - kLongestUnbrokenStretch);
        const qsizetype to = std::min<qsizetype>(m_text.size(), textStart + inserted.size() +
                                                                    kLongestUnbrokenStretch);
        if (text::hasStretchWithoutSpaceLongerThan(QStringView(m_text).sliced(from, to - from),
                                                   kLongestUnbrokenStretch))
            QMetaObject::invokeMethod(
                this, [this] { setWordWrapMode(QTextOption::WrapAnywhere); }, Qt::QueuedConnection);
    }

    if (!m_suppressCallbacks && !m_onTextEdit && m_onTextChange)
        m_onTextChange(m_text);
}

PlainTextTextView::SelectedRange PlainTextTextView::selectedRange() const
{
    const QTextCursor cursor = textCursor();
    const qsizetype start = toTextOffset(cursor.selectionStart());
    return {start, toTextOffset(cursor.selectionEnd()) - start};
}

void PlainTextTextView::setSelectedRange(qint64 location, qint64 length)
{
    loadPendingText();
    // An offset carried over from another text can fall inside a character here; typing there
    // would split a surrogate pair or take a letter's accent.
    const qint64 size = m_text.size();
    const qint64 start =
        text::characterBoundaryAtOrBefore(m_text, std::clamp<qint64>(location, 0, size));
    const qint64 end = length > 0 ? text::characterBoundaryAtOrAfter(
                                        m_text, std::clamp<qint64>(location + length, start, size))
                                  : start;
    QTextCursor cursor(document());
    cursor.setPosition(toDocumentPosition(start));
    cursor.setPosition(toDocumentPosition(end), QTextCursor::KeepAnchor);
    placeCaret(cursor);
    if (!m_suppressCallbacks)
        reportCursor(start);
}

void PlainTextTextView::placeCaret(const QTextCursor &cursor)
{
    setTextCursor(cursor);
    // Before the window is laid out the view has a child's tiny default size, and keeping the
    // caret in view there scrolls by a line, a scroll that outlives the resize.
    if (!showsAWholeLine())
        m_revealCaretOnResize = true;
}

bool PlainTextTextView::showsAWholeLine() const
{
    return viewport()->height() >= cursorRect().height() + 2 * document()->documentMargin();
}

void PlainTextTextView::reportCursorPosition()
{
    reportCursor(toTextOffset(textCursor().selectionStart()));
}

void PlainTextTextView::reportCursor(qint64 location)
{
    if (m_onCursorChange)
        m_onCursorChange(location);
}

std::optional<QString> PlainTextTextView::plainTextOf(const QMimeData *mimeData)
{
    // hasText() would also answer for a list of URLs; only a real plain-text representation
    // counts.
    if (!mimeData || !mimeData->hasFormat(kPlainTextType))
        return std::nullopt;
    QString text = mimeData->text();
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

bool PlainTextTextView::replaceRange(QTextCursor &cursor, const QString &text)
{
    if (isReadOnly())
        return false;
    // Before the insertion is laid out; a pasted stretch may join the ones on either side.
    if (!wrapsAnywhere()) {
        const qsizetype selectionStart = toTextOffset(cursor.selectionStart());
        const qsizetype selectionEnd = toTextOffset(cursor.selectionEnd());
        const qsizetype from = std::max<qsizetype>(0, selectionStart - kLongestUnbrokenStretch);
        const qsizetype to =
            std::min<qsizetype>(m_text.size(), selectionEnd + kLongestUnbrokenStretch);
        const QStringView before(m_text);
        QString joined;
        joined.reserve(to - from + text.size());
        joined.append(before.sliced(from, selectionStart - from));
        joined.append(text);
        joined.append(before.sliced(selectionEnd, to - selectionEnd));
        wrapAnywhereIfUnbroken(joined);
    }
    // The edit block makes the replacement one undo step that never merges with typing.
    cursor.beginEditBlock();
    cursor.insertText(text, QTextCharFormat());
    cursor.endEditBlock();
    // The document merges typing that follows an insertion into the insertion's undo step unless
    // the step is where the document was last marked unmodified. The view has no use for the
    // modified flag (the scratchpad keeps its own), so it serves as that boundary.
    document()->setModified(false);
    return true;
}

bool PlainTextTextView::pastePlainText(const std::optional<QString> &text)
{
    loadPendingText();
    if (!text) {
        if (m_alertSound)
            m_alertSound();
        return false;
    }
    QTextCursor cursor = textCursor();
    if (!replaceRange(cursor, *text))
        return false;
    setTextCursor(cursor);
    return true;
}

bool PlainTextTextView::dropPlainText(const std::optional<QString> &text, QPoint viewportPoint)
{
    loadPendingText();
    if (!text)
        return false;
    // A cursor of its own: the view's selection is carried along with the text it covers.
    QTextCursor at = cursorForPosition(viewportPoint);
    at.clearSelection();
    return replaceRange(at, *text);
}

bool PlainTextTextView::insertTab()
{
    loadPendingText();
    QTextCursor cursor = textCursor();
    if (!replaceRange(cursor, QString(qsizetype(m_tabWidth), u' ')))
        return false;
    setTextCursor(cursor);
    return true;
}

void PlainTextTextView::pasteFromClipboard()
{
    pastePlainText(plainTextOf(QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard)));
}

void PlainTextTextView::keyPressEvent(QKeyEvent *event)
{
    if (event == QKeySequence::Paste) {
        pasteFromClipboard();
        event->accept();
        return;
    }
    const auto otherModifiers = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (event->key() == Qt::Key_Tab && !(event->modifiers() & otherModifiers)) {
        insertTab();
        event->accept();
        return;
    }
    // An ignored Shift+Tab would reach the parent, which moves the focus out of the editor and
    // the keys typed next with it; Alt+Tab, when no window manager takes it, would insert a tab
    // character. Neither edits here.
    if (event->key() == Qt::Key_Backtab || event->key() == Qt::Key_Tab) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void PlainTextTextView::keyReleaseEvent(QKeyEvent *event)
{
    QPlainTextEdit::keyReleaseEvent(event);
    reportCursorPosition();
}

void PlainTextTextView::mouseReleaseEvent(QMouseEvent *event)
{
    QPlainTextEdit::mouseReleaseEvent(event);
    reportCursorPosition();
}

void PlainTextTextView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createStandardContextMenu(event->pos());
    // The standard entry would run the text control's own paste; ours reads plain text only.
    if (auto *paste = menu->findChild<QAction *>(QStringLiteral("edit-paste"))) {
        paste->disconnect();
        connect(paste, &QAction::triggered, this, &PlainTextTextView::pasteFromClipboard);
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void PlainTextTextView::dragEnterEvent(QDragEnterEvent *event)
{
    if (!plainTextOf(event->mimeData())) {
        event->ignore();
        return;
    }
    QPlainTextEdit::dragEnterEvent(event);
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void PlainTextTextView::dragMoveEvent(QDragMoveEvent *event)
{
    if (!plainTextOf(event->mimeData())) {
        event->ignore();
        return;
    }
    QPlainTextEdit::dragMoveEvent(event);
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void PlainTextTextView::dropEvent(QDropEvent *event)
{
    // Clears the drop caret that the drag moves drew.
    QDragLeaveEvent leave;
    QPlainTextEdit::dragLeaveEvent(&leave);
    // A drag out of this view is copied, never moved: the source text stays.
    if (dropPlainText(plainTextOf(event->mimeData()), event->position().toPoint())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

bool PlainTextTextView::canInsertFromMimeData(const QMimeData *source) const
{
    return plainTextOf(source).has_value();
}

void PlainTextTextView::insertFromMimeData(const QMimeData *source)
{
    pastePlainText(plainTextOf(source));
}

QMimeData *PlainTextTextView::createMimeDataFromSelection() const
{
    // Copies carry the characters only, never the document's HTML.
    QString selected = textCursor().selectedText();
    toLineFeeds(selected);
    auto *mimeData = new QMimeData;
    mimeData->setText(selected);
    return mimeData;
}

int PlainTextTextView::gutterWidth() const
{
    if (!m_showLineNumbers)
        return 0;
    int digits = 1;
    for (int count = std::max(1, blockCount()); count >= 10; count /= 10)
        ++digits;
    const QFontMetrics metrics(m_plainFont);
    return Theme::editorInset / 2 + metrics.horizontalAdvance(u'9') * digits;
}

void PlainTextTextView::updateGutterWidth()
{
    if (!m_gutter)
        return;
    setViewportMargins(gutterWidth(), 0, 0, 0);
    const QRect area = contentsRect();
    m_gutter->setGeometry(QRect(area.left(), area.top(), gutterWidth(), area.height()));
}

void PlainTextTextView::updateGutter(const QRect &rect, int dy)
{
    if (!m_showLineNumbers)
        return;
    if (dy != 0)
        m_gutter->scroll(0, dy);
    else
        m_gutter->update(0, rect.y(), m_gutter->width(), rect.height());
}

void PlainTextTextView::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    updateGutterWidth();
    if (m_revealCaretOnResize && showsAWholeLine()) {
        m_revealCaretOnResize = false;
        ensureCursorVisible();
    }
}

bool PlainTextTextView::isBidiControl(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}

QList<PlainTextTextView::BidiMarker> PlainTextTextView::visibleBidiMarkers() const
{
    return bidiMarkersIn(viewport()->rect());
}

QList<PlainTextTextView::BidiMarker> PlainTextTextView::bidiMarkersIn(const QRect &area) const
{
    QList<BidiMarker> markers;
    const qreal width = std::max<qreal>(3, QFontMetricsF(m_plainFont).horizontalAdvance(u' ') / 3);
    QTextBlock block = firstVisibleBlock();
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    while (block.isValid() && top <= area.bottom()) {
        const qreal height = blockBoundingRect(block).height();
        const QTextLayout *layout = block.layout();
        if (block.isVisible() && top + height >= area.top() && layout) {
            // Line by line, each read from the document alone rather than from a copy of the
            // whole block, so that a very long line is only read where it is in view.
            const int blockEnd = block.length() - 1;
            QTextCursor reader(block);
            for (int i = 0; i < layout->lineCount(); ++i) {
                const QTextLine line = layout->lineAt(i);
                const qreal lineTop = top + line.y();
                if (lineTop > area.bottom())
                    break;
                if (lineTop + line.height() < area.top())
                    continue;
                const int start = line.textStart();
                const int end = std::min(start + line.textLength(), blockEnd);
                reader.setPosition(block.position() + start);
                reader.setPosition(block.position() + end, QTextCursor::KeepAnchor);
                const QString text = reader.selectedText();
                for (int at = start; at < end; ++at) {
                    const QChar c = text.at(at - start);
                    if (!isBidiControl(c))
                        continue;
                    const qreal x = line.cursorToX(at) + contentOffset().x();
                    markers.append({QRectF(x - width / 2, lineTop, width, line.height()),
                                    block.position() + at, c});
                }
            }
        }
        top += height;
        block = block.next();
    }
    return markers;
}

// A thin bar the height of the line with a flag at its top: pointing right for the left-to-right
// controls, left for the right-to-left ones, a square for the pop and first-strong controls.
void PlainTextTextView::paintBidiMarkers(QPainter &painter, const QRect &area) const
{
    const QList<BidiMarker> markers = bidiMarkersIn(area);
    if (markers.isEmpty())
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor colour = Theme::bidiMarker();
    for (const BidiMarker &marker : markers) {
        const QRectF &r = marker.rect;
        const qreal flag = std::min(r.width() * 2, r.height() / 2);
        painter.fillRect(QRectF(r.center().x() - 0.75, r.top(), 1.5, r.height()), colour);
        QPolygonF shape;
        switch (marker.control.unicode()) {
        case 0x202A:
        case 0x202D:
        case 0x2066: // left to right
            shape << QPointF(r.center().x(), r.top())
                  << QPointF(r.center().x() + flag, r.top() + flag / 2)
                  << QPointF(r.center().x(), r.top() + flag);
            break;
        case 0x202B:
        case 0x202E:
        case 0x2067: // right to left
            shape << QPointF(r.center().x(), r.top())
                  << QPointF(r.center().x() - flag, r.top() + flag / 2)
                  << QPointF(r.center().x(), r.top() + flag);
            break;
        default:
            shape << QPointF(r.center().x() - flag / 2, r.top())
                  << QPointF(r.center().x() + flag / 2, r.top())
                  << QPointF(r.center().x() + flag / 2, r.top() + flag)
                  << QPointF(r.center().x() - flag / 2, r.top() + flag);
            break;
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawPolygon(shape);
    }
}

void PlainTextTextView::paintEvent(QPaintEvent *event)
{
    QPlainTextEdit::paintEvent(event);
    QPainter painter(viewport());
    paintBidiMarkers(painter, event->rect());
}

void PlainTextTextView::paintLineNumbers(QPaintEvent *event)
{
    QPainter painter(m_gutter);
    painter.fillRect(event->rect(), Theme::textBackground());
    painter.setFont(m_plainFont);
    painter.setPen(Theme::secondaryLabel());
    const QFontMetricsF metrics(m_plainFont);
    const qreal right = m_gutter->width();

    QTextBlock block = firstVisibleBlock();
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    while (block.isValid() && top <= event->rect().bottom()) {
        const qreal height = blockBoundingRect(block).height();
        if (block.isVisible() && top + height >= event->rect().top()) {
            const QTextLine first = block.layout()->lineAt(0);
            const qreal baseline =
                top + (first.isValid() ? first.y() + first.ascent() : metrics.ascent());
            const QString number = QString::number(block.blockNumber() + 1);
            painter.drawText(QPointF(right - metrics.horizontalAdvance(number), baseline), number);
        }
        top += height;
        block = block.next();
    }
}

} // namespace quillet
