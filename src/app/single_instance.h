#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

namespace quillet {

// One Quillet per desktop session: the first process owns a well-known name on the session bus
// and serves org.freedesktop.Application on it; a later launch hands its files to that one and
// ends without touching the saved tabs. Without a session bus nothing is claimed and the
// autosave folder's lock alone keeps a second process out.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    static constexpr char kApplicationId[] = "org.quillet.Quillet";
    static constexpr char kObjectPath[] = "/org/quillet/Quillet";

    enum class Role {
        // This process serves the name (or there is no bus): it goes on to own the state.
        primary,
        // The running process took the files; this one exits.
        handedOver,
        // The name has an owner that never answered; `error()` says what went wrong.
        failed,
    };

    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // Claims the name or, when another process owns it, asks that one to open `files` (or just
    // to show itself when there are none). An owner that is quitting gives up the name before
    // its last write, so the name is tried again for a few seconds.
    Role claimOrHandOver(const QList<QUrl> &files);
    QString error() const { return m_error; }

    // Gives up the name, so a launch from now on starts a process of its own.
    void release();

    // Files given on a command line, as absolute file URLs; relative paths are taken from
    // `workingDirectory`, and "file:" URLs are kept.
    static QList<QUrl> fileUrlsFromArguments(const QStringList &arguments,
                                             const QString &workingDirectory);

signals:
    void activateRequested();
    void openRequested(const QList<QUrl> &files);

private:
    bool claim();
    bool handOver(const QList<QUrl> &files);

    bool m_registered = false;
    QString m_error;
};

} // namespace quillet
