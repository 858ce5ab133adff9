#include "simclock.h"

#include <QTimeZone>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>

namespace {

volatile std::sig_atomic_t g_stop = 0;

extern "C" void onStopSignal(int)
{
    g_stop = 1;
}

} // namespace

SimClock::SimClock(double speedFactor)
    : m_speed(speedFactor)
    , m_startNs(wallClockNs())
{ }

double SimClock::speedFromEnvironment()
{
    const QString value = qEnvironmentVariable("KESTRUNE_SIM_SPEED").trimmed().toLower();
    if (value == QLatin1String("fast"))
        return 0.004;
    if (value == QLatin1String("instant"))
        return 0.0;
    if (value.isEmpty() || value == QLatin1String("human"))
        return 1.0;
    bool ok = false;
    const double factor = value.toDouble(&ok);
    return ok && factor >= 0.0 && factor <= 100.0 ? factor : 1.0;
}

void SimClock::installStopHandler()
{
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

bool SimClock::stopRequested()
{
    return g_stop != 0;
}

void SimClock::dieBySignal()
{
    std::signal(SIGTERM, SIG_DFL);
    std::raise(SIGTERM);
    std::_Exit(143);
}

bool SimClock::advance(qint64 ms, int subMillisecondNs)
{
    m_elapsedNs += ms * 1000000 + (subMillisecondNs % 1000000);
    return sleepReal(double(ms) * m_speed);
}

void SimClock::alignToNextSecond()
{
    const qint64 now = nowNs();
    const qint64 rest = now % 1000000000;
    if (rest != 0)
        m_elapsedNs += 1000000000 - rest;
}

bool SimClock::sleepReal(double ms)
{
    // Sleep in short slices so a stop request is noticed within ~10 ms.
    qint64 remainingUs = qint64(ms * 1000.0);
    while (remainingUs > 0) {
        if (g_stop)
            return false;
        const qint64 slice = std::min<qint64>(remainingUs, 10000);
        timespec ts { time_t(slice / 1000000), long((slice % 1000000) * 1000) };
        while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
            if (g_stop)
                return false;
        }
        remainingUs -= slice;
    }
    return !g_stop;
}

qint64 SimClock::wallClockNs()
{
    timespec ts {};
    clock_gettime(CLOCK_REALTIME, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

QDateTime SimClock::toDateTime(qint64 ns)
{
    return QDateTime::fromMSecsSinceEpoch(ns / 1000000);
}

QString SimClock::formatRfc3339(qint64 ns)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(ns / 1000000);
    QString text = local.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss"));
    const qint64 fraction = ns % 1000000000;
    if (fraction != 0) {
        QString digits = QStringLiteral("%1").arg(fraction, 9, 10, QLatin1Char('0'));
        while (digits.endsWith(u'0'))
            digits.chop(1);
        text += u'.' + digits;
    }
    const int offset = local.offsetFromUtc();
    if (offset == 0) {
        text += u'Z';
    } else {
        const int minutes = std::abs(offset) / 60;
        text += QStringLiteral("%1%2:%3")
                    .arg(offset < 0 ? u'-' : u'+')
                    .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                    .arg(minutes % 60, 2, 10, QLatin1Char('0'));
    }
    return text;
}
