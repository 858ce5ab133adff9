#include "runner/runconfigurationstate.h"

#include <QTest>

#include <functional>

using Input = RunConfigurationState::Input;
Q_DECLARE_METATYPE(RunConfigurationState::Input)

namespace {

DeviceInfo device(const char *id, const char *name)
{
    return DeviceInfo { QString::fromLatin1(id), QString::fromLatin1(name), false };
}

// Everything a run needs is set; rows change one piece.
Input ready(const std::function<void(Input &)> &change = {})
{
    Input input;
    input.devices = { device("UDID-1", "iPhone 15"), device("UDID-2", "iPad") };
    input.selectedDeviceId = QStringLiteral("UDID-1");
    input.apps = { QStringLiteral("com.bank.app.uat"), QStringLiteral("com.bank.app.sit") };
    input.selectedAppId = QStringLiteral("com.bank.app.uat");
    input.hasWorkspace = true;
    input.selectedFlowRelativePath = QStringLiteral("flows/login.yaml");
    if (change)
        change(input);
    return input;
}

// One row of the header in words: what is shown, which controls are
// enabled ("-" when not), and the picker's titles.
QString describe(const RunConfigurationState &state, const QString &row)
{
    const auto flag = [](bool on, const char *name) { return QString(QLatin1String(on ? " " : " -") + QLatin1String(name)); };
    if (row == u"run") {
        const QString shown = state.showsRunButton ? QStringLiteral("run") : state.progressCaption + " / " + state.stopLabel;
        return shown + flag(state.runEnabled, "enabled") + (state.showsReportButton ? QStringLiteral(" report") : QString());
    }
    if (row == u"app") {
        return flag(state.appRowEnabled, "row").mid(1) + flag(state.appRefreshEnabled, "refresh")
            + (state.appRefreshBusy ? " busy" : "") + (state.showsAppField ? " field" : "") + ": "
            + RunConfigurationState::pickerTitles(state.appOptions).join(QStringLiteral(", "));
    }
    if (row == u"device") {
        return flag(state.devicePickerEnabled, "picker").mid(1) + flag(state.deviceRefreshEnabled, "refresh")
            + (state.deviceRefreshBusy ? " busy" : "") + ": "
            + RunConfigurationState::pickerTitles(state.deviceOptions).join(QStringLiteral(", "));
    }
    return state.showsVariables ? QString::number(state.variablesListHeight) : QStringLiteral("hidden");
}

} // namespace

class TestRunConfigurationState : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void header_data();
    void header();
};

void TestRunConfigurationState::header_data()
{
    QTest::addColumn<Input>("input");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("expected");

    QTest::newRow("run: all set") << ready() << "run" << QStringLiteral("run enabled");
    QTest::newRow("run: no workspace") << ready([](Input &i) { i.hasWorkspace = false; }) << "run"
                                       << QStringLiteral("run -enabled");
    QTest::newRow("run: no flow") << ready([](Input &i) { i.selectedFlowRelativePath.clear(); }) << "run"
                                  << QStringLiteral("run -enabled");
    QTest::newRow("run: no device") << ready([](Input &i) { i.selectedDeviceId.clear(); }) << "run"
                                    << QStringLiteral("run -enabled");
    QTest::newRow("run: no app") << ready([](Input &i) { i.selectedAppId.clear(); }) << "run" << QStringLiteral("run -enabled");
    Input fetch;
    fetch.isRunning = true;
    fetch.runMode = RunMode::Hierarchy;
    QTest::newRow("run: fetch without a flow")
        << fetch << "run" << QStringLiteral("Fetching Hierarchy... / Stop Fetching -enabled");
    Input running = ready();
    running.isRunning = true;
    QTest::newRow("run: test running") << running << "run" << QStringLiteral("Running... / Stop Test enabled");
    running.showReportButton = true;
    QTest::newRow("run: running with report") << running << "run" << QStringLiteral("Running... / Stop Test enabled report");

    const QString listed = QStringLiteral(": com.bank.app.uat, com.bank.app.sit");
    QTest::newRow("app: device chosen, apps listed") << ready() << "app"
                                                     << "row refresh" + listed;
    QTest::newRow("app: no apps, free field")
        << ready([](Input &i) { i.apps.clear(); }) << "app" << QStringLiteral("row refresh field: No items found");
    QTest::newRow("app: no devices, stale selection") << ready([](Input &i) { i.devices.clear(); }) << "app"
                                                      << "-row -refresh" + listed;
    Input busy = ready();
    busy.isRefreshingApps = true;
    QTest::newRow("app: refreshing") << busy << "app"
                                     << "row -refresh busy" + listed;
    busy.selectedDeviceId.clear();
    QTest::newRow("app: refreshing without a device") << busy << "app"
                                                      << "-row -refresh busy" + listed;

    QTest::newRow("device: two devices") << ready() << "device"
                                         << QStringLiteral("picker refresh: iPhone 15 (UDID-1), iPad (UDID-2)");
    QTest::newRow("device: none") << Input() << "device" << QStringLiteral("-picker refresh: No items found");
    Input refreshing;
    refreshing.isRefreshingDevices = true;
    QTest::newRow("device: refreshing, none yet")
        << refreshing << "device" << QStringLiteral("-picker -refresh busy: No items found");
    refreshing.devices = { device("00008110-001A", "Rina's iPhone (2)") };
    QTest::newRow("device: name with parentheses, refreshing")
        << refreshing << "device" << QStringLiteral("picker -refresh busy: Rina's iPhone (2) (00008110-001A)");

    for (const auto &[count, height] : { std::pair { 0, "hidden" }, { 1, "56" }, { 7, "248" }, { 8, "250" }, { 400, "250" } })
        QTest::addRow("variables: %d", count)
            << ready([n = count](Input &i) { i.envVarCount = n; }) << "variables" << QString::fromLatin1(height);
}

void TestRunConfigurationState::header()
{
    QFETCH(Input, input);
    QFETCH(QString, row);
    QTEST(describe(RunConfigurationState::compute(input), row), "expected");
}

QTEST_GUILESS_MAIN(TestRunConfigurationState)
#include "tst_runconfigurationstate.moc"
