// The simulated lab's pieces: the flow YAML reader, the runner-style JSON
// and time writers, the PNG encoder, the runner's argument rules and the
// hierarchy indentation.

#include "flowreader.h"
#include "gojson.h"
#include "hierarchyprinter.h"
#include "pngwriter.h"
#include "runnerarguments.h"
#include "simclock.h"

#include <QDateTime>
#include <QTest>
#include <QTimeZone>
#include <QtEndian>

#include <ctime>

namespace {

QString dump(const YamlNode &node)
{
    switch (node.kind) {
    case YamlNode::Kind::Null:
        return QStringLiteral("~");
    case YamlNode::Kind::Scalar:
        return node.quoted ? u'\'' + node.text + u'\'' : node.text;
    case YamlNode::Kind::Map: {
        QStringList parts;
        for (const auto &[k, v] : node.entries)
            parts << k + QStringLiteral(": ") + dump(v);
        return u'{' + parts.join(QStringLiteral(", ")) + u'}';
    }
    case YamlNode::Kind::List: {
        QStringList parts;
        for (const YamlNode &i : node.items)
            parts << dump(i);
        return u'[' + parts.join(QStringLiteral(", ")) + u']';
    }
    }
    return {};
}

} // namespace

class TestSimParts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void yamlDocuments_data();
    void yamlDocuments();
    void yamlErrors_data();
    void yamlErrors();
    void flowHeader();
    void goJsonEscaping_data();
    void goJsonEscaping();
    void goJsonLayout();
    void rfc3339_data();
    void rfc3339();
    void pngIsValid();
    void runnerArguments_data();
    void runnerArguments();
    void hierarchyIndentation();
};

void TestSimParts::initTestCase()
{
    qputenv("TZ", "UTC");
    tzset();
}

void TestSimParts::yamlDocuments_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("scalar and map commands") << "- launchApp\n- tapOn: Masuk\n- tapOn:\n    id: loginButton\n"
                                             << "[[launchApp, {tapOn: Masuk}, {tapOn: {id: loginButton}}]]";
    QTest::newRow("header and commands") << "appId: ${BUNDLE_ID}\nname: Login\n---\n- back\n"
                                         << "[{appId: ${BUNDLE_ID}, name: Login}, [back]]";
    QTest::newRow("flow-style map and list") << "- tapOn: {id: \"cart\", index: 2}\n- tags: [a, 'b, c']\n"
                                             << "[[{tapOn: {id: 'cart', index: 2}}, {tags: [a, 'b, c']}]]";
    QTest::newRow("quotes keep colons and hashes") << "- inputText: \"a: b # not a comment\"\n- tapOn: 'it''s'\n"
                                                   << "[[{inputText: 'a: b # not a comment'}, {tapOn: 'it's'}]]";
    QTest::newRow("comments dropped") << "# heading\n- back # go back\n\n  # indented comment\n- hideKeyboard\n"
                                      << "[[back, hideKeyboard]]";
    QTest::newRow("list under key at same indentation") << "- repeat:\n    times: 2\n    commands:\n    - back\n    - back\n"
                                                        << "[[{repeat: {times: 2, commands: [back, back]}}]]";
    QTest::newRow("nested list items") << "- retry:\n    commands:\n      - tapOn:\n          id: x\n      - back\n"
                                       << "[[{retry: {commands: [{tapOn: {id: x}}, back]}}]]";
    QTest::newRow("block scalar") << "- evalScript: |\n    a = 1\n    b = 2\n- back\n"
                                  << "[[{evalScript: 'a = 1\nb = 2'}, back]]";
    QTest::newRow("CRLF line ends") << "appId: x\r\n---\r\n- back\r\n"
                                    << "[{appId: x}, [back]]";
    QTest::newRow("empty value is null") << "- runFlow:\n- back\n"
                                         << "[[{runFlow: ~}, back]]";
    QTest::newRow("double-quoted escapes") << "- inputText: \"line\\nnext \\\"q\\\"\"\n"
                                           << "[[{inputText: 'line\nnext \"q\"'}]]";
}

void TestSimParts::yamlDocuments()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QList<YamlNode> docs;
    QString error;
    QVERIFY2(YamlReader::parseDocuments(text, &docs, &error), qPrintable(error));
    QStringList parts;
    for (const YamlNode &d : docs)
        parts << dump(d);
    QCOMPARE(u'[' + parts.join(QStringLiteral(", ")) + u']', expected);
}

