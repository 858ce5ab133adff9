// Decoding of the runner's report files: times, the full-report and summary
// models, and the embedded report object with its locate and write-back.
#include "reports/embeddedreportdata.h"
#include "reports/fullreportmodels.h"
#include "reports/jsonnode.h"
#include "reports/reportformatters.h"
#include "reports/summaryreportmodels.h"

#include <QtTest>

namespace {

QByteArray sampleReportJson()
{
    QFile file(QStringLiteral(KESTRUNE_TEST_DATA_DIR "/reports/runs/SIT_20261206_093640/2026-12-06_09-36-40/report.json"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestReportModels final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void internetDateTime_data();
    void internetDateTime();
    void displayFormat();
    void runFolderTime_data();
    void runFolderTime();
    void detailFileDecoding_data();
    void detailFileDecoding();
    void fullReportDecoding_data();
    void fullReportDecoding();
    void summaryDecoding_data();
    void summaryDecoding();
    void locateEmbeddedObject_data();
    void locateEmbeddedObject();
    void embeddedDecodeFailures_data();
    void embeddedDecodeFailures();
    void embeddedWriteBackKeepsRunnerMembers();
    void embeddedNullArtifactWrittenAsEmptyString();
    void anyCodableKeepsTypes();
    void jsonStringEscaping_data();
    void jsonStringEscaping();
    void jsonParserRejects_data();
    void jsonParserRejects();
};

void TestReportModels::internetDateTime_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("expectedMsecs"); // -1: does not parse

    const qint64 base = QDateTime(QDate(2026, 12, 6), QTime(8, 36, 44), Qt::UTC).toMSecsSinceEpoch();
    QTest::newRow("on the second, no fraction") << "2026-12-06T09:36:44+01:00" << base;
    QTest::newRow("one digit") << "2026-12-06T09:36:44.5+01:00" << base + 500;
    QTest::newRow("three digits") << "2026-12-06T09:36:44.228+01:00" << base + 228;
    QTest::newRow("eight digits") << "2026-12-06T09:36:44.62944893+01:00" << base + 629;
    QTest::newRow("nine digits") << "2026-12-06T09:36:44.228644749+01:00" << base + 228;
    QTest::newRow("utc Z") << "2026-12-06T08:36:44Z" << base;
    QTest::newRow("negative offset") << "2026-12-06T03:06:44.1-05:30" << base + 100;
    QTest::newRow("ten digits") << "2026-12-06T09:36:44.2286447491+01:00" << qint64(-1);
    QTest::newRow("dot without digits") << "2026-12-06T09:36:44.+01:00" << qint64(-1);
    QTest::newRow("no zone") << "2026-12-06T09:36:44.5" << qint64(-1);
    QTest::newRow("space for T") << "2026-12-06 09:36:44Z" << qint64(-1);
    QTest::newRow("no such day") << "2026-02-30T09:36:44Z" << qint64(-1);
    QTest::newRow("trailing text") << "2026-12-06T09:36:44Zx" << qint64(-1);
    QTest::newRow("empty") << "" << qint64(-1);
}

void TestReportModels::internetDateTime()
{
    QFETCH(QString, text);
    QFETCH(qint64, expectedMsecs);
    const auto parsed = ReportFormatters::parseInternetDateTime(text);
    if (expectedMsecs < 0) {
        QVERIFY(!parsed);
        return;
    }
    QVERIFY(parsed);
    QCOMPARE(parsed->toMSecsSinceEpoch(), expectedMsecs);
}

void TestReportModels::displayFormat()
{
    QLocale::setDefault(QLocale::c());
    const QDateTime time(QDate(2026, 12, 6), QTime(9, 36, 44));
    QCOMPARE(ReportFormatters::formatDisplay(time), QStringLiteral("Dec 6, 2026, 09:36"));
    QLocale::setDefault(QLocale::system());
}

void TestReportModels::runFolderTime_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("valid") << "20261206_093644" << true;
    QTest::newRow("hyphenated date") << "2026-12-06_093644" << false;
    QTest::newRow("month 13") << "20261306_093644" << false;
    QTest::newRow("too short") << "20261206_0936" << false;
    QTest::newRow("letters") << "2026120a_093644" << false;
    QTest::newRow("extra underscore piece") << "20261206_093644_1" << false;
}

void TestReportModels::runFolderTime()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const auto parsed = ReportFormatters::parseRunFolderTime(text);
    QCOMPARE(parsed.has_value(), valid);
    if (valid)
        QCOMPARE(ReportFormatters::formatRunFolderTime(*parsed), text);
}

