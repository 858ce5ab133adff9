#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal on the main thread, so
// that an interrupted command stops its runner (and the runner's children)
// instead of leaving them behind. One instance per process.
class StopSignals final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StopSignals)

public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

Q_SIGNALS:
    // `count` is 1 for the first signal, 2 for the second, and so on;
    // `signal` is the signal's number.
    void stopRequested(int count, int signal);

private:
    QSocketNotifier *m_notifier = nullptr;
    int m_count = 0;
};
