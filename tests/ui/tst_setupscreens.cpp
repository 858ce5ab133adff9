#include "mainwindow.h"
#include "scratchfiles.h"
#include "settings/settingsstore.h"
#include "setup/commandbox.h"
#include "setup/environmentcheckrow.h"
#include "setup/environmentcheckview.h"
#include "setup/environmentcheckviewmodel.h"
#include "setup/maestropathconfigview.h"
#include "setup/onboardingview.h"
#include "setup/settingsview.h"
#include "setup/validationindicator.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QToolButton>

#include <algorithm>

using testsupport::writeFile;

// Wiring of the settings tab and onboarding on a settings file of their own.
class TestSetupScreens : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void settingsWiring_data();
    void settingsWiring();
    void saveStoresTrimmedValues();
    void checkPrerequisitesUsesTheEditedPath();
    void clearingTheCache();
    void autoDetectFillsThePath();
    void onboardingWiring_data();
    void onboardingWiring();
    void onboardingEnds_data();
    void onboardingEnds();
    void firstLaunchShowsOnboardingUntilComplete();

private:
    SettingsStore store() const { return SettingsStore(m_settingsFile); }
    void storeDefaults();

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_settingsFile;
};

void TestSetupScreens::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_settingsFile = m_dir->filePath(QStringLiteral("settings.ini"));
    qputenv("KESTRUNE_SETTINGS_FILE", QFile::encodeName(m_settingsFile));
    QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("reports"))));
    QVERIFY(writeFile(m_dir->filePath(QStringLiteral("runner")), "#!/bin/sh\n", true));
}

void TestSetupScreens::cleanup()
{
    QThreadPool::globalInstance()->waitForDone();
    qunsetenv("KESTRUNE_SETTINGS_FILE");
}

void TestSetupScreens::storeDefaults()
{
    SettingsStore settings = store();
    settings.setReportsOutputDirectory(m_dir->filePath(QStringLiteral("reports")));
    settings.setAppleTeamId(QStringLiteral("K7QX2M9R4T"));
    settings.setMaestroRunnerPath(m_dir->filePath(QStringLiteral("runner")));
    settings.sync();
}

void TestSetupScreens::settingsWiring_data()
{
    QTest::addColumn<QString>("field"); // output, team or runner
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("save");
    QTest::addColumn<bool>("discard");
    QTest::addColumn<QString>("indicatorTip");
    QTest::addColumn<bool>("reasonBelow"); // the tip spelled out under the field

    const QString badTeam = QStringLiteral("Team ID must be 10 alphanumeric characters (e.g., ABCD1234EF)");
    // clang-format off
    QTest::newRow("nothing edited") << "" << "" << false << false << "Valid Team ID format" << false;
    QTest::newRow("valid team") << "team" << "ABCD1234EF" << true << true << "Valid Team ID format" << false;
    QTest::newRow("nine-character team") << "team" << "ABCD1234E" << false << true << badTeam << true;
    QTest::newRow("output folder of spaces") << "output" << "   " << false << true << "File/Directory not found" << false;
    QTest::newRow("missing runner file") << "runner" << "/nowhere/runner" << true << true << "File/Directory not found" << false;
    // clang-format on
}

void TestSetupScreens::settingsWiring()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(bool, save);
    QFETCH(bool, discard);
    QFETCH(QString, indicatorTip);
    QFETCH(bool, reasonBelow);
    storeDefaults();
    SettingsView view;
    view.show();
    ValidationIndicator *indicator = view.teamIdIndicator();
    if (field == QLatin1String("team")) {
        view.teamIdField()->setText(text);
    } else if (field == QLatin1String("output")) {
        view.outputField()->setText(text);
        indicator = view.outputIndicator();
    } else if (field == QLatin1String("runner")) {
        view.runnerPathEditor()->field()->setText(text);
        indicator = view.runnerPathEditor()->indicator();
    }
    QCOMPARE(view.saveButton()->isEnabled(), save);
    QCOMPARE(view.discardButton()->isEnabled(), discard);
    QCOMPARE(indicator->toolTip(), indicatorTip);
    QCOMPARE(indicator->accessibleName(), indicatorTip);
    bool spelledOut = false;
    for (QLabel *label : view.findChildren<QLabel *>())
        spelledOut = spelledOut || (label != indicator && label->isVisibleTo(&view) && label->text() == indicatorTip);
    QCOMPARE(spelledOut, reasonBelow);
}

void TestSetupScreens::saveStoresTrimmedValues()
{
    storeDefaults();
    SettingsView view;
    view.show();
    view.teamIdField()->clear();
    QTest::keyClicks(view.teamIdField(), QStringLiteral("  ZX12CV34BN "));
    QTest::mouseClick(view.saveButton(), Qt::LeftButton);
    QCOMPARE(store().appleTeamId(), QStringLiteral("ZX12CV34BN"));
    QCOMPARE(view.teamIdField()->text(), QStringLiteral("ZX12CV34BN"));
    QCOMPARE(view.toast()->text(), QStringLiteral("Settings saved successfully."));
    QVERIFY(!view.saveButton()->isEnabled());

    // Fields are loaded once per lifetime: a hidden and shown view keeps edits.
    view.teamIdField()->setText(QStringLiteral("EDITED1234"));
    view.hide();
    view.show();
    QCOMPARE(view.teamIdField()->text(), QStringLiteral("EDITED1234"));
    QTest::mouseClick(view.discardButton(), Qt::LeftButton);
    QCOMPARE(view.teamIdField()->text(), QStringLiteral("ZX12CV34BN"));
}

