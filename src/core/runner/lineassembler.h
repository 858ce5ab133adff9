#pragma once

#include <QString>
#include <QStringList>

// Cuts the runner's output, which arrives in chunks that may end anywhere,
// into lines. Line feeds are the only separators (a carriage return before
// one stays in the line). The unterminated tail is carried to the next chunk;
// once it holds more than kMaxPartialLine characters it is given out as a
// line of its own, so a runner that never prints a line feed cannot grow it
// without bound. Owned by the run controller, main thread.
class LineAssembler final
{
public:
    static constexpr qsizetype kMaxPartialLine = 10'000;

    // The lines completed by `text`, in order.
    QStringList feed(QStringView text);

    // The carried tail, now given out as a line (empty when there is none).
    QString takePending();

    const QString &pending() const { return m_pending; }
    void clear() { m_pending.clear(); }

private:
    QString m_pending;
};
