#include "plain_text_text_view.h"

#include "line_number_gutter.h"
#include "spaced_line_layout.h"
#include "style/theme.h"

#include "text/text_metrics.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPromise>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QThreadPool>
#include <QTimer>
#include <QtGui/private/qtextdocument_p.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>
#include <type_traits>

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

// The text as the document holds it, every line break one line feed: the breaks the document
// makes of CR LF, of a lone CR, of U+2029 and of its two frame markers.
QString withLineFeedBreaks(QStringView text)
{
    QString result(text.size(), Qt::Uninitialized);
    QChar *out = result.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == QChar::ParagraphSeparator || c == QChar(0xFDD0) ||
            c == QChar(0xFDD1)) {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            *out++ = u'\n';
        } else {
            *out++ = c;
        }
    }
    result.truncate(out - result.constData());
    return result;
}

// Lines are handed to the document in slices of about this many units, as many slices per turn
// of the event loop as fit in the turn's time.
constexpr qsizetype kFeedSlice = 16 * 1024;
constexpr qint64 kFeedTurnNanoseconds = 6'000'000;

// Qt's text document keeps its characters, fragments and blocks in arrays that it doubles with
// `realloc` as they fill. Where the heap has room from memory freed earlier, each doubling copies
// the whole array into fresh pages in the middle of a slice, 20-40 ms on the GUI thread at a few
// million lines. A text fed in by slices knows its size and line count before the first slice,
// so the arrays are given their final size while they are still nearly empty.
template <class Fragment> void reserveFragments(QFragmentMap<Fragment> &map, quint64 count)
{
    using Data = QFragmentMapData<Fragment>;
    static_assert(std::is_standard_layout_v<QFragmentMap<Fragment>>,
                  "the map's data must be its first member");
    auto &data = *reinterpret_cast<Data *>(&map);
    const quint32 allocated = data.head->allocated;
    if (count <= allocated || count > std::numeric_limits<quint32>::max())
        return;
    // Allocated and freed by Qt with realloc and free as well.
    auto *grown = static_cast<Fragment *>(std::realloc(data.fragments, count * Data::fragmentSize));
    if (!grown)
        return;
    data.fragments = grown;
    // A full array's free list points just past its end, which now starts the unused entries.
    if (data.head->freelist == allocated)
        data.fragment(allocated)->right = 0;
    data.head->allocated = quint32(count);
}

// The document's own copy of its characters is private; an explicit instantiation may name it.
QString &documentCharacters(QTextDocumentPrivate &document);
template <QString QTextDocumentPrivate::*Characters> struct DocumentCharacters {
    friend QString &documentCharacters(QTextDocumentPrivate &document)
    {
        return document.*Characters;
    }
};
template struct DocumentCharacters<&QTextDocumentPrivate::text>;

void reserveDocumentCapacity(QTextDocument *document, qsizetype characterCount, qsizetype lineCount)
{
    // With room for the first edits as well: each adds characters, and most a fragment.
    const auto withRoom = [](quint64 count) { return count + count / 16 + 1024; };
    QTextDocumentPrivate *text = QTextDocumentPrivate::get(document);
    try {
        QString &characters = documentCharacters(*text);
        characters.reserve(qsizetype(characters.size() + withRoom(quint64(characterCount))));
    } catch (const std::bad_alloc &) {
        // Left to grow as it goes, as it would have.
    }
    // A line is a block, and a run of text followed by its block separator.
    const quint64 lines = quint64(lineCount) + 1;
    reserveFragments(text->fragmentMap(), withRoom(2 * lines));
    reserveFragments(text->blockMap(), withRoom(lines));
}

} // namespace

// A text being prepared, shared with the worker that scans it. The GUI thread reads the results
// once `done` is set, which the worker does last.
struct PlainTextTextView::Preparation {
    QString text;
    std::atomic<bool> cancelled = false;
    std::atomic<bool> done = false;
    bool failed = false;
    QString documentText;
    QString viewText;
    QString lineEnding;
    bool wrapsAnywhere = false;
    qsizetype lineCount = 1;

