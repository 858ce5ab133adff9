#pragma once

#include <QList>
#include <QString>

#include <utility>

// One node of the small YAML subset that flow files use: scalars (plain,
// single- or double-quoted, block "|" / ">"), block and flow-style maps and
// lists, comments, and "---" document separators. Plain value type.
struct YamlNode
{
    enum class Kind { Null, Scalar, Map, List };

    Kind kind = Kind::Null;
    QString text; // scalars
    bool quoted = false;
    QList<std::pair<QString, YamlNode>> entries; // maps, in file order
    QList<YamlNode> items; // lists
    int line = 0; // 1-based line of the node's start

    bool isNull() const { return kind == Kind::Null; }
    bool isScalar() const { return kind == Kind::Scalar; }
    bool isMap() const { return kind == Kind::Map; }
    bool isList() const { return kind == Kind::List; }

    // Map member by key, or nullptr.
    const YamlNode *value(const QString &key) const;
    QString scalar(const QString &key, const QString &fallback = QString()) const;
};

// Parses the text of one YAML file into its documents.
class YamlReader final
{
public:
    // False with a message ("line N: ...") when the text is outside the subset.
    static bool parseDocuments(const QString &text, QList<YamlNode> *documents, QString *error);
    // Parses one flow-style or plain scalar value ("{a: 1}", "[x, y]", "'q'").
    static YamlNode parseInline(const QString &text, int line);
};
