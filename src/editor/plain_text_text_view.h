#pragma once

#include "bidi_markers.h"

#include <QFont>
#include <QList>
#include <QPlainTextEdit>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QMimeData;
class QTimer;
template <typename T> class QFutureWatcher;

namespace quillet {

class LineNumberGutter;
class SpacedLineLayout;

// The editing surface of one scratchpad. Whatever arrives by paste, drop or typing enters the
// document as bare characters: only the plain-text representation of a clipboard or a drag is
// ever read, and no character format is ever applied, so the whole text is shown in `plainFont`
// and the palette's text colour. Edits and cursor moves are reported through two callbacks; the
// view knows nothing of scratchpads.
//
// Offsets are UTF-16 code units of `text()`, and every one the view takes or reports lies on a
// character boundary. The text keeps one line end, `lineEnding()`: the one that ends most lines
// of the text last handed to `setText` (a line feed for text without any). Every line break
// typed, pasted or dropped goes into the text as that line end, so a file written with CR LF is
// edited and saved with CR LF; other line ends (and U+2029) in text handed to `setText` become
// that one, as the text document knows only one kind of break.
class PlainTextTextView : public QPlainTextEdit {
    Q_OBJECT

public:
    struct SelectedRange {
        qint64 location = 0;
        qint64 length = 0;
        friend bool operator==(const SelectedRange &, const SelectedRange &) = default;
    };

    static constexpr qint64 kMinimumTabWidth = 1;
    static constexpr qint64 kMaximumTabWidth = 16;

    explicit PlainTextTextView(QWidget *parent = nullptr);
    ~PlainTextTextView() override;

    // Called with the whole text after every change of it, unless callbacks are suppressed.
    void setOnTextChange(std::function<void(const QString &)> callback);
    // Called instead of the text-change callback, when set, with the view's text and the change
    // to make in it: `removed` units at `start` replaced by `inserted`. The receiver leaves the
    // changed text in `text`. One that keeps the text can make the change in its own copy after
    // emptying `text`, which then shares that copy again: the buffer is changed in place and a
    // large text is never copied for a keystroke.
    void setOnTextEdit(
        std::function<void(QString &text, qsizetype start, qsizetype removed, QStringView inserted)>
            callback);
    // Called with the selection's location (the insertion point when nothing is selected).
    void setOnCursorChange(std::function<void(qint64)> callback);
    // While set, no text change is reported and `setSelectedRange` reports nothing; mouse and key
    // releases still report the cursor.
    bool suppressCallbacks() const { return m_suppressCallbacks; }
    void setSuppressCallbacks(bool suppress) { m_suppressCallbacks = suppress; }
    // Spaces the Tab key inserts, kept within 1 to 16.
    qint64 tabWidth() const { return m_tabWidth; }

    // Text holding a stretch longer than this without white space makes the view wrap anywhere
    // rather than at word boundaries, whose layout cost grows with the square of the stretch.
    // It stays so until the next setText.
    static constexpr qsizetype kLongestUnbrokenStretch = 1024;
    bool wrapsAnywhere() const { return wordWrapMode() == QTextOption::WrapAnywhere; }
    void setTabWidth(qint64 spaces);
    // The one font of the whole text.
    QFont plainFont() const { return m_plainFont; }
    void setPlainFont(const QFont &font);
    qreal lineHeightMultiple() const;
    void setLineHeightMultiple(qreal multiple);
    bool showsLineNumbers() const;
    void setShowLineNumbers(bool show);
    // Plays the system alert sound; replaceable so that a test can hear it.
    void setAlertSound(std::function<void()> play) { m_alertSound = std::move(play); }

    // The whole text, kept in step with the document at every change without re-reading it.
    const QString &text() const { return m_text; }
    // Replaces the whole text without reporting it. The undo history starts afresh, so undo never
    // goes back past this text. The insertion point goes to the start.
    //
    // Building the document of a text of more than `kDeferredLength` units would hold the GUI
    // thread for about a second per 20 MB, so such a text is prepared instead. It is `text()` at
    // once (in its one line end once a worker has scanned it); once the scan is done and the view
    // has been painted, it enters the document a few milliseconds' worth of lines per turn of
    // the event loop, at the end, so the lines in view appear first. Until all of it is in, the
    // view is read-only: every edit is refused with the alert sound, undo stays empty, and a
    // selection set from outside is kept (and reported as the selection) and made when the text
    // is in; scrolling, selecting and copying act on the lines already in.
    void setText(const QString &text);
    static constexpr qsizetype kDeferredLength = qsizetype(1) << 18;
    bool isPreparingText() const { return m_preparing; }
    // While the text is prepared: sounds the alert and returns true. For edit routes from outside.
    bool refuseEditWhilePreparing();
    // "\n", "\r\n" or "\r".
    const QString &lineEnding() const { return m_lineEnding; }
    // Replaces the whole text as one undo step, so the text before is one undo away; reported
    // like any edit unless callbacks are suppressed. Falls back to setText() for text the
    // document would store differently (block breaks other than line feeds).
    void replaceAllUndoably(const QString &text);