void TestSetupScreens::checkPrerequisitesUsesTheEditedPath()
{
    storeDefaults();
    QWidget window;
    auto *view = new SettingsView(&window);
    window.show();
    view->runnerPathEditor()->field()->setText(QStringLiteral("/edited/maestro-runner"));
    QTest::mouseClick(view->checkButton(), Qt::LeftButton);
    EnvironmentCheckView *sheet = view->environmentCheck();
    QVERIFY(sheet);
    QVERIFY(sheet->isVisible());
    QCOMPARE(sheet->viewModel()->maestroPath(), QStringLiteral("/edited/maestro-runner"));
    QTRY_VERIFY(!sheet->viewModel()->isRunning());
    QCOMPARE(sheet->viewModel()->checks().at(0).status, CheckStatus::failed(QStringLiteral("Not found or not executable")));
    QCOMPARE(sheet->row(0)->statusLabel()->text(), QStringLiteral("Not found or not executable"));
    QVERIFY(sheet->row(0)->commandBox()->isVisibleTo(sheet));
    QCOMPARE(store().maestroRunnerPath(), m_dir->filePath(QStringLiteral("runner")));
    QTest::mouseClick(sheet->closeButton(), Qt::LeftButton);
    QTRY_VERIFY(!view->environmentCheck());
}

void TestSetupScreens::clearingTheCache()
{
    storeDefaults();
    const QString cache = m_dir->filePath(QStringLiteral("wda-builds"));
    for (const char *entry : { "device-ios-17.5", "device-ios-18.6", "device-ios-a", "keep" })
        QVERIFY(QDir().mkpath(cache + u'/' + QLatin1String(entry)));
    QWidget window;
    auto *view = new SettingsView(&window);
    view->setCacheFolder(cache);
    window.show();
    QTRY_COMPARE(view->clearCacheButton()->text(), QStringLiteral("Clear All (3)"));
    QVERIFY(view->clearCacheButton()->isEnabled());
    QTest::mouseClick(view->clearCacheButton(), Qt::LeftButton);
    auto *confirmation = window.findChild<QMessageBox *>(QStringLiteral("clearCacheConfirmation"));
    QVERIFY(confirmation);
    QVERIFY(confirmation->text().contains(QLatin1String("clear 3 cached WebDriverAgent build(s)?")));
    const QList<QAbstractButton *> buttons = confirmation->buttons();
    const auto clear = std::find_if(buttons.begin(), buttons.end(), [](QAbstractButton *b) { return b->text() == u"Clear"; });
    QVERIFY(clear != buttons.end());
    QTest::mouseClick(*clear, Qt::LeftButton);
    QTRY_COMPARE(view->clearCacheButton()->text(), QStringLiteral("Clear All (0)"));
    QVERIFY(!view->clearCacheButton()->isEnabled());
    QCOMPARE(view->toast()->text(), QStringLiteral("WDA cache cleared."));
    QCOMPARE(QDir(cache).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList { QStringLiteral("keep") });
}

void TestSetupScreens::autoDetectFillsThePath()
{
    MaestroPathConfigView editor;
    editor.setDetector([] { return std::optional<QString>(QStringLiteral("~/.maestro/bin/maestro")); });
    editor.show();
    QTest::mouseClick(editor.detectButton(), Qt::LeftButton);
    QTRY_COMPARE(editor.path(), QStringLiteral("~/.maestro/bin/maestro"));
    QCOMPARE(editor.statusLabel()->text(), QStringLiteral("Found!"));
    QVERIFY(!editor.isDetecting());
    editor.setDetector([] { return std::optional<QString>(); });
    QTest::mouseClick(editor.detectButton(), Qt::LeftButton);
    QTRY_COMPARE(editor.statusLabel()->text(), QStringLiteral("Not found"));
    QCOMPARE(editor.path(), QStringLiteral("~/.maestro/bin/maestro"));
}

void TestSetupScreens::onboardingWiring_data()
{
    QTest::addColumn<QString>("clicks"); // n Next, b Back
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("visible"); // B back, N next, C complete
    QTest::addColumn<int>("checkPasses"); // times the prerequisites were checked
    QTest::newRow("welcome") << "" << 0 << "N" << 0;
    QTest::newRow("final setup") << "nn" << 2 << "BC" << 1;
    QTest::newRow("back to prerequisites checks again") << "nnb" << 1 << "BN" << 2;
}