    void scan()
    {
        try {
            lineEnding = text::dominantLineEnding(text);
            wrapsAnywhere = text::hasStretchWithoutSpaceLongerThan(text, kLongestUnbrokenStretch);
            if (!cancelled && hasBlockBreaksOtherThanLineFeeds(text)) {
                documentText = withLineFeedBreaks(text);
                viewText = documentText;
                if (lineEnding.size() == 1)
                    viewText.replace(u'\n', lineEnding.front());
                else
                    viewText.replace(u'\n', lineEnding);
                // Text already in one line end keeps its buffer, shared with whoever gave it.
                if (viewText == text)
                    viewText = text;
            } else {
                documentText = text;
                viewText = text;
            }
            lineCount = text::scanLineFeeds(documentText).count + 1;
        } catch (const std::bad_alloc &) {
            documentText = viewText = QString();
            failed = true;
        }
        done = true;
    }
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
    // After the control's own scrolling to the caret, which it does in the same turn.
    connect(this, &QPlainTextEdit::cursorPositionChanged, this,
            &PlainTextTextView::keepInsetBelowLastLine, Qt::QueuedConnection);

    m_feedTimer = new QTimer(this);
    m_feedTimer->setSingleShot(true);
    m_feedTimer->setInterval(0);
    connect(m_feedTimer, &QTimer::timeout, this, &PlainTextTextView::feedDocument);
    // A selection the user makes while the text is prepared wins over one asked for before.
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        if (m_preparing && !m_feeding)
            m_requestedSelection.reset();
    });
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

PlainTextTextView::~PlainTextTextView()
{
    if (m_preparation)
        m_preparation->cancelled = true;
}

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

bool PlainTextTextView::showsLineNumbers() const
{
    return m_gutter->isShown();
}

void PlainTextTextView::setShowLineNumbers(bool show)
{
    m_gutter->setShown(show);
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
    stopPreparing();
    if (text.size() <= kDeferredLength) {
        loadText(text);
        return;
    }
    m_replacingAll = true;
    document()->setPlainText(QString());
    m_replacingAll = false;
    m_documentLength = 0;
    m_text = text;
    m_lineEnding = QStringLiteral("\n");
    m_preparing = true;
    setReadOnly(true);
    document()->setUndoRedoEnabled(false);
    placeCaret(QTextCursor(document()));

    // The worker sees only the shared preparation; a view closed meanwhile just drops it.
    auto preparation = std::make_shared<Preparation>();
    preparation->text = text;
    m_preparation = preparation;
    auto promise = std::make_shared<QPromise<void>>();
    m_scanWatcher = new QFutureWatcher<void>(this);
    connect(m_scanWatcher, &QFutureWatcherBase::finished, this,
            [this, scanned = std::weak_ptr(preparation)] {
                const std::shared_ptr<Preparation> preparation = scanned.lock();
                if (!preparation || preparation != m_preparation || !preparation->done)
                    return;
                if (preparation->failed) {
                    // Too little memory for a copy in the document's line breaks: the document
                    // is built at once, as a small text is.
                    const QString text = m_text;
                    stopPreparing();
                    loadText(text);
                    return;
                }
                m_documentText = std::move(preparation->documentText);
                m_text = std::move(preparation->viewText);
                m_lineEnding = preparation->lineEnding;
                m_preparedLineCount = preparation->lineCount;
                reserveDocumentCapacity(document(), m_documentText.size(), m_preparedLineCount);
                m_preparation.reset();
                // Wide enough for the last line's number from the start: each widening would lay
                // out every line already in again.
                updateGutterWidth();
                // Chosen while the document is empty, so nothing is laid out twice.
                setWordWrapMode(preparation->wrapsAnywhere
                                    ? QTextOption::WrapAnywhere
                                    : QTextOption::WrapAtWordBoundaryOrAnywhere);
                startFeedingWhenReady();
            });
    m_scanWatcher->setFuture(promise->future());
    QThreadPool::globalInstance()->start([preparation, promise] {
        promise->start();
        preparation->scan();
        promise->finish();
    });
}

