#include "markdown_parse_scheduler.h"

#include "text/text_rules.h"

#include <QPromise>
#include <QThreadPool>

#include <algorithm>
#include <memory>
#include <tuple>

namespace quillet {

namespace {

// How many blocks are equal at the start, and then how many at the end of what is left, given
// that the first `prefix` and the last `suffix` are known to be.
std::pair<qsizetype, qsizetype> matchingEnds(const QList<MarkdownBlock> &before,
                                             const QList<MarkdownBlock> &after,
                                             qsizetype prefix = 0, qsizetype suffix = 0)
{
    const qsizetype oldCount = before.size();
    const qsizetype newCount = after.size();
    while (prefix < oldCount && prefix < newCount && before.at(prefix) == after.at(prefix))
        ++prefix;
    while (suffix < oldCount - prefix && suffix < newCount - prefix &&
           before.at(oldCount - 1 - suffix) == after.at(newCount - 1 - suffix))
        ++suffix;
    return {prefix, suffix};
}

} // namespace

MarkdownParseScheduler::MarkdownParseScheduler(QObject *parent)
    : QObject(parent)
{
    m_refreshTimer.setSingleShot(true);
    connect(&m_refreshTimer, &QTimer::timeout, this, &MarkdownParseScheduler::refreshNow);
    connect(&m_parseWatcher, &QFutureWatcher<ParseResult>::finished, this,
            &MarkdownParseScheduler::backgroundParseFinished);
}

MarkdownParseScheduler::~MarkdownParseScheduler()
{
    // The worker holds only its own copy of the text; its result is simply not wanted.
    m_parseWatcher.disconnect(this);
}

void MarkdownParseScheduler::textChanged()
{
    ++m_generation;
    scheduleRefresh();
}

void MarkdownParseScheduler::restart(TextSource source)
{
    m_source = std::move(source);
    m_shown = {};
    m_shownText.clear();
    ++m_shownRevision;
    refreshNow();
}

void MarkdownParseScheduler::scheduleRefresh()
{
    if (m_refreshTimer.isActive())
        return;
    const qint64 since = m_sinceRefresh.isValid() ? m_sinceRefresh.elapsed() : kFrameMilliseconds;
    m_refreshTimer.start(int(std::max<qint64>(0, kFrameMilliseconds - since)));
}

bool MarkdownParseScheduler::isPending() const
{
    return m_refreshTimer.isActive() || m_parseRunning || m_shownGeneration != m_generation;
}

void MarkdownParseScheduler::refreshNow()
{
    m_refreshTimer.stop();
    m_sinceRefresh.start();
    ++m_generation;
    const QString text = m_source ? m_source() : QString();
    if (m_source && parsesInBackground(text)) {
        startBackgroundParse(text);
        return;
    }
    m_shownGeneration = m_generation;
    deliver(m_source ? parseAgainst(text, m_shownText, m_shown) : ParseResult(), true);
}

bool MarkdownParseScheduler::parsesInBackground(QStringView text)
{
    if (text.size() > kBackgroundParseSize)
        return true;
    // The longest run of lines that are not blank, line breaks included: an upper bound on the
    // inline text of any one block (a paragraph, a quote, a table row) made from them.
    qsizetype run = 0;
    qsizetype lineStart = 0;
    while (lineStart <= text.size()) {
        qsizetype lineEnd = text.indexOf(u'\n', lineStart);
        if (lineEnd < 0)
            lineEnd = text.size();
        QStringView line = text.sliced(lineStart, lineEnd - lineStart);
        // Blank as the parser sees it: spaces and tabs only, and a carriage return before the
        // line feed belongs to the line end. Any other white space makes a block go on.
        if (lineEnd < text.size() && line.endsWith(u'\r'))
            line.chop(1);
        run = text::trimmedOfSpacesAndTabs(line).isEmpty() ? 0 : run + lineEnd - lineStart + 1;
        if (run > kBackgroundBlockSize)
            return true;
        lineStart = lineEnd + 1;
    }
    return false;
}

void MarkdownParseScheduler::startBackgroundParse(const QString &text)
{
    // One parse at a time: a change made while it runs is parsed when it is done.
    if (m_parseRunning)
        return;
    m_parseRunning = true;
    // QtCore alone: a promise the pool's task fulfils. std::function wants a copyable task.
    auto promise = std::make_shared<QPromise<ParseResult>>();
    promise->start();
    m_parseWatcher.setFuture(promise->future());
    // Matching the new blocks against the delivered ones is a walk over the whole document too,
    // so it is done here as well; the list is shared, not copied.
    QThreadPool::globalInstance()->start([promise, text, generation = m_generation,
                                          revision = m_shownRevision, shownText = m_shownText,
                                          shown = m_shown] {
        ParseResult result = parseAgainst(text, shownText, shown);
        result.generation = generation;
        result.comparedWith = revision;
        promise->addResult(std::move(result));
        promise->finish();
    });
}

void MarkdownParseScheduler::backgroundParseFinished()
{
    m_parseRunning = false;
    ParseResult result = m_parseWatcher.result();
    if (result.generation != m_generation) {
        // Made for a text that has changed since: drop it and parse what is there now.
        if (m_source && !m_refreshTimer.isActive())
            refreshNow();
        return;
    }
    m_shownGeneration = result.generation;
    const bool matched = result.comparedWith == m_shownRevision;
    deliver(std::move(result), matched);
}

MarkdownParseScheduler::ParseResult
MarkdownParseScheduler::parseAgainst(const QString &text, const QString &shownText,
                                     const MarkdownBlockParser::ParsedText &shown)
{
    MarkdownBlockParser::Reparse again = MarkdownBlockParser::reparse(text, shownText, shown);
    ParseResult result;
    // Blocks parsed again may still equal the ones shown, as the one before an edit mostly does.
    std::tie(result.prefix, result.suffix) =
        matchingEnds(shown.blocks, again.parsed.blocks, again.prefix, again.suffix);
    result.parsed = std::move(again.parsed);
    result.text = text;
    return result;
}

void MarkdownParseScheduler::deliver(ParseResult result, bool matched)
{
    const auto [prefix, suffix] = matched ? std::pair(result.prefix, result.suffix)
                                          : matchingEnds(m_shown.blocks, result.parsed.blocks);
    const qsizetype removed = m_shown.blocks.size() - prefix - suffix;
    const qsizetype added = result.parsed.blocks.size() - prefix - suffix;
    QList<MarkdownBlock> previous = std::exchange(m_shown.blocks, std::move(result.parsed.blocks));
    m_shown.firstLines = std::move(result.parsed.firstLines);
    m_shownText = std::move(result.text);
    ++m_shownRevision;
    emit blocksReady(m_shown.blocks, prefix, removed, added);
    // Freeing replaced blocks takes milliseconds when they are long (a table of thousands of
    // rows) or many: the old list, which holds them last once the receivers replaced what they
    // made of them, goes on a worker.
    if (!previous.isDetached())
        previous = {};
    if (!previous.isEmpty())
        QThreadPool::globalInstance()->start(
            [list = std::make_shared<QList<MarkdownBlock>>(std::move(previous))] {});
}

} // namespace quillet
