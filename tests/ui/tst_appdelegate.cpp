#include "appdelegate.h"
#include "mainwindow.h"
#include "process/commandexecutor.h"
#include "process/processregistry.h"
#include "../core/process/processprobe.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

// The alert replaced by a list of answers; counts the questions.
struct FakeAlert
{
    QString answers; // y = "Keluar", n = "Batal"
    int asked = 0;

    bool answer()
    {
        const bool yes = asked < answers.size() && answers.at(asked) == QLatin1Char('y');
        ++asked;
        return yes;
    }
};

// Installed on the application before the delegate, so it sees a Quit
// event only when the delegate let it through. It then does what Qt does
// with a quit (close every window) but keeps the application alive for the
// next test: a real Quit would end every later event loop at once.
class QuitSink final : public QObject
{
public:
    bool reached = false;

    QuitSink() { QCoreApplication::instance()->installEventFilter(this); }
    ~QuitSink() override { QCoreApplication::instance()->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != QCoreApplication::instance() || event->type() != QEvent::Quit)
            return false;
        reached = true;
        QApplication::closeAllWindows();
        return true;
    }
};

struct Harness
{
    bool setupComplete = true;
    FakeAlert alert;
    int terminationRequests = 0;
    QuitSink sink;
    std::unique_ptr<AppDelegate> delegate;

    Harness(bool setup, const QString &answers)
        : setupComplete(setup)
    {
        alert.answers = answers;
        delegate = std::make_unique<AppDelegate>([this] { return setupComplete; }, [this] { return alert.answer(); },
                                                 [this] { ++terminationRequests; });
    }
};

// Sends the application the Quit event that every quit request turns into;
// true when the delegate let it through.
bool requestQuit(Harness &harness)
{
    harness.sink.reached = false;
    QEvent quit(QEvent::Quit);
    QCoreApplication::sendEvent(QCoreApplication::instance(), &quit);
    return harness.sink.reached;
}

} // namespace

class TestAppDelegate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void closingTheMainWindow_data();
    void closingTheMainWindow();
    void quitRequest_data();
    void quitRequest();
    void otherWindowsKeepTheirBehaviour();
    void alertTexts();
    void alertAnswers_data();
    void alertAnswers();
    void childProcessesDieWhenTheApplicationTerminates();
};

void TestAppDelegate::closingTheMainWindow_data()
{
    QTest::addColumn<bool>("setupComplete");
    QTest::addColumn<QString>("answers");
    QTest::addColumn<int>("expectedQuestions");
    QTest::addColumn<int>("expectedTerminationRequests");

    QTest::newRow("before setup: quits without asking") << false << QString() << 0 << 1;
    QTest::newRow("Batal: the window stays") << true << QStringLiteral("n") << 1 << 0;
    QTest::newRow("Keluar: the application quits") << true << QStringLiteral("y") << 1 << 1;
}

void TestAppDelegate::closingTheMainWindow()
{
    QFETCH(bool, setupComplete);
    QFETCH(QString, answers);
    QFETCH(int, expectedQuestions);
    QFETCH(int, expectedTerminationRequests);

    Harness harness(setupComplete, answers);
    MainWindow window;
    window.show();
    harness.delegate->scheduleAttachWindowDelegates();
    QCoreApplication::processEvents();

    // The window never closes by itself: it goes away with the application.
    QVERIFY(!window.close());
    QVERIFY(window.isVisible());
    QTRY_COMPARE(harness.terminationRequests, expectedTerminationRequests);
    QCOMPARE(harness.alert.asked, expectedQuestions);

    if (expectedTerminationRequests > 0) {
        // The quit that follows neither asks again nor is refused by the window.
        QVERIFY(requestQuit(harness));
        QVERIFY(!window.isVisible());
        QCOMPARE(harness.alert.asked, expectedQuestions);
    }
}

void TestAppDelegate::quitRequest_data()
{
    QTest::addColumn<bool>("setupComplete");
    QTest::addColumn<QString>("answers");
    QTest::addColumn<bool>("expectedToQuit");
    QTest::addColumn<int>("expectedQuestions");

    QTest::newRow("before setup") << false << QString() << true << 0;
    QTest::newRow("Batal") << true << QStringLiteral("n") << false << 1;
    QTest::newRow("Keluar") << true << QStringLiteral("y") << true << 1;
}