    SelectedRange selectedRange() const;
    // Clamped to the text, with the start moved back and the end on to a character boundary
    // (a caret moves back); reports the location unless callbacks are suppressed.
    void setSelectedRange(qint64 location, qint64 length);
    // Reports the selection's location as a key release does, for moves made from outside the
    // view such as the find bar's.
    void reportCursorPosition();

    // The plain-text representation of a clipboard or drag, if it has a non-empty one; nothing
    // else (HTML, images, file URLs) is ever looked at.
    static std::optional<QString> plainTextOf(const QMimeData *mimeData);

    // The paste: the text replaces the selection as one undo step; without text the alert sounds
    // and nothing changes. Returns whether the text changed.
    bool pastePlainText(const std::optional<QString> &text);
    // The drop: the text goes in at the character under `viewportPoint` as one undo step, and the
    // selection stays on the text it covered. Without text the drop is refused.
    bool dropPlainText(const std::optional<QString> &text, QPoint viewportPoint);
    // Tab: `tabWidth` spaces replace the selection, as one undo step.
    void insertTab();

    // The directional controls and their markers, as bidi_markers.h has them.
    static bool isBidiControl(QChar c) { return quillet::isBidiControl(c); }
    using BidiMarker = quillet::BidiMarker;
    // The markers of the lines in view, as painted; lines out of view are never looked at.
    QList<BidiMarker> visibleBidiMarkers() const;

public slots:
    // Every paste route ends here: the shortcut, the context menu and the edit actions.
    void pasteFromClipboard();

signals:
    // The whole text of the last `setText` is in the document and the view accepts edits.
    void textPrepared();

protected:
    bool viewportEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool canInsertFromMimeData(const QMimeData *source) const override;
    // Reached by the text control's own routes, such as the X11 middle-click paste.
    void insertFromMimeData(const QMimeData *source) override;
    QMimeData *createMimeDataFromSelection() const override;

private:
    // Both read the view's layout geometry, which QPlainTextEdit keeps to subclasses.
    friend class LineNumberGutter;
    friend QList<quillet::BidiMarker> bidiMarkersIn(const PlainTextTextView &view,
                                                    const QRect &area);
    struct Preparation;

    // Replaces [from, to) by `text` as one undo step; false when the view does not accept edits.
    bool replaceRange(QTextCursor &cursor, const QString &text);
    void loadText(const QString &text);
    void stopPreparing();
    void startFeedingWhenReady();
    void feedDocument();
    void finishPreparing();
    bool endOfDocumentInView() const;
    bool isEditKey(const QKeyEvent *event) const;
    void followDocumentChange(int from, int charsRemoved, int charsAdded);
    void reportCursor(qint64 location);
    // Sets the caret, and shows it again once the view has its real size if it has none yet.
    void placeCaret(const QTextCursor &cursor);
    bool showsAWholeLine() const;
    // Between positions in the text document, where a line break is one character, and offsets
    // in `text()`.
    qsizetype toTextOffset(int documentPosition) const;
    int toDocumentPosition(qsizetype textOffset) const;
    void applyTabStops();
    void wrapAnywhereIfUnbroken(QStringView text);
    void updateGutterWidth();
    void keepInsetBelowLastLine();

    std::function<void(const QString &)> m_onTextChange;
    std::function<void(QString &, qsizetype, qsizetype, QStringView)> m_onTextEdit;
    std::function<void(qint64)> m_onCursorChange;
    bool m_suppressCallbacks = false;
    qint64 m_tabWidth = 4;
    QFont m_plainFont;
    std::function<void()> m_alertSound;
    QString m_text;
    QString m_lineEnding = QStringLiteral("\n");
    // The text document's length, in which each line break counts one.
    qsizetype m_documentLength = 0;
    // Set while the whole text is replaced, when the document's change reports are not followed.
    bool m_replacingAll = false;
    bool m_revealCaretOnResize = false;
    // A text being prepared: the worker's scan while it runs, then the document's text (line
    // breaks as line feeds) fed from `m_fedLength` on, once the view has been painted.
    bool m_preparing = false;
    bool m_paintedWhilePreparing = false;
    std::shared_ptr<Preparation> m_preparation;
    QFutureWatcher<void> *m_scanWatcher = nullptr;
    QString m_documentText;
    qsizetype m_fedLength = 0;
    qsizetype m_preparedLineCount = 0;
    bool m_feeding = false;
    QTimer *m_feedTimer = nullptr;
    // The selection set from outside while preparing, made when the text is in; a selection the
    // user makes meanwhile replaces it.
    std::optional<SelectedRange> m_requestedSelection;
    SpacedLineLayout *m_layout = nullptr;
    LineNumberGutter *m_gutter = nullptr;
};

} // namespace quillet
