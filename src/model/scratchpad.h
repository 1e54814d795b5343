#pragma once

#include "platform/disk_version.h"
#include "text/text_metrics.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <memory>
#include <optional>

namespace quillet {

// One open document: the model behind one tab. It derives its title and figures from its text
// and cursor but never changes its own text; the tab manager writes text, cursor, dirty flag and
// file. Every setter notifies only when the value actually changes.
class Scratchpad : public QObject {
    Q_OBJECT
    Q_PROPERTY(QUuid id READ id CONSTANT)
    Q_PROPERTY(QString title READ title WRITE setTitle NOTIFY titleChanged)
    Q_PROPERTY(QString content READ content WRITE setContent NOTIFY contentChanged)
    Q_PROPERTY(std::optional<QUrl> filePath READ filePath WRITE setFilePath NOTIFY filePathChanged)
    Q_PROPERTY(bool isDirty READ isDirty WRITE setIsDirty NOTIFY isDirtyChanged)
    Q_PROPERTY(QDateTime createdAt READ createdAt CONSTANT)
    Q_PROPERTY(QDateTime modifiedAt READ modifiedAt WRITE setModifiedAt NOTIFY modifiedAtChanged)
    Q_PROPERTY(qint64 cursorPosition READ cursorPosition WRITE setCursorPosition
                   NOTIFY cursorPositionChanged)
    Q_PROPERTY(qint64 wordCount READ wordCount NOTIFY wordCountChanged)
    Q_PROPERTY(qint64 characterCount READ characterCount NOTIFY characterCountChanged)
    Q_PROPERTY(qint64 currentLine READ currentLine NOTIFY currentLineChanged)
    Q_PROPERTY(qint64 currentColumn READ currentColumn NOTIFY currentColumnChanged)
    Q_PROPERTY(bool hasConflict READ hasConflict WRITE setHasConflict NOTIFY hasConflictChanged)

public:
    // The plain record of one tab that the saved-tabs file stores.
    struct Snapshot {
        QUuid id;
        QString title;
        QString content;
        std::optional<QUrl> filePath;
        QDateTime createdAt;
        // What the file was when the tab last read or wrote it.
        std::optional<DiskVersion> diskVersion = std::nullopt;

        friend bool operator==(const Snapshot &, const Snapshot &) = default;
    };

    static inline const QString kUntitled = QStringLiteral("Untitled");

    // A null id is replaced by a fresh random one.
    explicit Scratchpad(QUuid id = {}, QString title = kUntitled, QString content = {},
                        std::optional<QUrl> filePath = {}, bool isDirty = false,
                        QObject *parent = nullptr);

    // Rebuilt from a saved record: its id as stored, dirty, dated now (the record's creation
    // time is not applied), and titled as the record until the caller derives the title.
    static std::shared_ptr<Scratchpad> from(const Snapshot &snapshot);

    QUuid id() const { return m_id; }
    QString title() const { return m_title; }
    QString content() const { return m_content; }
    std::optional<QUrl> filePath() const { return m_filePath; }
    bool isDirty() const { return m_isDirty; }
    QDateTime createdAt() const { return m_createdAt; }
    QDateTime modifiedAt() const { return m_modifiedAt; }
    // As the editor reported it: an offset in UTF-16 code units.
    qint64 cursorPosition() const { return m_cursorPosition; }
    qint64 wordCount() const { return m_wordCount; }
    qint64 characterCount() const { return m_characterCount; }
    qint64 currentLine() const { return m_currentLine; }
    qint64 currentColumn() const { return m_currentColumn; }
    // What the file was when this tab last read or wrote it; none before either.
    std::optional<DiskVersion> diskVersion() const { return m_diskVersion; }
    // A save found the file changed by another program since; the user chooses which version
    // wins.
    bool hasConflict() const { return m_hasConflict; }

    void setTitle(const QString &title);
    void setContent(const QString &content);
    // Replaces `removed` UTF-16 units at `start` by `inserted` in place: when nothing else holds
    // the content, a keystroke neither copies nor rescans the text, and `updateCounts()` then
    // reads only the neighbourhood of the change. A range outside the content changes nothing
    // and answers false.
    bool replaceContent(qsizetype start, qsizetype removed, QStringView inserted);
    void setFilePath(const std::optional<QUrl> &filePath);
    void setIsDirty(bool isDirty);
    void setModifiedAt(const QDateTime &modifiedAt);
    void setCursorPosition(qint64 cursorPosition);
    void setDiskVersion(const std::optional<DiskVersion> &version) { m_diskVersion = version; }
    void setHasConflict(bool hasConflict);

    // Recomputes the four figures from content and cursor. Character and word counts are kept
    // up to date through `replaceContent` and reused while the content stays, and the line and
    // column come from an index of line starts, so a keystroke or a cursor move costs the
    // change and the cursor's line, not the whole text.
    void updateCounts();

    // Title from the first line with text, else the file name without its last extension, else
    // "Untitled".
    void deriveTitle();

    // Safe to call from any thread while the owner thread is not writing the fields; the
    // autosave takes its snapshots on the owner thread.
    Snapshot snapshot() const;

    // Title that `deriveTitle()` would give for this content and file; pure.
    static QString titleFor(QStringView content, const std::optional<QUrl> &filePath);
    // Last path component without its last extension ("report.tar.gz" gives "report.tar").
    static QString fileTitle(const QUrl &filePath);

signals:
    void titleChanged();
    void contentChanged();
    void filePathChanged();
    void isDirtyChanged();
    void modifiedAtChanged();
    void cursorPositionChanged();
    void wordCountChanged();
    void characterCountChanged();
    void currentLineChanged();
    void currentColumnChanged();
    void hasConflictChanged();

private:
    explicit Scratchpad(const Snapshot &snapshot);

    template <typename T, typename Signal>
    void assign(T &field, const T &value, Signal changed);

    const QUuid m_id;
    QString m_title;
    QString m_content;
    std::optional<QUrl> m_filePath;
    bool m_isDirty = false;
    const QDateTime m_createdAt;
    QDateTime m_modifiedAt;
    qint64 m_cursorPosition = 0;
    qint64 m_wordCount = 0;
    qint64 m_characterCount = 0;
    qint64 m_currentLine = 1;
    qint64 m_currentColumn = 1;
    text::CharacterAndWordCount m_totals;
    bool m_totalsStale = true;
    std::optional<DiskVersion> m_diskVersion;
    bool m_hasConflict = false;
    text::LineIndex m_lineIndex;
    bool m_lineIndexStale = true;
};

} // namespace quillet
