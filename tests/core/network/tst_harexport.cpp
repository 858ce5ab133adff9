// HAR 1.2 export: the document passes the HAR schema (checked by a small
// built-in validator always, and by python3's jsonschema when installed), and
// exchanges map onto requests and responses as a HAR reader expects.
#include "jsonschemasubset.h"
#include "netfoxlogbuilder.h"
#include "network/harexport.h"
#include "network/netfoxparser.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kSchemaPath = QStringLiteral(KESTRUNE_TEST_DATA_DIR "/netfox/har-1.2.schema.json");
const QString kSessionLog = QStringLiteral(KESTRUNE_TEST_DATA_DIR "/netfox/session.log");

QJsonObject readJson(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

QJsonObject sessionHar()
{
    return HarExport::document(Netfox::parseNetworkLog(kSessionLog), QStringLiteral("Kestrune"), QStringLiteral("0.1.0"));
}

QJsonObject entry(const QJsonObject &har, int index)
{
    return har.value(QLatin1String("log")).toObject().value(QLatin1String("entries")).toArray().at(index).toObject();
}

QStringList pairs(const QJsonValue &array)
{
    QStringList list;
    for (const QJsonValue &item : array.toArray())
        list << item[QLatin1String("name")].toString() + u'=' + item[QLatin1String("value")].toString();
    return list;
}

// Runs python3's jsonschema on `document`; empty when valid, "skip: ..." when
// the module is missing.
QString pythonValidate(const QJsonObject &document)
{
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        return QStringLiteral("skip: no python3");
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("doc.har")));
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot write the document");
    file.write(QJsonDocument(document).toJson());
    file.close();
    QProcess process;
    process.start(python,
        { QStringLiteral("-c"),
            QStringLiteral("import json, sys\n"
                           "try:\n    import jsonschema\n"
                           "except ImportError:\n    print('skip: no jsonschema'); sys.exit(3)\n"
                           "schema = json.load(open(sys.argv[1]))\n"
                           "jsonschema.Draft7Validator.check_schema(schema)\n"
                           "errors = [e.message for e in jsonschema.Draft7Validator(schema)"
                           ".iter_errors(json.load(open(sys.argv[2])))]\n"
                           "print('\\n'.join(errors)); sys.exit(1 if errors else 0)\n"),
            kSchemaPath, file.fileName() });
    if (!process.waitForFinished(60000))
        return QStringLiteral("python3 did not finish");
    const QString output = QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError()).trimmed();
    if (process.exitCode() == 3)
        return output;
    return process.exitCode() == 0 ? QString() : output;
}

} // namespace

class TestHarExport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void passesSchemaCheck();
    void schemaCheckRejectsBrokenDocuments_data();
    void schemaCheckRejectsBrokenDocuments();
    void passesJsonSchemaModule();
    void exchangeMapping();
    void timeoutIsStatusZero();
    void headerPairs_data();
    void headerPairs();
};

void TestHarExport::passesSchemaCheck()
{
    const JsonSchemaSubset schema(readJson(kSchemaPath));
    const QJsonObject har = sessionHar();
    QCOMPARE(har[QLatin1String("log")][QLatin1String("entries")].toArray().size(), 3);
    const QStringList errors = schema.validate(har);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
    QVERIFY(schema.validate(HarExport::document({}, QStringLiteral("K"), QStringLiteral("1"))).isEmpty());
}

void TestHarExport::schemaCheckRejectsBrokenDocuments_data()
{
    QTest::addColumn<QString>("entryMember"); // removed from the first entry, or "a.b" inside it
    QTest::newRow("startedDateTime") << QStringLiteral("startedDateTime");
    QTest::newRow("timings") << QStringLiteral("timings");
    QTest::newRow("request.queryString") << QStringLiteral("request.queryString");
    QTest::newRow("response.content") << QStringLiteral("response.content");
    QTest::newRow("response.redirectURL") << QStringLiteral("response.redirectURL");
}

void TestHarExport::schemaCheckRejectsBrokenDocuments()
{
    // The check must be able to fail: the same document with one required
    // member removed does not pass.
    QFETCH(QString, entryMember);
    QJsonObject har = sessionHar();
    QJsonObject log = har[QLatin1String("log")].toObject();
    QJsonArray entries = log[QLatin1String("entries")].toArray();
    QJsonObject first = entries.at(0).toObject();
    if (entryMember.contains(u'.')) {
        QJsonObject inner = first[entryMember.section(u'.', 0, 0)].toObject();
        inner.remove(entryMember.section(u'.', 1));
        first[entryMember.section(u'.', 0, 0)] = inner;
    } else {
        first.remove(entryMember);
    }
    entries[0] = first;
    log[QLatin1String("entries")] = entries;
    har[QLatin1String("log")] = log;
    QVERIFY(!JsonSchemaSubset(readJson(kSchemaPath)).validate(har).isEmpty());
    const QString python = pythonValidate(har);
    QVERIFY2(python.startsWith(QLatin1String("skip")) || !python.isEmpty(), "jsonschema accepted a broken document");
}

