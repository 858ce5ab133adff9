// A 200 MB report.json (a runner that logged a huge value into it) and the
// same file cut off mid-way (the runner killed while writing it). The big
// file must give the usual page and history row; the cut one must fail with
// a message, and the page of an earlier build must stay as it was.

#include "reports/customreportbuilder.h"
#include "reports/reporthistorystore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr qint64 kBigBytes = 200LL * 1000 * 1000;

// report.json of the runner's shape whose bulk is one member the
// application does not read, written in pieces so the test itself does not
// hold it twice.
bool writeBigReport(const QString &path, qint64 bulkBytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write("{\"status\":\"passed\",\"startTime\":\"2026-12-06T09:36:40+01:00\",\"endTime\":\"2026-12-06T09:36:54+01:00\","
               "\"device\":{\"name\":\"iPhone de QA\",\"platform\":\"ios\"},"
               "\"flows\":[{\"name\":\"Checkout big\",\"dataFile\":\"flows/flow-000.json\",\"commands\":{\"total\":1,\"passed\":1}}],"
               "\"debugLog\":\"");
    const QByteArray chunk = QByteArray("0123456789abcdef").repeated(65536);
    for (qint64 written = 0; written < bulkBytes; written += chunk.size())
        file.write(chunk);
    file.write("\"}\n");
    return file.error() == QFileDevice::NoError;
}

bool writeText(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

} // namespace

class TestReportFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void bigReportGivesTheUsualPageAndRow();
    void cutReportKeepsTheEarlierPage();

private:
    QTemporaryDir m_dir;
    QString m_runFolder;
    QString m_reportJson;
};

void TestReportFaults::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_runFolder = m_dir.filePath(QStringLiteral("UAT_20261206_093640"));
    const QString reportFolder = m_runFolder + QStringLiteral("/2026-12-06_09-36-40");
    m_reportJson = reportFolder + QStringLiteral("/report.json");
    QVERIFY(QDir().mkpath(reportFolder + QStringLiteral("/flows")));
    QVERIFY(writeText(reportFolder + QStringLiteral("/flows/flow-000.json"),
                      "{\"commands\":[{\"status\":\"COMPLETED\",\"type\":\"launchApp\",\"index\":0}]}\n"));
    QVERIFY(writeBigReport(m_reportJson, kBigBytes));
    QVERIFY(QFileInfo(m_reportJson).size() > kBigBytes);
}

void TestReportFaults::bigReportGivesTheUsualPageAndRow()
{
    QString error;
    QVERIFY2(CustomReportBuilder::generateCustomReport(m_reportJson, QString(), std::nullopt, &error), qPrintable(error));
    QFile page(QFileInfo(m_reportJson).absolutePath() + QStringLiteral("/report-custom.html"));
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QByteArray html = page.readAll();
    QVERIFY(html.contains("Checkout big"));
    QVERIFY(html.contains("launchApp"));
    // The bulk is not copied into the page.
    QVERIFY2(html.size() < 5 * 1000 * 1000, qPrintable(QString::number(html.size())));

    const std::optional<TestReport> row = ReportHistoryStore::readRunFolder(m_runFolder);
    QVERIFY(row.has_value());
    QCOMPARE(row->status, TestStatus::Passed);
    QCOMPARE(row->deviceName, std::optional<QString>(QStringLiteral("iPhone de QA")));
}

void TestReportFaults::cutReportKeepsTheEarlierPage()
{
    const QString pagePath = QFileInfo(m_reportJson).absolutePath() + QStringLiteral("/report-custom.html");
    QVERIFY(writeText(pagePath, "<html>the page of the earlier build</html>\n"));
    // The runner was killed half-way through writing the file.
    QVERIFY(QFile::resize(m_reportJson, kBigBytes / 2));

    QString error;
    QVERIFY(!CustomReportBuilder::generateCustomReport(m_reportJson, QString(), std::nullopt, &error));
    QVERIFY(!error.isEmpty());
    QFile page(pagePath);
    QVERIFY(page.open(QIODevice::ReadOnly));
    QCOMPARE(page.readAll(), QByteArray("<html>the page of the earlier build</html>\n"));

    // The history still lists the run, with what it cannot know left open.
    const std::optional<TestReport> row = ReportHistoryStore::readRunFolder(m_runFolder);
    QVERIFY(row.has_value());
    QCOMPARE(row->status, TestStatus::Unknown);
}

QTEST_GUILESS_MAIN(TestReportFaults)
#include "tst_reportfaults.moc"
