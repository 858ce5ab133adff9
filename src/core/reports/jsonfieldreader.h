#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <optional>

// Reads optional members of the runner's JSON files with the runner's types:
// a missing or null member is absent, a member of another type records a
// decode failure (the first one wins) that fails the whole file. Used on one
// thread at a time by the report model decoders.
class JsonFieldReader final
{
public:
    bool ok() const { return m_error.isEmpty(); }
    const QString &error() const { return m_error; }

    // The decoded value when every read succeeded; otherwise nothing, with
    // the first failure written to *error (when given).
    template <typename T> std::optional<T> result(T value, QString *error) const
    {
        if (ok())
            return value;
        if (error)
            *error = m_error;
        return std::nullopt;
    }
    void fail(const QString &path, const QString &expected);

    std::optional<QString> string(const QJsonObject &object, QLatin1String key, const QString &path);
    std::optional<qint64> integer(const QJsonObject &object, QLatin1String key, const QString &path);
    std::optional<bool> boolean(const QJsonObject &object, QLatin1String key, const QString &path);
    std::optional<QJsonObject> object(const QJsonObject &object, QLatin1String key, const QString &path);
    std::optional<QJsonArray> array(const QJsonObject &object, QLatin1String key, const QString &path);

    // The top-level object of a file; records a failure when it is not one.
    std::optional<QJsonObject> document(const QByteArray &bytes);

    static QString join(const QString &path, QLatin1String key);
    static QString join(const QString &path, qsizetype index);

private:
    QString m_error;
};
