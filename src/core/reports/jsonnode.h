#pragma once

#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

// A JSON value that keeps what a round trip through QJsonDocument loses:
// member order, and numbers exactly as written. Used for the runner's embedded
// report object, which is read, patched and written back while every member
// the runner wrote stays as it was. A plain value; safe on any thread.
struct JsonNode
{
    enum class Kind { Null, Bool, Number, String, Array, Object };

    Kind kind = Kind::Null;
    bool boolean = false;
    QString text; // a string's value, or a number's literal
    std::vector<JsonNode> items; // array elements
    std::vector<QString> keys; // object member names, in order
    std::vector<JsonNode> values; // object member values, parallel to keys

    static JsonNode makeString(const QString &value);
    static JsonNode makeObject();
    static JsonNode makeArray();

    bool isNull() const { return kind == Kind::Null; }
    bool isString() const { return kind == Kind::String; }
    bool isObject() const { return kind == Kind::Object; }
    bool isArray() const { return kind == Kind::Array; }
    bool isNumber() const { return kind == Kind::Number; }

    // The first member of that name, or nullptr (also for non-objects).
    const JsonNode *member(QStringView key) const;
    JsonNode *member(QStringView key);
    const JsonNode *member(QLatin1String key) const { return member(QStringView(QString(key))); }
    JsonNode *member(QLatin1String key) { return member(QStringView(QString(key))); }
    // Replaces the first member of that name, or appends one.
    void setMember(const QString &key, JsonNode value);

    // A number whose value is a whole number that fits 64 bits.
    std::optional<qint64> toInteger() const;
};

namespace JsonText {

// Strict JSON (RFC 8259) with a nesting limit; nullopt and `error` on failure.
std::optional<JsonNode> parse(QStringView text, QString *error = nullptr);

// Compact form: no spaces, members in order, numbers as written, strings
// escaped by appendString.
QString writeCompact(const JsonNode &node);
void appendCompact(QString &out, const JsonNode &node);

// A JSON string literal that is also safe inside an HTML <script> block:
// '"', '\\' and control characters escaped, '/' as "\/", and '<', '>', '&',
// U+2028, U+2029 as \u escapes (the way the runner writes them).
void appendString(QString &out, QStringView value);
QString quoted(QStringView value);

} // namespace JsonText
