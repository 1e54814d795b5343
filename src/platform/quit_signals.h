#pragma once

#include <QObject>

class QSocketNotifier;

namespace quillet {

// Turns SIGTERM, SIGINT and SIGHUP into a normal quit of the event loop, so everything that a
// normal quit saves is saved. The handler only writes a byte to a pipe; the quit happens on the
// thread that owns this object. It also ignores SIGPIPE for good. One instance per process.
class QuitSignals : public QObject {
    Q_OBJECT

public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;

private:
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace quillet