void TestReportModels::detailFileDecoding_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("decodes");
    QTest::addColumn<QString>("firstErrorMessage"); // of commands[0]; "-" when absent
    QTest::addColumn<bool>("hasIndex");
    QTest::addColumn<bool>("hasArtifacts");

    QTest::newRow("error object with message only")
        << QByteArray(R"({"commands":[{"index":4,"artifacts":{},"error":{"message":"boom"}}]})") << true << "boom" << true
        << true;
    QTest::newRow("runner's error object, all strings")
        << QByteArray(R"({"commands":[{"error":{"type":"T","message":"m \u003cb\u003e","details":"","suggestion":"s"}}]})")
        << true << "m <b>" << false << false;
    QTest::newRow("error object with a numeric member fails the file")
        << QByteArray(R"({"commands":[{"error":{"message":"boom","code":3}}]})") << false << "-" << false << false;
    QTest::newRow("error object without message fails")
        << QByteArray(R"({"commands":[{"error":{"type":"T"}}]})") << false << "-" << false << false;
    QTest::newRow("plain string error") << QByteArray(R"({"commands":[{"error":"plain"}]})") << true << "plain" << false << false;
    QTest::newRow("numeric error fails") << QByteArray(R"({"commands":[{"error":7}]})") << false << "-" << false << false;
    QTest::newRow("null error is absent") << QByteArray(R"({"commands":[{"error":null,"index":null}]})") << true << "-" << false
                                          << false;
    QTest::newRow("index as text fails") << QByteArray(R"({"commands":[{"index":"4"}]})") << false << "-" << false << false;
    QTest::newRow("fractional index fails") << QByteArray(R"({"commands":[{"index":4.5}]})") << false << "-" << false << false;
    QTest::newRow("non-string artifact fails")
        << QByteArray(R"({"commands":[{"artifacts":{"a":1}}]})") << false << "-" << false << false;
    QTest::newRow("nested sub-command of wrong type fails")
        << QByteArray(R"({"commands":[{"subCommands":[{"subCommands":[{"status":1}]}]}]})") << false << "-" << false << false;
    QTest::newRow("not JSON") << QByteArray("{\"commands\":[") << false << "-" << false << false;
    QTest::newRow("top level array") << QByteArray("[]") << false << "-" << false << false;
}

void TestReportModels::detailFileDecoding()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, decodes);
    QFETCH(QString, firstErrorMessage);
    QFETCH(bool, hasIndex);
    QFETCH(bool, hasArtifacts);

    QString error;
    const auto details = FlowDetailsJSON::decode(json, &error);
    QCOMPARE(details.has_value(), decodes);
    if (!decodes) {
        QVERIFY(!error.isEmpty());
        return;
    }
    QVERIFY(details->commands && !details->commands->empty());
    const FlowCommand &command = details->commands->front();
    QCOMPARE(command.error ? command.error->message : QStringLiteral("-"), firstErrorMessage);
    QCOMPARE(command.index.has_value(), hasIndex);
    QCOMPARE(command.artifacts.has_value(), hasArtifacts);
}

void TestReportModels::fullReportDecoding_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("decodes");

    QTest::newRow("sample report") << sampleReportJson() << true;
    QTest::newRow("empty object") << QByteArray("{}") << true;
    QTest::newRow("nulls are absent") << QByteArray(R"({"device":null,"app":null,"flows":null})") << true;
    QTest::newRow("isSimulator as text") << QByteArray(R"({"device":{"isSimulator":"no"}})") << false;
    QTest::newRow("flows as object") << QByteArray(R"({"flows":{}})") << false;
    QTest::newRow("flow name as number") << QByteArray(R"({"flows":[{"name":3}]})") << false;
    QTest::newRow("unknown keys ignored") << QByteArray(R"({"summary":{"total":"x"},"updateSeq":"y"})") << true;
}

void TestReportModels::fullReportDecoding()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, decodes);
    QCOMPARE(MaestroFullReport::decode(json).has_value(), decodes);
}

void TestReportModels::summaryDecoding_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("decodes");
    QTest::newRow("counts") << QByteArray(R"({"status":"passed","flows":[{"commands":{"total":3,"passed":2}}]})") << true;
    QTest::newRow("count as text") << QByteArray(R"({"flows":[{"commands":{"total":"3"}}]})") << false;
    QTest::newRow("status as bool") << QByteArray(R"({"status":true})") << false;
    // Members the history does not read may have any type.
    QTest::newRow("device id as number") << QByteArray(R"({"device":{"id":5,"name":"x"}})") << true;
}

