#include "scratchfiles.h"
#include "workspace/filecontentloader.h"
#include "workspace/yamlhighlight.h"

#include <QTemporaryDir>
#include <QTest>

using YamlHighlight::Role;

namespace {

// Each run as its text, role and weight, e.g. "appId=key/medium".
QStringList described(const QString &line)
{
    static const char *roles[] = { "plain", "comment", "key", "dash", "string", "variable", "scalar", "separator" };
    static const char *weights[] = { "", "/medium", "/bold" };
    QStringList out;
    for (const YamlHighlight::Span &span : YamlHighlight::highlightLine(line))
        out.append(line.mid(span.start, span.length) + u'=' + QLatin1String(roles[int(span.role)])
            + QLatin1String(weights[int(span.weight)]));
    return out;
}

} // namespace

class TestYamlHighlight : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void highlightLine_data();
    void highlightLine();
    void loadContent_data();
    void loadContent();
};

void TestYamlHighlight::highlightLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("runs");
    QTest::newRow("indented comment") << "   # tap the button" << QStringList { "   # tap the button=comment" };
    QTest::newRow("key value trailing comment")
        << "appId: com.example.app # main" << QStringList { "appId=key/medium", ": com.example.app =plain", "# main=comment" };
    QTest::newRow("separator") << "---" << QStringList { "---=separator/bold" };
    QTest::newRow("separator with comment") << "--- # next" << QStringList { "--- =plain", "# next=comment" };
    QTest::newRow("list item with quoted argument")
        << "- tapOn: \"Login\"" << QStringList { "- =dash/bold", "tapOn=key/medium", ": =plain", "\"Login\"=string" };
    QTest::newRow("number after colon") << "timeout: 500" << QStringList { "timeout=key/medium", ": =plain", "500=scalar" };
    QTest::newRow("digit followed by a letter") << "wait: 5s" << QStringList { "wait=key/medium", ": 5s=plain" };
    QTest::newRow("true after colon") << "optional: true" << QStringList { "optional=key/medium", ": =plain", "true=scalar" };
    QTest::newRow("env URL keyed up to the scheme colon")
        << "BASE_URL=https://api.example.com" << QStringList { "BASE_URL=https=key/medium", "://api.example.com=plain" };
    QTest::newRow("variable reference") << "text: ${USERNAME}"
                                        << QStringList { "text=key/medium", ": =plain", "${USERNAME}=variable/bold" };
    QTest::newRow("two equal quoted strings")
        << "a: \"x\" \"x\"" << QStringList { "a=key/medium", ": =plain", "\"x\"=string", " =plain", "\"x\"=string" };
    QTest::newRow("number inside quotes after colon")
        << "pin: \"1234\"" << QStringList { "pin=key/medium", ": =plain", "\"=string", "1234=scalar", "\"=string" };
    QTest::newRow("variable inside quotes") << "- inputText: \"${EMAIL}\""
                                            << QStringList { "- =dash/bold", "inputText=key/medium", ": =plain", "\"=string",
                                                   "${EMAIL}=variable/bold", "\"=string" };
    QTest::newRow("key wins over an earlier comment") << "a # b: c" << QStringList { "a # b=key/medium", ": c=comment" };
    QTest::newRow("env number after equals") << "RETRIES=3" << QStringList { "RETRIES=key/medium", "==plain", "3=scalar" };
    QTest::newRow("number after list dash") << "  - 42" << QStringList { "  =plain", "- =dash/bold", "42=scalar" };
    QTest::newRow("empty line") << "" << QStringList {};
}

void TestYamlHighlight::highlightLine()
{
    QFETCH(QString, line);
    QFETCH(QStringList, runs);
    QCOMPARE(described(line), runs);
}

void TestYamlHighlight::loadContent_data()
{
    QTest::addColumn<QByteArray>("bytes"); // empty name: no file is written
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected"); // "FAIL" for the failure text
    QTest::newRow("utf-8") << QByteArray("text: \xc3\xa9t\xc3\xa9\n") << "flow.yaml" << QString::fromUtf8("text: été\n");
    QTest::newRow("latin-1 bytes") << QByteArray("text: caf\xe9") << "flow.yaml" << QString::fromUtf8("text: café");
    QTest::newRow("empty file") << QByteArray() << "empty.yaml" << QString();
    QTest::newRow("missing file") << QByteArray() << QString() << "FAIL";
    QTest::newRow("a folder") << QByteArray() << "." << QStringLiteral("FAIL");
}

void TestYamlHighlight::loadContent()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString path = name == u"." ? dir.path() : dir.filePath(name.isEmpty() ? QStringLiteral("missing.yaml") : name);
    if (!name.isEmpty() && name != u".")
        QVERIFY(testsupport::writeFile(path, bytes));
    const QString text = FileContentLoader::loadContent(path);
    if (expected == u"FAIL")
        QCOMPARE(text, QStringLiteral("# Unable to load file content at:\n# ") + path);
    else
        QCOMPARE(text, expected);
}

QTEST_GUILESS_MAIN(TestYamlHighlight)
#include "tst_yamlhighlight.moc"