void TestHarExport::passesJsonSchemaModule()
{
    const QString result = pythonValidate(sessionHar());
    if (result.startsWith(QLatin1String("skip")))
        QSKIP(qPrintable(result));
    QVERIFY2(result.isEmpty(), qPrintable(result));
}

void TestHarExport::exchangeMapping()
{
    const QJsonObject har = sessionHar();
    const QJsonObject log = har[QLatin1String("log")].toObject();
    QCOMPARE(log[QLatin1String("version")].toString(), QStringLiteral("1.2"));
    QCOMPARE(log[QLatin1String("creator")][QLatin1String("name")].toString(), QStringLiteral("Kestrune"));

    const QJsonObject login = entry(har, 0);
    QCOMPARE(login[QLatin1String("startedDateTime")].toString(), QStringLiteral("2026-12-06T08:36:43.000+00:00"));
    const QJsonObject request = login[QLatin1String("request")].toObject();
    QCOMPARE(request[QLatin1String("method")].toString(), QStringLiteral("POST"));
    QCOMPARE(pairs(request[QLatin1String("headers")]),
        (QStringList { QStringLiteral("Content-Type=application/json"), QStringLiteral("Accept-Language=id-ID") }));
    QCOMPARE(pairs(request[QLatin1String("queryString")]),
        (QStringList { QStringLiteral("user=qa@example.com"), QStringLiteral("lang=id") }));
    QCOMPARE(request[QLatin1String("postData")][QLatin1String("mimeType")].toString(), QStringLiteral("application/json"));
    QVERIFY(request[QLatin1String("postData")][QLatin1String("text")].toString().contains(u"\"password\" : \"••••\""));

    const QJsonObject response = login[QLatin1String("response")].toObject();
    QCOMPARE(response[QLatin1String("status")].toInt(), 200);
    QCOMPARE(pairs(response[QLatin1String("headers")]),
        (QStringList { QStringLiteral("Content-Type=application/json; charset=utf-8"),
            QStringLiteral("Date=Sun, 06 Dec 2026 08:36:45 GMT"), QStringLiteral("Set-Cookie=session=abc; Path=/") }));
    const QJsonObject content = response[QLatin1String("content")].toObject();
    QVERIFY(content[QLatin1String("text")].toString().contains(u"Dévi Ñoño 🚀"));
    QCOMPARE(content[QLatin1String("size")].toInt(), content[QLatin1String("text")].toString().toUtf8().size());
    QCOMPARE(content[QLatin1String("mimeType")].toString(), QStringLiteral("application/json; charset=utf-8"));

    // The GET with an empty body has no postData; its response redirects.
    const QJsonObject cart = entry(har, 1);
    QVERIFY(!cart[QLatin1String("request")].toObject().contains(QLatin1String("postData")));
    QCOMPARE(cart[QLatin1String("request")][QLatin1String("bodySize")].toInt(), 0);
    QCOMPARE(cart[QLatin1String("response")][QLatin1String("redirectURL")].toString(),
        QStringLiteral("https://api.example.com/v2/cart/1"));
}

void TestHarExport::timeoutIsStatusZero()
{
    const QJsonObject orders = entry(sessionHar(), 2);
    const QJsonObject response = orders[QLatin1String("response")].toObject();
    QCOMPARE(response[QLatin1String("status")].toInt(-1), 0);
    QCOMPARE(response[QLatin1String("statusText")].toString(), QStringLiteral("TIMEOUT"));
    QCOMPARE(response[QLatin1String("headers")].toArray().size(), 0);
    QVERIFY(!response[QLatin1String("content")].toObject().contains(QLatin1String("text")));
    QCOMPARE(response[QLatin1String("content")][QLatin1String("size")].toInt(-1), 0);
}

void TestHarExport::headerPairs_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("cleaned dictionary") << QStringLiteral("Accept: \"*/*\"\nX-Request-Id: \"5F0C\"")
                                        << QStringList { "Accept=*/*", "X-Request-Id=5F0C" };
    QTest::newRow("value with colons") << QStringLiteral("Date: Sun, 06 Dec 2026 08:36:45 GMT")
                                       << QStringList { "Date=Sun, 06 Dec 2026 08:36:45 GMT" };
    QTest::newRow("placeholder") << QStringLiteral("No Request Headers") << QStringList {};
    QTest::newRow("empty dictionary") << QStringLiteral(":") << QStringList {};
    QTest::newRow("continuation line") << QStringLiteral("Link: <a>\n <b>") << QStringList { "Link=<a>\n<b>" };
    QTest::newRow("lone quote stays") << QStringLiteral("X: \"") << QStringList { "X=\"" };
}

void TestHarExport::headerPairs()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QStringList actual;
    for (const auto &[name, value] : HarExport::headerPairs(text))
        actual << name + u'=' + value;
    QCOMPARE(actual, expected);
}

QTEST_GUILESS_MAIN(TestHarExport)
#include "tst_harexport.moc"
