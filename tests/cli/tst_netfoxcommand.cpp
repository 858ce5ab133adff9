// kestrune-cli netfox, run as a user runs it: output formats, the time
// filter and argument errors.
#include "../core/network/jsonschemasubset.h"
#include "clitestsupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>


namespace {

const QString kSessionLog = QStringLiteral(KESTRUNE_TEST_DATA_DIR "/netfox/session.log");

CliResult run(const QStringList &arguments)
{
    return runCli(QStringList { QStringLiteral("netfox") } + arguments);
}

} // namespace

class TestNetfoxCommand : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void textFormat();
    void jsonFormat();
    void harFormatPassesSchemaCheck();
    void curlFormat();
    void sinceFilters_data();
    void sinceFilters();
    void argumentErrors_data();
    void argumentErrors();
    void controlCharactersShownOnATerminal();
};

void TestNetfoxCommand::textFormat()
{
    const CliResult result = run({ kSessionLog });
    QCOMPARE(result.exitCode, 0);
    const QString text = result.out;
    // Three blocks joined by blank lines, dates in local time (TZ=UTC-7).
    QCOMPARE(text.count(QStringLiteral("--------------------------------------------------\n")), 3);
    QCOMPARE(text.count(QStringLiteral("\n\n--------------------------------------------------\n")), 2);
    QVERIFY(text.startsWith(QStringLiteral("--------------------------------------------------\n"
                                           "[Request Date] 2026-12-06 15:36:43\n"
                                           "[Request Method] POST https://api.example.com/v2/login?")));
    QVERIFY(text.contains(QStringLiteral("[Request Body]\nNone\n")));
    QVERIFY(text.contains(QStringLiteral("\"name\" : \"Dévi Ñoño 🚀\"")));
    QVERIFY(text.endsWith(QStringLiteral("[Response Body]\nNo Response Body\n")));
}

void TestNetfoxCommand::jsonFormat()
{
    const CliResult result = run({ kSessionLog, QStringLiteral("--format"), QStringLiteral("json") });
    QCOMPARE(result.exitCode, 0);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(result.out.toUtf8(), &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    const QJsonArray array = document.array();
    QCOMPARE(array.size(), 3);
    const QStringList fields
        = { "id", "reqBody", "reqHeaders", "reqMethod", "resBody", "resHeaders", "resStatus", "time", "url" };
    for (const QJsonValue &value : array) {
        QCOMPARE(value.toObject().keys(), fields);
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d$"))
                     .match(value[QLatin1String("time")].toString())
                     .hasMatch(),
            qPrintable(value[QLatin1String("time")].toString()));
    }
    QCOMPARE(array.at(1)[QLatin1String("time")].toString(), QStringLiteral("2026-12-06T08:36:44.000+00:00"));
    QCOMPARE(array.at(1)[QLatin1String("reqBody")].toString(), QString());
    QCOMPARE(array.at(2)[QLatin1String("resStatus")].toString(), QStringLiteral("TIMEOUT"));
}

void TestNetfoxCommand::harFormatPassesSchemaCheck()
{
    const CliResult result = run({ kSessionLog, QStringLiteral("--format=har") });
    QCOMPARE(result.exitCode, 0);
    QFile schemaFile(QStringLiteral(KESTRUNE_TEST_DATA_DIR "/netfox/har-1.2.schema.json"));
    QVERIFY(schemaFile.open(QIODevice::ReadOnly));
    const JsonSchemaSubset schema(QJsonDocument::fromJson(schemaFile.readAll()).object());
    const QJsonObject har = QJsonDocument::fromJson(result.out.toUtf8()).object();
    QCOMPARE(har[QLatin1String("log")][QLatin1String("entries")].toArray().size(), 3);
    const QStringList errors = schema.validate(har);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
}

void TestNetfoxCommand::curlFormat()
{
    const CliResult result = run({ kSessionLog, QStringLiteral("--format=curl") });
    QCOMPARE(result.exitCode, 0);
    // One command per exchange; the first one's body spans lines inside its quotes.
    QVERIFY2(result.out.startsWith(QStringLiteral("curl -X POST -H 'Content-Type: application/json' ")),
        qPrintable(result.out));
    QCOMPARE(result.out.count(QStringLiteral("\ncurl ")), 2);
    QVERIFY(result.out.contains(QStringLiteral("--data-raw '{\n  \"password\"")));
    QVERIFY(result.out.endsWith(QStringLiteral(" --url https://api.example.com/v2/orders\n")));
}

