// Quitting and closing: the delegate that applies the quit policy to the
// application's windows, the quit alert, and the child processes ended at
// quit.
#include "appdelegate.h"
#include "mainwindow.h"
#include "process/commandexecutor.h"
#include "process/processregistry.h"
#include "processprobe.h"
#include "scratchfiles.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

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

// The delegate with the alert replaced by a list of answers (y = "Keluar",
// n = "Batal"; none left: "Batal").
struct Harness
{
    QString answers;
    int asked = 0;
    int terminationRequests = 0;
    QuitSink sink;
    std::unique_ptr<AppDelegate> delegate;

    Harness(bool setupComplete, const QString &replies)
        : answers(replies)
    {
        delegate = std::make_unique<AppDelegate>([setupComplete] { return setupComplete; },
            [this] { return answers.mid(asked++, 1) == u"y"; }, [this] { ++terminationRequests; });
    }

    // Sends the Quit event that every quit request turns into; true when
    // the delegate let it through.
    bool requestQuit()
    {
        sink.reached = false;
        QEvent quit(QEvent::Quit);
        QCoreApplication::sendEvent(QCoreApplication::instance(), &quit);
        return sink.reached;
    }
};

} // namespace

class TestAppDelegate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void delegate_data();
    void delegate();
    void alertAnswers_data();
    void alertAnswers();
    void childProcessesDieWhenTheApplicationTerminates();
};

void TestAppDelegate::delegate_data()
{
    QTest::addColumn<QString>("window"); // the window's object name; MainWindow is the real one
    QTest::addColumn<bool>("setupComplete");
    QTest::addColumn<QString>("answers");
    QTest::addColumn<QStringList>("requests"); // "close" the window or "quit" the application
    QTest::addColumn<QStringList>("outcomes"); // "gone" (closed, or the quit let through) or "stays"
    QTest::addColumn<int>("questions");
    QTest::addColumn<int>("terminationRequests");
    const QStringList close { "close" }, quit { "quit" }, gone { "gone" }, stays { "stays" };

    QTest::newRow("before setup, quit ends at once without asking") << "MainWindow" << false << "" << quit << gone << 0 << 0;
    QTest::newRow("before setup, closing the main window quits without asking")
        << "MainWindow" << false << "" << close << stays << 0 << 1;
    QTest::newRow("closing the main window, Batal: it stays") << "MainWindow" << true << "n" << close << stays << 1 << 0;
    QTest::newRow("closing the main window, Keluar: the application quits")
        << "MainWindow" << true << "y" << close << stays << 1 << 1;
    QTest::newRow("quit, Batal keeps the window; the next quit asks again")
        << "MainWindow" << true << "ny" << QStringList { "quit", "quit" } << QStringList { "stays", "gone" } << 2 << 0;
    QTest::newRow("quit, Keluar: the window closes without a second question")
        << "MainWindow" << true << "y" << quit << gone << 1 << 0;
    QTest::newRow("a settings window just closes") << "SettingsWindow" << true << "" << close << gone << 0 << 0;
    QTest::newRow("a window without a name just closes") << "" << true << "" << close << gone << 0 << 0;
}

void TestAppDelegate::delegate()
{
    QFETCH(QString, window);
    QFETCH(bool, setupComplete);
    QFETCH(QString, answers);
    QFETCH(QStringList, requests);
    QFETCH(QStringList, outcomes);
    QFETCH(int, questions);
    QFETCH(int, terminationRequests);

    Harness harness(setupComplete, answers);
    // The real window names itself; the delegate knows it by that name.
    std::unique_ptr<QMainWindow> shown(window == QLatin1String("MainWindow") ? new MainWindow : new QMainWindow);
    if (!qobject_cast<MainWindow *>(shown.get()))
        shown->setObjectName(window);
    shown->show();
    harness.delegate->scheduleAttachWindowDelegates();
    QCoreApplication::processEvents();

    QStringList actual;
    for (const QString &request : std::as_const(requests)) {
        const bool away = request == QLatin1String("close") ? shown->close() : harness.requestQuit();
        QCOMPARE(shown->isVisible(), !away);
        actual << (away ? QStringLiteral("gone") : QStringLiteral("stays"));
    }
    QCOMPARE(actual, outcomes);
    QTRY_COMPARE(harness.terminationRequests, terminationRequests);
    QCOMPARE(harness.asked, questions);
    if (terminationRequests > 0) {
        // The quit the close asked for neither asks again nor is refused by
        // the window it closes.
        QVERIFY(harness.requestQuit());
        QVERIFY(!shown->isVisible());
        QCOMPARE(harness.asked, questions);
    }
}

void TestAppDelegate::alertAnswers_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("quits");
    QTest::newRow("Keluar") << "Keluar" << true;
    QTest::newRow("Batal") << "Batal" << false;
    QTest::newRow("Escape key cancels") << "escape" << false;
    QTest::newRow("Return key takes Keluar") << "return" << true;
}

void TestAppDelegate::alertAnswers()
{
    QFETCH(QString, action);
    QFETCH(bool, quits);

    QString seen;
    QTimer::singleShot(0, this, [&] {
        auto *alert = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!alert)
            return;
        seen = alert->text() + u'|' + alert->informativeText();
        for (QAbstractButton *button : alert->buttons())
            seen += u'|' + button->text();
        if (action == QLatin1String("escape"))
            QTest::keyClick(alert, Qt::Key_Escape);
        else if (action == QLatin1String("return"))
            QTest::keyClick(alert, Qt::Key_Return);
        for (QAbstractButton *button : alert->buttons()) {
            if (button->text() == action)
                button->click();
        }
    });
    QCOMPARE(AppDelegate::confirmQuitWithAlert(), quits);
    QCOMPARE(seen,
        QStringLiteral("Keluar dari Kestrune?|Apakah Anda yakin ingin menutup aplikasi Kestrune? \n\n"
                       "Proses pengujian otomatis yang sedang berjalan akan dihentikan.|Keluar|Batal"));
}

void TestAppDelegate::childProcessesDieWhenTheApplicationTerminates()
{
    QTemporaryDir home;
    QVERIFY(testsupport::writeFile(home.filePath(QStringLiteral(".zshrc")), QByteArray()));
    const testsupport::ScopedEnv env("HOME", QFile::encodeName(home.path()));

    Harness harness(true, QString());
    ToolPaths paths;
    paths.shell = QStringLiteral("/bin/zsh");
    paths.pkill = QStringLiteral("/usr/bin/pkill");
    CommandExecutor executor(paths);
    QString output;
    connect(&executor, &CommandExecuting::outputReceived, this, [&output](const QString &chunk) { output += chunk; });
    executor.run(
        QStringLiteral(KESTRUNE_FAKECHILD), { QStringLiteral("tree"), QStringLiteral("3"), QStringLiteral("ignore-term") });
    QTRY_COMPARE_WITH_TIMEOUT(processprobe::printedPids(output).size(), 3, 5000);
    const QList<qint64> pids = processprobe::printedPids(output);

    QVERIFY(QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit"));
    QCOMPARE(ProcessRegistry::count(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(processprobe::noneAlive(pids), 5000);
}

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