void TestSimParts::yamlErrors_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");
    QTest::newRow("tab indentation") << "- tapOn:\n\tid: x\n"
                                     << "line 2: tabs";
    QTest::newRow("deeper sibling") << "appId: x\n  name: y\n"
                                    << "line 2:";
    QTest::newRow("text where a key belongs") << "appId: x\njust words\n"
                                              << "line 2: expected \"key: value\"";
    QTest::newRow("list after a map") << "appId: x\n- back\n"
                                      << "line 2: unexpected content";
    QTest::newRow("sequence entry out of line") << "key:\n  - a\n  b: c\n"
                                                << "line 3: bad indentation";
}

void TestSimParts::yamlErrors()
{
    QFETCH(QString, text);
    QFETCH(QString, error);
    QList<YamlNode> docs;
    QString message;
    QVERIFY(!YamlReader::parseDocuments(text, &docs, &message));
    QVERIFY2(message.startsWith(error), qPrintable(message));
}

void TestSimParts::flowHeader()
{
    FlowFile flow;
    QString error;
    QVERIFY(FlowReader::parse(
        QStringLiteral("appId: ${BUNDLE_ID}\ntags:\n  - smoke\nenv:\n  EMAIL: a@b.c\n---\n- launchApp\n- runFlow: sub.yaml\n"),
        QStringLiteral("/w/login.yaml"), &flow, &error));
    QCOMPARE(flow.appId, QStringLiteral("${BUNDLE_ID}"));
    QCOMPARE(flow.name, QStringLiteral("login")); // no name: the file name
    QCOMPARE(flow.tags, QStringList { QStringLiteral("smoke") });
    QCOMPARE(flow.env.size(), 1);
    QCOMPARE(flow.commands.size(), 2);
    QCOMPARE(FlowReader::commandParts(flow.commands[1]).first, QStringLiteral("runFlow"));
    QVERIFY(!FlowReader::parse(QStringLiteral("appId: x\n---\nnot: a list\n"), QStringLiteral("f.yaml"), &flow, &error));
    QVERIFY(error.contains(QLatin1String("no command list")));
    QVERIFY(!FlowReader::parse(QStringLiteral("appId: x\n---\n- \"quoted\"\n"), QStringLiteral("f.yaml"), &flow, &error));
}

void TestSimParts::goJsonEscaping_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("html characters") << "<b>A & B</b>"
                                     << "\"\\u003cb\\u003eA \\u0026 B\\u003c/b\\u003e\"";
    QTest::newRow("quotes and backslash") << "say \"hi\" \\"
                                          << "\"say \\\"hi\\\" \\\\\"";
    QTest::newRow("line breaks and tab") << "a\nb\r\tc"
                                         << "\"a\\nb\\r\\tc\"";
    QTest::newRow("control character") << QString(QChar(0x01)) << "\"\\u0001\"";
    QTest::newRow("line separator") << QString(QChar(0x2028)) << "\"\\u2028\"";
    QTest::newRow("non-ASCII kept") << "Lab\u2019s\u00a0iPhone"
                                    << "\"Lab\u2019s\u00a0iPhone\"";
    QTest::newRow("slash kept") << "a/b"
                                << "\"a/b\"";
}

void TestSimParts::goJsonEscaping()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(GoJson::escapeString(input), expected);
}

void TestSimParts::goJsonLayout()
{
    GoJson inner = GoJson::object();
    inner.add(QStringLiteral("z"), 1).add(QStringLiteral("a"), true);
    GoJson root = GoJson::object();
    root.add(QStringLiteral("b"), inner)
        .add(QStringLiteral("empty"), GoJson::array())
        .add(QStringLiteral("none"), GoJson::null());
    QCOMPARE(root.toCompact(), QByteArray(R"({"b":{"z":1,"a":true},"empty":[],"none":null})"));
    QCOMPARE(root.toIndented(),
        QByteArray("{\n  \"b\": {\n    \"z\": 1,\n    \"a\": true\n  },\n  \"empty\": [],\n  \"none\": null\n}"));
}

