#pragma once

#include <QList>
#include <QString>

#include <utility>

// An ordered JSON value and its writer, shaped like the runner's own output:
// members keep the order they were added in (the runner writes struct
// fields in declaration order), strings are escaped the way its encoder does
// ("<", ">" and "&" as \u003c, \u003e, \u0026), and indented output uses two
// spaces and ": ". Plain value type, used on one thread.
class GoJson final
{
public:
    enum class Kind { Null, Bool, Int, String, Object, Array };

    GoJson() = default;
    static GoJson null() { return GoJson(); }
    static GoJson boolean(bool value);
    static GoJson integer(qint64 value);
    static GoJson string(const QString &value);
    static GoJson object();
    static GoJson array();

    Kind kind() const { return m_kind; }

    // Objects: adds a member at the end (no check for duplicates).
    GoJson &add(const QString &key, const GoJson &value);
    GoJson &add(const QString &key, const QString &value) { return add(key, string(value)); }
    GoJson &add(const QString &key, const char *value) { return add(key, string(QString::fromUtf8(value))); }
    GoJson &add(const QString &key, qint64 value) { return add(key, integer(value)); }
    GoJson &add(const QString &key, int value) { return add(key, integer(value)); }
    GoJson &add(const QString &key, bool value) { return add(key, boolean(value)); }
    // Arrays: appends an element.
    GoJson &append(const GoJson &value);

    bool isEmptyContainer() const { return m_members.isEmpty() && m_items.isEmpty(); }

    QByteArray toCompact() const;
    QByteArray toIndented() const;

    static QString escapeString(const QString &text);

private:
    void write(QString &out, int indent, bool pretty) const;

    Kind m_kind = Kind::Null;
    bool m_bool = false;
    qint64 m_int = 0;
    QString m_string;
    QList<std::pair<QString, GoJson>> m_members;
    QList<GoJson> m_items;
};