void TestReportModels::summaryDecoding()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, decodes);
    QCOMPARE(MaestroReportJSON::decode(json).has_value(), decodes);
}

void TestReportModels::locateEmbeddedObject_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("expected"); // "-" when none

    QTest::newRow("runner's line") << "<script>\n        let reportData = {\"flows\":[]};\n        render();\n"
                                   << "{\"flows\":[]}";
    QTest::newRow("first of two") << "let reportData = {\"a\":1};\nlet reportData = {\"b\":2};\n"
                                  << "{\"a\":1}";
    QTest::newRow("no line break after the semicolon") << "let reportData = {\"flows\":[]}; render();"
                                                       << "-";
    QTest::newRow("carriage return before the line break") << "let reportData = {\"flows\":[]};\r\n"
                                                           << "-";
    QTest::newRow("lazy end at the first }; and line break") << "let reportData = {\"a\":{\"b\":1}};\nx = {};\n"
                                                             << "{\"a\":{\"b\":1}}";
    QTest::newRow("object across lines") << "let reportData = {\n\"a\": 1\n};\n"
                                         << "{\n\"a\": 1\n}";
    QTest::newRow("no statement") << "<html></html>\n"
                                  << "-";
}

void TestReportModels::locateEmbeddedObject()
{
    QFETCH(QString, html);
    QFETCH(QString, expected);
    const auto range = EmbeddedReportLocator::locate(html);
    if (expected == QLatin1String("-")) {
        QVERIFY(!range);
        return;
    }
    QVERIFY(range);
    QCOMPARE(html.mid(range->start, range->length), expected);
}

void TestReportModels::embeddedDecodeFailures_data()
{
    QTest::addColumn<QString>("json");
    QTest::addColumn<bool>("decodes");
    QTest::newRow("flows as object") << R"({"flows":{}})" << false;
    QTest::newRow("index as text") << R"({"flows":[{"commands":[{"index":"4"}]}]})" << false;
    QTest::newRow("artifacts as array") << R"({"flows":[{"commands":[{"artifacts":[]}]}]})" << false;
    QTest::newRow("deep sub-command id as number") << R"({"flows":[{"commands":[{"subCommands":[{"id":1}]}]}]})" << false;
    QTest::newRow("artifact values of any type")
        << R"({"flows":[{"commands":[{"artifacts":{"a":1,"b":[true],"c":null}}]}]})" << true;
    QTest::newRow("unknown members of any type") << R"({"index":{"summary":null},"flows":[{"status":1}]})" << true;
    QTest::newRow("truncated") << R"({"flows":[)" << false;
}

void TestReportModels::embeddedDecodeFailures()
{
    QFETCH(QString, json);
    QFETCH(bool, decodes);
    QCOMPARE(EmbeddedReportData::decode(json).has_value(), decodes);
}

void TestReportModels::embeddedWriteBackKeepsRunnerMembers()
{
    // As the runner writes it: Go escapes, `index`, members the family does
    // not know, numbers in several forms, sub-commands.
    const QString original = QStringLiteral(
        R"({"flows":[{"id":"flow-000","name":"Checkout \u003csmoke\u003e \u0026 pay","status":"failed",)"
        R"("commands":[{"id":"cmd-003","index":3,"type":"takeScreenshot","yaml":"takeScreenshot: cart",)"
        R"("status":"passed","startTime":"2026-12-06T09:36:51+01:00","duration":290,"artifacts":{},)"
        R"("ratio":1.50,"big":1e3},)"
        R"({"id":"cmd-004","index":4,"type":"runFlow","subCommands":[{"id":"sub-0","index":0,"type":"tapOn","artifacts":{"screenshotBefore":""}}]}]}],)"
        R"("index":{"version":"1.1.25","summary":{"total":1,"passed":0},"flows":[{"index":0,"error":"x"}]}})");
    auto data = EmbeddedReportData::decode(original);
    QVERIFY(data);

    // Unchanged, the object comes back exactly as the runner wrote it.
    QCOMPARE(data->encode(), original);

    (*(*data->flows)[0].commands)[0].setArtifact(
        QStringLiteral("screenshotAfter"), QStringLiteral("assets/flow-000/cmd-003-cart.png"));
    const QString patched = data->encode();
    QString expected = original;
    expected.replace(QStringLiteral(R"("artifacts":{},)"),
        QStringLiteral(R"("artifacts":{"screenshotAfter":"assets\/flow-000\/cmd-003-cart.png"},)"));
    QCOMPARE(patched, expected);
}