void TestSimParts::rfc3339_data()
{
    QTest::addColumn<qint64>("ns");
    QTest::addColumn<QString>("expected");
    const qint64 second = QDateTime(QDate(2026, 12, 6), QTime(10, 16, 44), QTimeZone::utc()).toMSecsSinceEpoch() * 1000000;
    QTest::newRow("whole second has no fraction") << second << "2026-12-06T10:16:44Z";
    QTest::newRow("nine digits") << second + 228644749 << "2026-12-06T10:16:44.228644749Z";
    QTest::newRow("trailing zeros cut") << second + 629448930 << "2026-12-06T10:16:44.62944893Z";
    QTest::newRow("one nanosecond") << second + 1 << "2026-12-06T10:16:44.000000001Z";
    QTest::newRow("half a second") << second + 500000000 << "2026-12-06T10:16:44.5Z";
}

void TestSimParts::rfc3339()
{
    QFETCH(qint64, ns);
    QFETCH(QString, expected);
    QCOMPARE(SimClock::formatRfc3339(ns), expected);
}

void TestSimParts::pngIsValid()
{
    QCOMPARE(PngWriter::crc32("123456789"), 0xCBF43926u); // the CRC-32 check value
    const QByteArray rgb("\xff\x00\x00\x00\xff\x00\x00\x00\xff\x10\x20\x30\x40\x50\x60\x70\x80\x90", 18);
    const QByteArray png = PngWriter::encode(3, 2, rgb);
    QVERIFY(png.startsWith("\x89PNG\r\n\x1a\n"));
    qsizetype at = 8;
    QByteArray idat;
    QStringList chunks;
    while (at < png.size()) {
        const quint32 length = qFromBigEndian<quint32>(png.constData() + at);
        const QByteArray typed = png.mid(at + 4, 4 + length);
        QCOMPARE(qFromBigEndian<quint32>(png.constData() + at + 8 + length), PngWriter::crc32(typed));
        chunks << QString::fromLatin1(typed.left(4));
        if (typed.startsWith("IDAT"))
            idat += typed.mid(4);
        at += 12 + length;
    }
    QCOMPARE(chunks, (QStringList { "IHDR", "IDAT", "IEND" }));
    // zlib checks the stream and its Adler-32; qUncompress wants the length in front.
    QByteArray sized(4, '\0');
    qToBigEndian<quint32>(2 * (1 + 3 * 3), sized.data());
    const QByteArray raw = qUncompress(sized + idat);
    QCOMPARE(raw, QByteArray(1, '\0') + rgb.left(9) + QByteArray(1, '\0') + rgb.mid(9));
}

void TestSimParts::runnerArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("flows");
    QTest::addColumn<QStringList>("env");
    QTest::addColumn<QString>("output");
    QTest::newRow("the application's command line")
        << QStringList { "--platform", "ios", "--team-id", "T", "--device", "U", "-e", "BUNDLE_ID=b.c.d", "-e", "K=a=b",
               "--artifacts", "on-failure", "--output", "/r", "/s/flow.yaml" }
        << QStringList { "/s/flow.yaml" } << QStringList { "BUNDLE_ID=b.c.d", "K=a=b" } << "/r";
    QTest::newRow("options after the flow are paths") << QStringList { "--device", "U", "a.yaml", "--output", "x" }
                                                      << QStringList { "a.yaml", "--output", "x" } << QStringList {} << "reports";
    QTest::newRow("inline values and test word")
        << QStringList { "--output=/o", "test", "f.yaml" } << QStringList { "f.yaml" } << QStringList {} << "/o";
    QTest::newRow("empty value kept") << QStringList { "-e", "EMPTY=", "f.yaml" } << QStringList { "f.yaml" }
                                      << QStringList { "EMPTY=" } << "reports";
}

void TestSimParts::runnerArguments()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, flows);
    QFETCH(QStringList, env);
    QFETCH(QString, output);
    RunnerArguments parsed;
    QString error;
    QVERIFY2(RunnerArguments::parse(args, &parsed, &error), qPrintable(error));
    QCOMPARE(parsed.flowPaths, flows);
    QStringList pairs;
    for (const auto &[k, v] : parsed.env)
        pairs << k + u'=' + v;
    QCOMPARE(pairs, env);
    QCOMPARE(parsed.output, output);
}

void TestSimParts::hierarchyIndentation()
{
    QSet<int> steps;
    for (int depth = 1; depth < 8; ++depth) {
        const int step = HierarchyPrinter::indentForDepth(depth) - HierarchyPrinter::indentForDepth(depth - 1);
        QVERIFY(step > 0);
        steps.insert(step);
    }
    QCOMPARE(HierarchyPrinter::indentForDepth(0), 0);
    QVERIFY(steps.size() > 1);
}

QTEST_GUILESS_MAIN(TestSimParts)
#include "tst_simparts.moc"
