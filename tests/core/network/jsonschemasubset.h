#pragma once

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QRegularExpression>
#include <QStringList>

#include <cmath>

// A small JSON Schema validator for the keywords the HAR schema in
// tests/data/netfox uses: $ref into "#/definitions", type, required,
// properties, items, pattern, minimum. Returns one message per violation.
class JsonSchemaSubset final
{
public:
    explicit JsonSchemaSubset(const QJsonObject &root)
        : m_root(root)
    { }

    QStringList validate(const QJsonValue &value) const
    {
        QStringList errors;
        check(value, m_root, QStringLiteral("$"), errors);
        return errors;
    }

private:
    static bool hasType(const QJsonValue &value, const QString &type)
    {
        if (type == QLatin1String("integer"))
            return value.isDouble() && std::floor(value.toDouble()) == value.toDouble();
        static const QHash<QString, QJsonValue::Type> types { { QStringLiteral("object"), QJsonValue::Object },
            { QStringLiteral("array"), QJsonValue::Array }, { QStringLiteral("string"), QJsonValue::String },
            { QStringLiteral("boolean"), QJsonValue::Bool }, { QStringLiteral("null"), QJsonValue::Null },
            { QStringLiteral("number"), QJsonValue::Double } };
        return types.contains(type) && value.type() == types.value(type);
    }

    void check(const QJsonValue &value, QJsonObject schema, const QString &path, QStringList &errors) const
    {
        if (schema.contains(QLatin1String("$ref"))) {
            const QString ref = schema.value(QLatin1String("$ref")).toString();
            schema = m_root.value(QLatin1String("definitions")).toObject().value(ref.section(u'/', -1)).toObject();
            if (schema.isEmpty()) {
                errors << path + u": unknown reference " + ref;
                return;
            }
        }
        if (schema.contains(QLatin1String("type"))) {
            const QJsonValue type = schema.value(QLatin1String("type"));
            QStringList types;
            for (const QJsonValue &t : type.isArray() ? type.toArray() : QJsonArray { type })
                types << t.toString();
            if (std::none_of(types.cbegin(), types.cend(), [&](const QString &t) { return hasType(value, t); })) {
                errors << path + u": not of type " + types.join(u'|');
                return;
            }
        }
        if (value.isObject()) {
            const QJsonObject object = value.toObject();
            for (const QJsonValue &name : schema.value(QLatin1String("required")).toArray()) {
                if (!object.contains(name.toString()))
                    errors << path + u": missing " + name.toString();
            }
            const QJsonObject properties = schema.value(QLatin1String("properties")).toObject();
            for (auto it = properties.begin(); it != properties.end(); ++it) {
                if (object.contains(it.key()))
                    check(object.value(it.key()), it.value().toObject(), path + u'.' + it.key(), errors);
            }
        }
        if (value.isArray() && schema.contains(QLatin1String("items"))) {
            const QJsonArray array = value.toArray();
            for (qsizetype i = 0; i < array.size(); ++i)
                check(array.at(i), schema.value(QLatin1String("items")).toObject(), path + u'[' + QString::number(i) + u']',
                    errors);
        }
        if (value.isString() && schema.contains(QLatin1String("pattern"))) {
            const QRegularExpression pattern(schema.value(QLatin1String("pattern")).toString());
            if (!pattern.match(value.toString()).hasMatch())
                errors << path + u": does not match " + pattern.pattern();
        }
        if (value.isDouble() && schema.contains(QLatin1String("minimum"))
            && value.toDouble() < schema.value(QLatin1String("minimum")).toDouble()) {
            errors << path + u": below the minimum";
        }
    }

    QJsonObject m_root;
};
