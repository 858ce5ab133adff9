#include "runner/runconfigurationstate.h"

#include <QTest>

using Input = RunConfigurationState::Input;
Q_DECLARE_METATYPE(RunConfigurationState::Input)

namespace {

DeviceInfo device(const char *id, const char *name)
{
    return DeviceInfo { QString::fromLatin1(id), QString::fromLatin1(name), false };
}

// Everything a run needs is set; rows take one piece away.
Input ready()
{
    Input input;
    input.devices = { device("UDID-1", "iPhone 15"), device("UDID-2", "iPad") };
    input.selectedDeviceId = QStringLiteral("UDID-1");
    input.apps = { QStringLiteral("com.bank.app.uat"), QStringLiteral("com.bank.app.sit") };
    input.selectedAppId = QStringLiteral("com.bank.app.uat");
    input.hasWorkspace = true;
    input.selectedFlowRelativePath = QStringLiteral("flows/login.yaml");
    return input;
}

} // namespace

class TestRunConfigurationState : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void runButton_data();
    void runButton();
    void appRow_data();
    void appRow();
    void deviceRow_data();
    void deviceRow();
    void variables_data();
    void variables();
    void pickerIndex_data();
    void pickerIndex();
};

void TestRunConfigurationState::runButton_data()
{
    QTest::addColumn<Input>("input");
    QTest::addColumn<bool>("showsRunButton");
    QTest::addColumn<bool>("runEnabled");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("stopLabel");
    QTest::addColumn<bool>("showsReport");

    QTest::newRow("all set") << ready() << true << true << QString() << QString() << false;
    Input input = ready();
    input.hasWorkspace = false;
    QTest::newRow("no workspace") << input << true << false << QString() << QString() << false;
    input = ready();
    input.selectedFlowRelativePath.clear();
    QTest::newRow("no flow") << input << true << false << QString() << QString() << false;
    input = ready();
    input.selectedDeviceId.clear();
    QTest::newRow("no device") << input << true << false << QString() << QString() << false;
    input = ready();
    input.selectedAppId.clear();
    QTest::newRow("no app") << input << true << false << QString() << QString() << false;
    input = Input();
    QTest::newRow("nothing set") << input << true << false << QString() << QString() << false;
    input = ready();
    input.isRunning = true;
    QTest::newRow("test running") << input << false << true << QStringLiteral("Running...")
                                  << QStringLiteral("Stop Test") << false;
    input.runMode = RunMode::Hierarchy;
    QTest::newRow("hierarchy fetch") << input << false << true << QStringLiteral("Fetching Hierarchy...")
                                     << QStringLiteral("Stop Fetching") << false;
    input = Input();
    input.isRunning = true;
    input.runMode = RunMode::Hierarchy;
    QTest::newRow("fetch without a flow") << input << false << false << QStringLiteral("Fetching Hierarchy...")
                                          << QStringLiteral("Stop Fetching") << false;
    input = ready();
    input.showReportButton = true;
    QTest::newRow("idle with report") << input << true << true << QString() << QString() << true;
    input.isRunning = true;
    QTest::newRow("running with report") << input << false << true << QStringLiteral("Running...")
                                         << QStringLiteral("Stop Test") << true;
}

void TestRunConfigurationState::runButton()
{
    QFETCH(Input, input);
    const RunConfigurationState state = RunConfigurationState::compute(input);
    QTEST(state.showsRunButton, "showsRunButton");
    QTEST(state.runEnabled, "runEnabled");
    QTEST(state.progressCaption, "caption");
    QTEST(state.stopLabel, "stopLabel");
    QTEST(state.showsReportButton, "showsReport");
}

void TestRunConfigurationState::appRow_data()
{
    QTest::addColumn<Input>("input");
    QTest::addColumn<bool>("rowEnabled");
    QTest::addColumn<bool>("refreshEnabled");
    QTest::addColumn<bool>("refreshBusy");
    QTest::addColumn<bool>("showsField");
    QTest::addColumn<QStringList>("titles");

    const QStringList listed { QStringLiteral("com.bank.app.uat"), QStringLiteral("com.bank.app.sit") };
    const QStringList none { QStringLiteral("No items found") };
    QTest::newRow("device chosen, apps listed") << ready() << true << true << false << false << listed;
    Input input = ready();
    input.apps.clear();
    QTest::newRow("no apps: free field") << input << true << true << false << true << none;
    input = ready();
    input.devices.clear();
    QTest::newRow("no devices, stale selection") << input << false << false << false << false << listed;
    input = ready();
    input.selectedDeviceId.clear();
    QTest::newRow("devices, none chosen") << input << false << false << false << false << listed;
    input = ready();
    input.isRefreshingApps = true;
    QTest::newRow("refreshing apps") << input << true << false << true << false << listed;
    input.selectedDeviceId.clear();
    QTest::newRow("refreshing without a device") << input << false << false << true << false << listed;
}

