#pragma once

#include <QDateTime>
#include <QString>

// Virtual time of one simulated run. Commands "take" their realistic
// duration on this clock; the process really sleeps that duration times the
// speed factor (KESTRUNE_SIM_SPEED: "human" = 1, "fast" = a few hundredths of
// a percent of it, or a number). Times are nanoseconds since the epoch so
// that reports can carry the runner's 0-9 fraction digits.
//
// Also owns the stop request set by SIGTERM/SIGINT: every sleep wakes within
// a few milliseconds of it. One instance per process, used on its only thread.
class SimClock final
{
public:
    explicit SimClock(double speedFactor);

    // "fast", "human", "instant" or a positive number; anything else is human pace.
    static double speedFromEnvironment();

    // Routes SIGTERM and SIGINT to the stop request instead of ending the process.
    static void installStopHandler();
    static bool stopRequested();
    // Restores the default action and re-raises SIGTERM, so the parent sees a
    // process ended by the signal, as it would with the real runner.
    [[noreturn]] static void dieBySignal();

    qint64 nowNs() const { return m_startNs + m_elapsedNs; }
    qint64 elapsedMs() const { return m_elapsedNs / 1000000; }

    // Moves virtual time on by ms (plus a sub-millisecond part so times carry
    // all nine digits) and sleeps the scaled real time. False when a stop was
    // requested during the wait; virtual time has then moved on anyway.
    bool advance(qint64 ms, int subMillisecondNs = 0);
    // Moves virtual time to the next whole second (a time with no fraction).
    void alignToNextSecond();

    double speedFactor() const { return m_speed; }

    // RFC 3339 with the local offset ("Z" in UTC) and the fraction cut of
    // trailing zeros; a time on the whole second has no fraction at all.
    static QString formatRfc3339(qint64 ns);
    // Real time now, in nanoseconds since the epoch.
    static qint64 wallClockNs();
    static QDateTime toDateTime(qint64 ns);

    // Interruptible real sleep, in milliseconds of real time.
    static bool sleepReal(double ms);

private:
    double m_speed;
    qint64 m_startNs;
    qint64 m_elapsedNs = 0;
};
