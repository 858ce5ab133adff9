#pragma once

#include <QList>
#include <QString>

#include <utility>

// Writes what the app under test's network logger appends to its session log
// (tmp/NFX/session.log in the app's data container): one request block and one
// response block per exchange, appended when the exchange completes, so two
// exchanges in flight interleave and a failed request leaves a request block
// alone. Traffic is chosen per app event ("launch", "screen:home",
// "tap:loginButton", ...) and is the same for the same lab state.
//
// Created by the flow executor for one run; one thread.
class NetfoxWriter final
{
public:
    NetfoxWriter(const QString &logPath, const QString &bundleId, int runCount);

    // Appends the exchanges the app makes on this event, which starts at
    // virtual time startNs. Returns the virtual milliseconds they take.
    qint64 writeEvent(const QString &event, qint64 startNs);

    // A short session dated long before any run (old traffic on the device).
    void writeEarlierSession();

    const QString &logPath() const { return m_logPath; }

private:
    struct Exchange
    {
        QString method;
        QString url;
        QList<std::pair<QString, QString>> requestHeaders;
        QString requestBody;
        int status = 200;
        QString responseType = QStringLiteral("application/json");
        QList<std::pair<QString, QString>> responseHeaders;
        QString responseBody;
        qint64 latencyMs = 120;
        bool plainHeaders = false; // "Name: value" lines instead of the dictionary printout
        bool answered = true;
    };
    enum class Order { Sequential, InterleavedInOrder, InterleavedReversed };

    QList<Exchange> exchangesFor(const QString &event, Order *order);
    QString nextRequestId();
    Exchange apiCall(const QString &method, const QString &path, const QString &body, const QString &response, qint64 latencyMs);
    QString requestBlock(const Exchange &e, qint64 startNs) const;
    QString responseBlock(const Exchange &e, qint64 endNs) const;
    QString render(const QList<Exchange> &exchanges, Order order, qint64 startNs) const;
    void append(const QString &text) const;

    QString m_logPath;
    QString m_bundleId;
    QString m_apiHost;
    int m_runCount;
    int m_sequence = 0;
};