bool PlainTextTextView::refuseEditWhilePreparing()
{
    if (!m_preparing)
        return false;
    if (m_alertSound)
        m_alertSound();
    return true;
}

void PlainTextTextView::stopPreparing()
{
    if (!m_preparing)
        return;
    if (m_preparation)
        m_preparation->cancelled = true;
    m_preparation.reset();
    if (m_scanWatcher) {
        m_scanWatcher->disconnect(this);
        m_scanWatcher->deleteLater();
        m_scanWatcher = nullptr;
    }
    m_feedTimer->stop();
    m_documentText = QString();
    m_fedLength = 0;
    m_requestedSelection.reset();
    m_paintedWhilePreparing = false;
    m_preparing = false;
    document()->setUndoRedoEnabled(true);
    setReadOnly(false);
}

void PlainTextTextView::startFeedingWhenReady()
{
    // Not before the first paint: the window shows first, and the view has its real width, so
    // the lines already in are never laid out again for it.
    if (m_preparing && !m_preparation && m_paintedWhilePreparing && !m_feedTimer->isActive())
        m_feedTimer->start();
}

void PlainTextTextView::feedDocument()
{
    if (!m_preparing)
        return;
    QElapsedTimer clock;
    clock.start();
    const QTextCursor shown = textCursor();
    const int anchor = shown.anchor();
    const int position = shown.position();
    const int scrolled = verticalScrollBar()->value();
    const qsizetype size = m_documentText.size();

    // Lines going in below the view change nothing in it but the scroll bar, so the view is not
    // asked to repaint for them.
    const bool endInView = endOfDocumentInView();
    std::optional<QSignalBlocker> quiet;
    if (!endInView)
        quiet.emplace(m_layout);

    // One edit block per turn: the layout and the view follow the change once.
    m_feeding = true;
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.beginEditBlock();
    do {
        qsizetype stop = std::min(m_fedLength + kFeedSlice, size);
        // Whole lines: a line handed over in pieces would be laid out again with each piece.
        if (stop < size) {
            const qsizetype lineEnd = m_documentText.indexOf(u'\n', stop - 1);
            stop = lineEnd < 0 ? size : lineEnd + 1;
        }
        end.insertText(m_documentText.sliced(m_fedLength, stop - m_fedLength));
        m_fedLength = stop;
    } while (m_fedLength < size && clock.nsecsElapsed() < kFeedTurnNanoseconds);
    end.endEditBlock();
    if (quiet) {
        quiet.reset();
        emit m_layout->documentSizeChanged(m_layout->documentSize());
    }

    // A caret at the end of the lines in moves on with each insertion there; it stays put.
    if (textCursor().anchor() != anchor || textCursor().position() != position) {
        QTextCursor kept(document());
        kept.setPosition(anchor);
        kept.setPosition(position, QTextCursor::KeepAnchor);
        setTextCursor(kept);
        verticalScrollBar()->setValue(scrolled);
    }
    m_feeding = false;

    if (m_fedLength < size)
        m_feedTimer->start();
    else
        finishPreparing();
}

bool PlainTextTextView::endOfDocumentInView() const
{
    qreal top = contentOffset().y();
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        if (top > viewport()->height())
            return false;
        top += blockBoundingRect(block).height();
    }
    return true;
}