void TestSetupScreens::onboardingWiring()
{
    QFETCH(QString, clicks);
    QFETCH(int, step);
    QFETCH(QString, visible);
    QFETCH(int, checkPasses);
    OnboardingView sheet;
    sheet.show();
    int passes = 0;
    connect(sheet.checkViewModel(), &EnvironmentCheckViewModel::checkChanged, this, [&](int index) {
        if (index == 0 && sheet.checkViewModel()->checks().at(0).status == CheckStatus::loading())
            ++passes;
    });
    for (const QChar click : clicks) {
        QTest::mouseClick(click == u'n' ? sheet.nextButton() : sheet.backButton(), Qt::LeftButton);
        QTRY_VERIFY(!sheet.checkViewModel()->isRunning());
    }
    QCOMPARE(int(sheet.currentStep()), step);
    const QString shown = QLatin1String(sheet.backButton()->isVisible() ? "B" : "")
        + QLatin1String(sheet.nextButton()->isVisible() ? "N" : "")
        + QLatin1String(sheet.completeButton()->isVisible() ? "C" : "");
    QCOMPARE(shown, visible);
    QCOMPARE(passes, checkPasses);
}

void TestSetupScreens::onboardingEnds_data()
{
    QTest::addColumn<bool>("complete"); // Complete Setup, else Quit (after Escape and a close)
    QTest::newRow("Complete Setup stores the trimmed values and closes") << true;
    QTest::newRow("only Quit leaves it, with nothing stored") << false;
}

void TestSetupScreens::onboardingEnds()
{
    QFETCH(bool, complete);
    QWidget window;
    window.show();
    auto *sheet = new OnboardingView(&window);
    QSignalSpy completed(sheet, &OnboardingView::setupCompleted);
    QSignalSpy quit(sheet, &OnboardingView::quitRequested);
    sheet->open();
    QVERIFY(QTest::qWaitForWindowExposed(sheet));
    QTest::mouseClick(sheet->nextButton(), Qt::LeftButton);
    QTest::mouseClick(sheet->nextButton(), Qt::LeftButton);
    QVERIFY(!sheet->completeButton()->isEnabled());
    // A bad Team ID spells out its reason under the field.
    QTest::keyClicks(sheet->teamIdField(), QStringLiteral("K7Q"));
    const QString reason = QStringLiteral("Team ID must be 10 alphanumeric characters (e.g., ABCD1234EF)");
    const QList<QLabel *> labels = sheet->findChildren<QLabel *>();
    QVERIFY(std::any_of(labels.begin(), labels.end(), [&](QLabel *l) { return l->text() == reason && l->isVisibleTo(sheet); }));
    QTest::keyClicks(sheet->teamIdField(), QStringLiteral("X2M9R4T "));
    QTest::keyClicks(sheet->outputField(), QStringLiteral(" ~/Reports "));
    QVERIFY(sheet->completeButton()->isEnabled());
    const SettingsStore settings = store();
    if (complete) {
        QTest::mouseClick(sheet->completeButton(), Qt::LeftButton);
        QCOMPARE(completed.count(), 1);
        QVERIFY(!sheet->isVisible());
        QVERIFY(settings.hasCompletedSetup());
        QCOMPARE(settings.appleTeamId(), QStringLiteral("K7QX2M9R4T"));
        QCOMPARE(settings.reportsOutputDirectory(), QStringLiteral("~/Reports"));
        QCOMPARE(settings.maestroRunnerPath(), QStringLiteral("~/.maestro-runner/bin/maestro-runner"));
        return;
    }
    QTest::keyClick(sheet, Qt::Key_Escape);
    QVERIFY(!sheet->close());
    QVERIFY(sheet->isVisible());
    QTest::mouseClick(sheet->quitButton(), Qt::LeftButton);
    QCOMPARE(quit.count(), 1);
    QVERIFY(!settings.contains(SettingsStore::kAppleTeamId));
    QVERIFY(!settings.contains(SettingsStore::kHasCompletedSetup));
}

void TestSetupScreens::firstLaunchShowsOnboardingUntilComplete()
{
    MainWindow window;
    window.resize(800, 500);
    window.show();
    window.tabs()->setCurrentIndex(MainWindow::SettingsTab);
    window.presentOnboardingIfNeeded();
    OnboardingView *sheet = window.onboarding();
    QVERIFY(sheet);
    QVERIFY(sheet->isVisible());
    // The smallest window still holds the whole sheet.
    QVERIFY2(sheet->height() <= window.height(), qPrintable(QString::number(sheet->height())));
    sheet->outputField()->setText(m_dir->filePath(QStringLiteral("reports")));
    sheet->teamIdField()->setText(QStringLiteral("K7QX2M9R4T"));
    sheet->completeSetup();
    QVERIFY(!window.onboarding());
    QCOMPARE(window.tabs()->currentIndex(), int(MainWindow::WorkspaceTab));

    MainWindow again;
    again.show();
    again.presentOnboardingIfNeeded();
    QVERIFY(!again.onboarding());
}

QTEST_MAIN(TestSetupScreens)
#include "tst_setupscreens.moc"