void TestAppDelegate::quitRequest()
{
    QFETCH(bool, setupComplete);
    QFETCH(QString, answers);
    QFETCH(bool, expectedToQuit);
    QFETCH(int, expectedQuestions);

    Harness harness(setupComplete, answers);
    MainWindow window;
    window.show();
    harness.delegate->attachWindowDelegates();

    QCOMPARE(requestQuit(harness), expectedToQuit);
    QCOMPARE(window.isVisible(), !expectedToQuit);
    QCOMPARE(harness.alert.asked, expectedQuestions);
    QCOMPARE(harness.terminationRequests, 0);
}

void TestAppDelegate::otherWindowsKeepTheirBehaviour()
{
    Harness harness(true, QString());
    QMainWindow settings;
    settings.setObjectName(QStringLiteral("SettingsWindow"));
    QMainWindow anonymous;
    settings.show();
    anonymous.show();
    harness.delegate->attachWindowDelegates();

    QVERIFY(settings.close());
    QVERIFY(anonymous.close());
    QCOMPARE(harness.alert.asked, 0);
    QCoreApplication::processEvents();
    QCOMPARE(harness.terminationRequests, 0);
}

void TestAppDelegate::alertTexts()
{
    std::unique_ptr<QMessageBox> alert(AppDelegate::createQuitAlert());
    QCOMPARE(alert->text(), QStringLiteral("Keluar dari Kestrune?"));
    QCOMPARE(alert->informativeText(),
             QStringLiteral("Apakah Anda yakin ingin menutup aplikasi Kestrune? \n\n"
                            "Proses pengujian otomatis yang sedang berjalan akan dihentikan."));
    QCOMPARE(alert->icon(), QMessageBox::Warning);
    const QList<QAbstractButton *> buttons = alert->buttons();
    QCOMPARE(buttons.size(), 2);
    QCOMPARE(buttons.at(0)->text(), QStringLiteral("Keluar"));
    QCOMPARE(buttons.at(1)->text(), QStringLiteral("Batal"));
    QCOMPARE(static_cast<QAbstractButton *>(alert->defaultButton()), buttons.at(0));
    QCOMPARE(alert->escapeButton(), buttons.at(1));
}

void TestAppDelegate::alertAnswers_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("expected");
    QTest::newRow("Keluar") << QStringLiteral("Keluar") << true;
    QTest::newRow("Batal") << QStringLiteral("Batal") << false;
    QTest::newRow("Escape key") << QStringLiteral("escape") << false;
    QTest::newRow("Return key takes the default") << QStringLiteral("return") << true;
}

void TestAppDelegate::alertAnswers()
{
    QFETCH(QString, action);
    QFETCH(bool, expected);

    bool sawAlert = false;
    QTimer::singleShot(0, this, [&] {
        auto *alert = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!alert)
            return;
        sawAlert = true;
        if (action == QLatin1String("escape")) {
            QTest::keyClick(alert, Qt::Key_Escape);
        } else if (action == QLatin1String("return")) {
            QTest::keyClick(alert, Qt::Key_Return);
        } else {
            for (QAbstractButton *button : alert->buttons()) {
                if (button->text() == action)
                    button->click();
            }
        }
    });
    QCOMPARE(AppDelegate::confirmQuitWithAlert(), expected);
    QVERIFY(sawAlert);
}

void TestAppDelegate::childProcessesDieWhenTheApplicationTerminates()
{
    QTemporaryDir home;
    QFile zshrc(home.filePath(QStringLiteral(".zshrc")));
    QVERIFY(zshrc.open(QIODevice::WriteOnly));
    zshrc.close();
    const QByteArray originalHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    const auto restore = qScopeGuard([&] { qputenv("HOME", originalHome); });

    Harness harness(true, QString());
    ToolPaths paths;
    paths.shell = QStringLiteral("/bin/zsh");
    paths.pkill = QStringLiteral("/usr/bin/pkill");
    CommandExecutor executor(paths);
    QString output;
    connect(&executor, &CommandExecuting::outputReceived, this, [&output](const QString &chunk) { output += chunk; });
    executor.run(QStringLiteral(KESTRUNE_FAKECHILD), { QStringLiteral("tree"), QStringLiteral("3"), QStringLiteral("ignore-term") });
    QTRY_COMPARE_WITH_TIMEOUT(processprobe::printedPids(output).size(), 3, 5000);
    const QList<qint64> pids = processprobe::printedPids(output);

    QVERIFY(QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit"));
    QCOMPARE(ProcessRegistry::count(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(processprobe::noneAlive(pids), 5000);
}

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
