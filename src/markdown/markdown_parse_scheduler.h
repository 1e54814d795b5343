#pragma once

#include "markdown/markdown_block.h"
#include "markdown/markdown_block_parser.h"

#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringView>
#include <QTimer>

#include <functional>

namespace quillet {

// Keeps the blocks of a changing text up to date for whoever shows them, without holding up the
// thread it lives on.
//
// A change is parsed at the next frame, at most once per frame, from the block the edit touches
// on (MarkdownBlockParser::reparse against the text delivered last). Texts longer than
// kBackgroundParseSize, or with a block longer than kBackgroundBlockSize, are parsed on a worker
// thread, one parse at a time; a result for a text that has changed since is dropped in favour
// of a new parse, so results arrive in order and only for the latest text.
class MarkdownParseScheduler : public QObject {
    Q_OBJECT

public:
    // UTF-16 code units above which the parse leaves the calling thread (200 KB of ASCII text).
    static constexpr qsizetype kBackgroundParseSize = 200 * 1024;
    // A shorter text goes to the worker too when it holds a stretch of this many UTF-16 code
    // units without a blank line: one block's inline text that long costs the inline parser far
    // more than ordinary prose of the same size (deep nesting, endless openers without closers).
    static constexpr qsizetype kBackgroundBlockSize = 16 * 1024;
    // Whether `text` is parsed on the worker rather than at once.
    static bool parsesInBackground(QStringView text);
    static constexpr int kFrameMilliseconds = 16;

    explicit MarkdownParseScheduler(QObject *parent = nullptr);
    ~MarkdownParseScheduler() override;

    // Gives the current text. Read when a parse starts rather than at every change, so that
    // holding it does not make the owner of a long text copy it at each keystroke.
    using TextSource = std::function<QString()>;

    // Starts over with another text, or with none (an empty source: no blocks): the blocks
    // delivered so far are forgotten and the text is parsed now.
    void restart(TextSource source);
    // The text changed: it is parsed at the next frame.
    void textChanged();
    // Parses the current text now rather than at the next frame (on the worker for a long text);
    // what a frame's tick does.
    void refreshNow();
    // Whether a change of the text has not been delivered yet.
    bool isPending() const;

signals:
    // The blocks of the latest text: `added` blocks from index `first` on took the place of
    // `removed` ones of the previous delivery; those before and after are equal to what they were.
    void blocksReady(const QList<MarkdownBlock> &blocks, qsizetype first, qsizetype removed,
                     qsizetype added);

private:
    struct ParseResult {
        MarkdownBlockParser::ParsedText parsed;
        QString text;
        quint64 generation = 0;
        // Blocks equal at the start and at the end to those delivered in revision `comparedWith`.
        qsizetype prefix = 0;
        qsizetype suffix = 0;
        quint64 comparedWith = 0;
    };

    void scheduleRefresh();
    void startBackgroundParse(const QString &text);
    void backgroundParseFinished();
    // The parse of `text`, from the blocks delivered for `shownText` where the edit left them.
    static ParseResult parseAgainst(const QString &text, const QString &shownText,
                                    const MarkdownBlockParser::ParsedText &shown);
    void deliver(ParseResult result, bool matched);

    TextSource m_source;
    // The blocks delivered last, the lines they begin on and the text they were parsed from, and
    // a count of the deliveries so far.
    MarkdownBlockParser::ParsedText m_shown;
    QString m_shownText;
    quint64 m_shownRevision = 0;

    QTimer m_refreshTimer;
    QElapsedTimer m_sinceRefresh;
    // Counts the texts asked for; a result made for an older one is stale.
    quint64 m_generation = 0;
    quint64 m_shownGeneration = 0;
    QFutureWatcher<ParseResult> m_parseWatcher;
    bool m_parseRunning = false;
};

} // namespace quillet