void TestRunConfigurationState::appRow()
{
    QFETCH(Input, input);
    const RunConfigurationState state = RunConfigurationState::compute(input);
    QTEST(state.appRowEnabled, "rowEnabled");
    QTEST(state.appRefreshEnabled, "refreshEnabled");
    QTEST(state.appRefreshBusy, "refreshBusy");
    QTEST(state.showsAppField, "showsField");
    QTEST(RunConfigurationState::pickerTitles(state.appOptions), "titles");
    for (const PickerOption &option : state.appOptions)
        QCOMPARE(option.id, option.title);
}

void TestRunConfigurationState::deviceRow_data()
{
    QTest::addColumn<Input>("input");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<bool>("pickerEnabled");
    QTest::addColumn<bool>("refreshEnabled");
    QTest::addColumn<bool>("refreshBusy");

    QTest::newRow("two devices") << ready()
                                 << QStringList { QStringLiteral("iPhone 15 (UDID-1)"), QStringLiteral("iPad (UDID-2)") }
                                 << true << true << false;
    Input input;
    QTest::newRow("no devices") << input << QStringList { QStringLiteral("No items found") } << false << true << false;
    input.isRefreshingDevices = true;
    QTest::newRow("refreshing, none yet") << input << QStringList { QStringLiteral("No items found") } << false << false
                                          << true;
    input = ready();
    input.devices = { device("00008110-001A", "Rina's iPhone (2)") };
    input.isRefreshingDevices = true;
    QTest::newRow("name with parentheses, refreshing")
        << input << QStringList { QStringLiteral("Rina's iPhone (2) (00008110-001A)") } << true << false << true;
}

void TestRunConfigurationState::deviceRow()
{
    QFETCH(Input, input);
    const RunConfigurationState state = RunConfigurationState::compute(input);
    QTEST(RunConfigurationState::pickerTitles(state.deviceOptions), "titles");
    QTEST(state.devicePickerEnabled, "pickerEnabled");
    QTEST(state.deviceRefreshEnabled, "refreshEnabled");
    QTEST(state.deviceRefreshBusy, "refreshBusy");
    for (qsizetype i = 0; i < state.deviceOptions.size(); ++i)
        QCOMPARE(state.deviceOptions.at(i).id, input.devices.at(i).id);
}

void TestRunConfigurationState::variables_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<int>("height");

    QTest::newRow("none: no row") << 0 << false << 0;
    QTest::newRow("one") << 1 << true << 56;
    QTest::newRow("six") << 6 << true << 216;
    QTest::newRow("seven reaches the cap") << 7 << true << 248;
    QTest::newRow("eight is capped") << 8 << true << 250;
    QTest::newRow("hundreds are capped") << 400 << true << 250;
}

void TestRunConfigurationState::variables()
{
    QFETCH(int, count);
    Input input = ready();
    input.envVarCount = count;
    const RunConfigurationState state = RunConfigurationState::compute(input);
    QTEST(state.showsVariables, "shown");
    QTEST(state.variablesListHeight, "height");
}

void TestRunConfigurationState::pickerIndex_data()
{
    QTest::addColumn<QString>("selection");
    QTest::addColumn<int>("index");

    QTest::newRow("first") << QStringLiteral("UDID-1") << 0;
    QTest::newRow("second") << QStringLiteral("UDID-2") << 1;
    QTest::newRow("not listed keeps the row") << QStringLiteral("UDID-9") << -1;
    QTest::newRow("empty selection") << QString() << -1;
    QTest::newRow("a title is not an id") << QStringLiteral("iPad (UDID-2)") << -1;
}

void TestRunConfigurationState::pickerIndex()
{
    QFETCH(QString, selection);
    const RunConfigurationState state = RunConfigurationState::compute(ready());
    QTEST(RunConfigurationState::pickerIndex(state.deviceOptions, selection), "index");
}

QTEST_GUILESS_MAIN(TestRunConfigurationState)
#include "tst_runconfigurationstate.moc"