void PlainTextTextView::finishPreparing()
{
    const std::optional<SelectedRange> requested = m_requestedSelection;
    m_documentLength = document()->characterCount() - 1;
    m_documentText = QString();
    m_fedLength = 0;
    m_requestedSelection.reset();
    m_paintedWhilePreparing = false;
    m_preparing = false;
    if (m_scanWatcher) {
        m_scanWatcher->deleteLater();
        m_scanWatcher = nullptr;
    }
    document()->setUndoRedoEnabled(true);
    document()->setModified(false);
    setReadOnly(false);
    if (requested) {
        // Reported when it was asked for.
        const QScopedValueRollback suppressed(m_suppressCallbacks, true);
        setSelectedRange(requested->location, requested->length);
    }
    emit textPrepared();
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

bool PlainTextTextView::viewportEvent(QEvent *event)
{
    if (m_preparing && event->type() == QEvent::Paint && !m_paintedWhilePreparing) {
        m_paintedWhilePreparing = true;
        startFeedingWhenReady();
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
    // Nothing to undo to before the text being prepared is in.
    if (m_preparing || hasBlockBreaksOtherThanLineFeeds(text) ||
        hasBlockBreaksOtherThanLineFeeds(m_text)) {
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
    if (m_replacingAll || m_preparing)
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
    if (m_preparing && m_requestedSelection)
        return *m_requestedSelection;
    const QTextCursor cursor = textCursor();
    const qsizetype start = toTextOffset(cursor.selectionStart());
    return {start, toTextOffset(cursor.selectionEnd()) - start};
}

void PlainTextTextView::setSelectedRange(qint64 location, qint64 length)
{
    // An offset carried over from another text can fall inside a character here; typing there
    // would split a surrogate pair or take a letter's accent.
    const qint64 size = m_text.size();
    const qint64 start =
        text::characterBoundaryAtOrBefore(m_text, std::clamp<qint64>(location, 0, size));
    const qint64 end = length > 0 ? text::characterBoundaryAtOrAfter(
                                        m_text, std::clamp<qint64>(location + length, start, size))
                                  : start;
    if (m_preparing) {
        m_requestedSelection = SelectedRange{start, end - start};
    } else {
        QTextCursor cursor(document());
        cursor.setPosition(toDocumentPosition(start));
        cursor.setPosition(toDocumentPosition(end), QTextCursor::KeepAnchor);
        placeCaret(cursor);
    }
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
    reportCursor(selectedRange().location);
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
    if (refuseEditWhilePreparing())
        return false;
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
    if (!text || m_preparing)
        return false;
    // A cursor of its own: the view's selection is carried along with the text it covers.
    QTextCursor at = cursorForPosition(viewportPoint);
    at.clearSelection();
    return replaceRange(at, *text);
}

void PlainTextTextView::insertTab()
{
    if (refuseEditWhilePreparing())
        return;
    QTextCursor cursor = textCursor();
    if (replaceRange(cursor, QString(qsizetype(m_tabWidth), u' ')))
        setTextCursor(cursor);
}

void PlainTextTextView::pasteFromClipboard()
{
    pastePlainText(plainTextOf(QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard)));
}

void PlainTextTextView::keyPressEvent(QKeyEvent *event)
{
    if (m_preparing && isEditKey(event)) {
        refuseEditWhilePreparing();
        event->accept();
        return;
    }
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

bool PlainTextTextView::isEditKey(const QKeyEvent *event) const
{
    for (const QKeySequence::StandardKey edit :
         {QKeySequence::Cut, QKeySequence::Paste, QKeySequence::Undo, QKeySequence::Redo,
          QKeySequence::DeleteStartOfWord, QKeySequence::DeleteEndOfWord,
          QKeySequence::DeleteEndOfLine, QKeySequence::DeleteCompleteLine}) {
        if (event->matches(edit))
            return true;
    }
    switch (event->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return true;
    default:
        break;
    }
    // What the text control would type; Ctrl+C and the like carry control characters.
    const QString text = event->text();
    return !text.isEmpty() && text.front().isPrint();
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
    if (m_preparing || !plainTextOf(event->mimeData())) {
        event->ignore();
        return;
    }
    QPlainTextEdit::dragEnterEvent(event);
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void PlainTextTextView::dragMoveEvent(QDragMoveEvent *event)
{
    if (m_preparing || !plainTextOf(event->mimeData())) {
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

void PlainTextTextView::updateGutterWidth()
{
    // The font is set before the gutter is made.
    if (m_gutter)
        m_gutter->updateWidth();
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

QList<BidiMarker> PlainTextTextView::visibleBidiMarkers() const
{
    return bidiMarkersIn(*this, viewport()->rect());
}

void PlainTextTextView::paintEvent(QPaintEvent *event)
{
    QPlainTextEdit::paintEvent(event);
    QPainter painter(viewport());
    paintBidiMarkers(painter, bidiMarkersIn(*this, event->rect()));
}

} // namespace quillet
