#pragma once

// Small helpers shared by the fuzz targets: reading the fuzzer's bytes as
// several values, and failing loudly when a property does not hold (a failed
// property aborts, so libFuzzer keeps the input as a crash).

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

// Reads the front of the input as small numbers (split points, flags) and
// hands out the rest as the payload.
class Input final
{
public:
    Input(const uint8_t *data, size_t size)
        : m_data(reinterpret_cast<const char *>(data))
        , m_size(size)
    {
    }

    uint8_t byte()
    {
        if (m_offset >= m_size)
            return 0;
        return uint8_t(m_data[m_offset++]);
    }

    // Everything not consumed yet.
    QByteArrayView rest() const
    {
        return QByteArrayView(m_data + m_offset, qsizetype(m_size - m_offset));
    }

    // The next piece up to the first occurrence of `separator` (consumed), or
    // everything left.
    QByteArrayView takeUntil(QByteArrayView separator)
    {
        const QByteArrayView left = rest();
        const qsizetype at = left.indexOf(separator);
        if (at < 0) {
            m_offset = m_size;
            return left;
        }
        m_offset += size_t(at + separator.size());
        return left.first(at);
    }

private:
    const char *m_data;
    size_t m_size;
    size_t m_offset = 0;
};

[[noreturn]] inline void fail(const char *what, const QString &expected, const QString &actual)
{
    std::fprintf(stderr, "property failed: %s\n  expected: %s\n  actual:   %s\n", what,
                 qPrintable(expected.left(2000)), qPrintable(actual.left(2000)));
    std::abort();
}

inline void check(bool condition, const char *what, const QString &detail = {})
{
    if (!condition)
        fail(what, QStringLiteral("true"), detail);
}

} // namespace fuzz