void TestReportModels::embeddedNullArtifactWrittenAsEmptyString()
{
    const QString original = QStringLiteral(
        R"({"flows":[{"id":"f","commands":[{"artifacts":{"viewHierarchy":null},"type":"x"},{"artifacts":{"a":null}}]}]})");
    auto data = EmbeddedReportData::decode(original);
    QVERIFY(data);
    EmbeddedCommand &command = (*(*data->flows)[0].commands)[0];
    QVERIFY(command.artifacts);
    QCOMPARE(command.artifacts->front().value.toString(), QString());
    QVERIFY(command.artifacts->front().value.isString());
    // Untouched commands keep exactly what the runner wrote.
    QCOMPARE(data->encode(), original);
    // A patched command's artifacts are written from the model: null as "".
    command.setArtifact(QStringLiteral("screenshotAfter"), QStringLiteral("assets/f/s.png"));
    QCOMPARE(data->encode(),
        QStringLiteral(
            R"({"flows":[{"id":"f","commands":[{"artifacts":{"viewHierarchy":"","screenshotAfter":"assets\/f\/s.png"},)"
            R"("type":"x"},{"artifacts":{"a":null}}]}]})"));
}

void TestReportModels::anyCodableKeepsTypes()
{
    const auto root = JsonText::parse(QStringLiteral(R"({"i":4,"f":1.25,"b":false,"s":"x","o":{"n":null},"a":[null,1]})"));
    QVERIFY(root);
    const AnyCodable integer = AnyCodable::fromJson(*root->member(QLatin1String("i")));
    QCOMPARE(integer.value.toInteger(), std::optional<qint64>(4));
    const AnyCodable floating = AnyCodable::fromJson(*root->member(QLatin1String("f")));
    QVERIFY(floating.value.isNumber());
    QVERIFY(!floating.value.toInteger());
    QCOMPARE(AnyCodable::fromJson(*root->member(QLatin1String("b"))).value.kind, JsonNode::Kind::Bool);
    // Nulls inside objects and arrays become empty strings too.
    const AnyCodable object = AnyCodable::fromJson(*root->member(QLatin1String("o")));
    QCOMPARE(JsonText::writeCompact(object.value), QStringLiteral(R"({"n":""})"));
    const AnyCodable array = AnyCodable::fromJson(*root->member(QLatin1String("a")));
    QCOMPARE(JsonText::writeCompact(array.value), QStringLiteral(R"(["",1])"));
}

void TestReportModels::jsonStringEscaping_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("literal");
    QTest::newRow("slash") << "a/b"
                           << R"("a\/b")";
    QTest::newRow("markup") << "</script><b>&"
                            << R"("\u003c\/script\u003e\u003cb\u003e\u0026")";
    QTest::newRow("quote and backslash") << "\"\\"
                                         << R"("\"\\")";
    QTest::newRow("controls") << QStringLiteral("\n\t\x01") << R"("\n\t\u0001")";
    QTest::newRow("line separators") << QString(QChar(0x2028)) + QChar(0x2029) << R"("\u2028\u2029")";
    QTest::newRow("non-ascii kept") << QStringLiteral("Café ✓") << QStringLiteral("\"Café ✓\"");
}

void TestReportModels::jsonStringEscaping()
{
    QFETCH(QString, value);
    QFETCH(QString, literal);
    QCOMPARE(JsonText::quoted(value), literal);
    // And it reads back to the same text.
    const auto node = JsonText::parse(literal);
    QVERIFY(node);
    QCOMPARE(node->text, value);
}

void TestReportModels::jsonParserRejects_data()
{
    QTest::addColumn<QString>("json");
    QTest::newRow("trailing comma") << "[1,]";
    QTest::newRow("leading zero") << "01";
    QTest::newRow("bad escape") << R"("\x")";
    QTest::newRow("raw line break in string") << "\"a\nb\"";
    QTest::newRow("trailing text") << "{} x";
    QTest::newRow("single quotes") << "{'a':1}";
    QTest::newRow("too deep") << QString(600, QLatin1Char('[')) + QString(600, QLatin1Char(']'));
}

void TestReportModels::jsonParserRejects()
{
    QFETCH(QString, json);
    QString error;
    QVERIFY(!JsonText::parse(json, &error));
    QVERIFY(!error.isEmpty());
}

QTEST_GUILESS_MAIN(TestReportModels)
#include "tst_reportmodels.moc"
