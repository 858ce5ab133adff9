#pragma once

#include <QList>
#include <QRandomGenerator>
#include <QString>

// Writes synthetic Netfox session logs from a seed, for the parser's
// benchmark and its differential test. In the plain style the log looks like
// a real app's: request and response blocks appended as requests complete,
// sometimes interleaved, some requests never answered. The hostile style
// adds what real copies and odd apps produce: CRLF blocks, missing and empty
// labels, odd header spellings, exotic white space and line terminators, NUL
// characters, markers inside bodies, unfinished blocks and a cut-off end.
class NetfoxLogGenerator final
{
public:
    enum class Style { Plain, Hostile };

    NetfoxLogGenerator(quint64 seed, Style style);

    // The next piece of the log: one block, or noise between blocks.
    QString nextChunk();

    // A whole log of about `chunks` pieces; hostile logs may end mid-block.
    QString log(int chunks);

private:
    struct Pending
    {
        QString url;
        QString identifier; // empty when the request carries none
    };

    QString requestBlock();
    QString responseBlock();
    QString noise();
    QString url();
    QString date();
    QString body(bool response);
    QString requestHeaders(const QString &identifier);
    QString responseHeaders(const QString &identifier);
    QString identifier();
    QString space();
    QString mutateLine(const QString &label, const QString &value);
    QString finishBlock(QString block);
    void cut(QString &text);
    bool chance(int percent) { return int(m_random.bounded(100)) < percent; }
    template <typename T> const T &pick(const QList<T> &list) { return list.at(int(m_random.bounded(qsizetype(list.size())))); }

    QRandomGenerator m_random;
    Style m_style;
    QList<Pending> m_pending;
    qint64 m_clock = 1796546200; // 2026-12-06 08:36:40 UTC
    int m_counter = 0;
};