void TestNetfoxCommand::sinceFilters_data()
{
    QTest::addColumn<QString>("since");
    QTest::addColumn<int>("count");
    QTest::newRow("before all") << QStringLiteral("2026-12-06T08:00:00Z") << 3;
    QTest::newRow("equal to the second request") << QStringLiteral("2026-12-06T08:36:44Z") << 2;
    QTest::newRow("with offset and milliseconds") << QStringLiteral("2026-12-06T15:36:44.001+07:00") << 1;
    QTest::newRow("after all") << QStringLiteral("2026-12-07T00:00:00Z") << 0;
}

void TestNetfoxCommand::sinceFilters()
{
    QFETCH(QString, since);
    QFETCH(int, count);
    const CliResult result
        = run({ kSessionLog, QStringLiteral("--since"), since, QStringLiteral("--format"), QStringLiteral("json") });
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(QJsonDocument::fromJson(result.out.toUtf8()).array().size(), count);
}

void TestNetfoxCommand::argumentErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("no log") << QStringList {} << 2;
    QTest::newRow("missing file") << QStringList { QStringLiteral("/nonexistent/session.log") } << 1;
    QTest::newRow("unknown format") << QStringList { kSessionLog, QStringLiteral("--format"), QStringLiteral("xml") } << 2;
    QTest::newRow("format without value") << QStringList { kSessionLog, QStringLiteral("--format") } << 2;
    QTest::newRow("bad since") << QStringList { kSessionLog, QStringLiteral("--since"), QStringLiteral("yesterday") } << 2;
    QTest::newRow("two logs") << QStringList { kSessionLog, kSessionLog } << 2;
    QTest::newRow("unknown option") << QStringList { kSessionLog, QStringLiteral("--verbose") } << 2;
}

void TestNetfoxCommand::argumentErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    const CliResult result = run(arguments);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY(result.out.isEmpty());
    QVERIFY(!result.err.isEmpty());
}

void TestNetfoxCommand::controlCharactersShownOnATerminal()
{
    // A response body that would recolour the terminal, ring its bell, set
    // its title (through the C1 form of ESC ]) and overwrite its line: on a
    // terminal each shows as caret notation; in a pipe the text stays as
    // logged.
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("session.log"));
    QFile file(log);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("-------START REQUEST -  https://api.example.com/a -------\n"
               "[Request Method] GET\n[Request Date] 2026-12-06 08:36:44 +0000\n"
               "[Request Body]\n {}\n-------END REQUEST - x -------\n"
               "-------START RESPONSE -  https://api.example.com/a -------\n[Response Status] 200\n"
               "[Response Body]\n \x1B[31mred\x07 \xC2\x9D" "0;title\x07 hidden\rshown\x7F \xC3\xA9\tend\n"
               "-------END RESPONSE\n");
    file.close();
    const QString logged = QStringLiteral("\x1B[31mred\x07 \u009D0;title\x07 hidden\rshown\x7F \u00E9\tend");

    const CliResult piped = run({ log });
    QCOMPARE(piped.exitCode, 0);
    QVERIFY2(piped.out.contains(QStringLiteral("[Response Body]\n") + logged + u'\n'), qPrintable(piped.out));

    const std::optional<QByteArray> shown = runOnTerminal({ QStringLiteral("netfox"), log });
    if (!shown)
        QSKIP("no pseudo-terminal here");
    const QString text = QString::fromUtf8(*shown);
    QVERIFY2(text.contains(QStringLiteral("[Response Body]\n^[[31mred^G ^[]0;title^G hidden^Mshown^? \u00E9\tend\n")), qPrintable(text));
    QVERIFY(!text.contains(QChar(0x1B)));
    QVERIFY(text.startsWith(QStringLiteral("--------------------------------------------------\n[Request Date] ")));
}

QTEST_GUILESS_MAIN(TestNetfoxCommand)
#include "tst_netfoxcommand.moc"
