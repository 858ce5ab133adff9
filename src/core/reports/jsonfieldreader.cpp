#include "jsonfieldreader.h"

#include <QJsonDocument>
#include <QJsonValue>

#include <cmath>

void JsonFieldReader::fail(const QString &path, const QString &expected)
{
    if (m_error.isEmpty())
        m_error = QStringLiteral("Expected %1 at \"%2\"").arg(expected, path);
}

QString JsonFieldReader::join(const QString &path, QLatin1String key)
{
    return path.isEmpty() ? QString(key) : path + QLatin1Char('.') + key;
}

QString JsonFieldReader::join(const QString &path, qsizetype index)
{
    return path + QLatin1Char('[') + QString::number(index) + QLatin1Char(']');
}

std::optional<QString> JsonFieldReader::string(const QJsonObject &object, QLatin1String key, const QString &path)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isString()) {
        fail(join(path, key), QStringLiteral("String"));
        return std::nullopt;
    }
    return value.toString();
}

std::optional<qint64> JsonFieldReader::integer(const QJsonObject &object, QLatin1String key, const QString &path)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    const double number = value.toDouble();
    if (!value.isDouble() || !std::isfinite(number) || number != std::trunc(number) || std::fabs(number) > 9.0e15) {
        fail(join(path, key), QStringLiteral("Int"));
        return std::nullopt;
    }
    return static_cast<qint64>(number);
}

std::optional<bool> JsonFieldReader::boolean(const QJsonObject &object, QLatin1String key, const QString &path)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isBool()) {
        fail(join(path, key), QStringLiteral("Bool"));
        return std::nullopt;
    }
    return value.toBool();
}

std::optional<QJsonObject> JsonFieldReader::object(const QJsonObject &object, QLatin1String key, const QString &path)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isObject()) {
        fail(join(path, key), QStringLiteral("Object"));
        return std::nullopt;
    }
    return value.toObject();
}

std::optional<QJsonArray> JsonFieldReader::array(const QJsonObject &object, QLatin1String key, const QString &path)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isArray()) {
        fail(join(path, key), QStringLiteral("Array"));
        return std::nullopt;
    }
    return value.toArray();
}

std::optional<QJsonObject> JsonFieldReader::document(const QByteArray &bytes)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        m_error = QStringLiteral("Invalid JSON: %1 at offset %2").arg(parseError.errorString()).arg(parseError.offset);
        return std::nullopt;
    }
    if (!document.isObject()) {
        fail(QStringLiteral("(top level)"), QStringLiteral("Object"));
        return std::nullopt;
    }
    return document.object();
}
