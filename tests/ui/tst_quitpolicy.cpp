#include "quitpolicy.h"

#include <QTest>

class TestQuitPolicy : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sequences_data();
    void sequences();
};

void TestQuitPolicy::sequences_data()
{
    QTest::addColumn<bool>("setupComplete");
    QTest::addColumn<QString>("answers");       // what the alert answers, in order: y = "Keluar", n = "Batal"
    QTest::addColumn<QStringList>("requests");  // "quit" or "close:<window identifier>"
    QTest::addColumn<QStringList>("decisions"); // one per request
    QTest::addColumn<int>("questions");

    QTest::newRow("before setup, quit ends at once without asking")
        << false << QString() << QStringList { QStringLiteral("quit") } << QStringList { QStringLiteral("terminate") } << 0;
    QTest::newRow("before setup, closing the main window quits without asking")
        << false << QString() << QStringList { QStringLiteral("close:MainWindow"), QStringLiteral("quit") }
        << QStringList { QStringLiteral("refuse+terminate"), QStringLiteral("terminate") } << 0;
    QTest::newRow("Batal keeps the application; the next attempt asks again")
        << true << QStringLiteral("ny")
        << QStringList { QStringLiteral("quit"), QStringLiteral("quit"), QStringLiteral("close:MainWindow") }
        << QStringList { QStringLiteral("cancel"), QStringLiteral("terminate"), QStringLiteral("allow") } << 2;
    QTest::newRow("Keluar quits; the window close that follows does not ask")
        << true << QStringLiteral("y") << QStringList { QStringLiteral("quit"), QStringLiteral("close:MainWindow") }
        << QStringList { QStringLiteral("terminate"), QStringLiteral("allow") } << 1;
    QTest::newRow("closing the main window asks; Batal keeps it open")
        << true << QStringLiteral("n") << QStringList { QStringLiteral("close:MainWindow") }
        << QStringList { QStringLiteral("refuse") } << 1;
    QTest::newRow("closing the main window asks once, then the quit goes through")
        << true << QStringLiteral("y")
        << QStringList { QStringLiteral("close:MainWindow"), QStringLiteral("quit"), QStringLiteral("close:MainWindow") }
        << QStringList { QStringLiteral("refuse+terminate"), QStringLiteral("terminate"), QStringLiteral("allow") } << 1;
    QTest::newRow("the settings window never asks and never quits")
        << true << QString() << QStringList { QStringLiteral("close:SettingsWindow"), QStringLiteral("close:com_kestrune_Settings") }
        << QStringList { QStringLiteral("allow"), QStringLiteral("allow") } << 0;
}

void TestQuitPolicy::sequences()
{
    QFETCH(bool, setupComplete);
    QFETCH(QString, answers);
    QFETCH(QStringList, requests);
    QFETCH(QStringList, decisions);
    QFETCH(int, questions);

    int asked = 0;
    bool askedTooOften = false;
    QuitPolicy policy([setupComplete] { return setupComplete; },
                      [&] {
                          if (asked >= answers.size()) {
                              askedTooOften = true;
                              return false;
                          }
                          return answers.at(asked++) == QLatin1Char('y');
                      });

    QStringList actual;
    for (const QString &request : std::as_const(requests)) {
        if (request == QLatin1String("quit")) {
            actual << (policy.shouldTerminate() ? QStringLiteral("terminate") : QStringLiteral("cancel"));
            continue;
        }
        switch (policy.shouldClose(request.mid(qstrlen("close:")))) {
        case QuitPolicy::CloseDecision::Allow:
            actual << QStringLiteral("allow");
            break;
        case QuitPolicy::CloseDecision::Refuse:
            actual << QStringLiteral("refuse");
            break;
        case QuitPolicy::CloseDecision::RefuseAndTerminate:
            actual << QStringLiteral("refuse+terminate");
            break;
        }
    }
    QCOMPARE(actual, decisions);
    QVERIFY(!askedTooOften);
    QCOMPARE(asked, questions);
}

QTEST_GUILESS_MAIN(TestQuitPolicy)
#include "tst_quitpolicy.moc"
