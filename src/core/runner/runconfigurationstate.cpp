#include "runconfigurationstate.h"

#include "runnerviewmodel.h"


#include <algorithm>

RunConfigurationState RunConfigurationState::compute(const Input &input)
{
    RunConfigurationState state;
    for (const DeviceInfo &device : input.devices)
        state.deviceOptions.append(PickerOption { device.id, deviceTitle(device) });
    state.devicePickerEnabled = !state.deviceOptions.isEmpty();
    state.deviceRefreshBusy = input.isRefreshingDevices;
    state.deviceRefreshEnabled = !input.isRefreshingDevices;

    state.appRowEnabled = !input.devices.isEmpty() && !input.selectedDeviceId.isEmpty();
    state.showsAppField = input.apps.isEmpty();
    for (const QString &app : input.apps)
        state.appOptions.append(PickerOption { app, app });
    state.appRefreshBusy = input.isRefreshingApps;
    state.appRefreshEnabled = state.appRowEnabled && !input.isRefreshingApps;

    state.showsVariables = input.envVarCount > 0;
    state.variablesListHeight = state.showsVariables ? variablesHeight(input.envVarCount) : 0;

    state.showsRunButton = !input.isRunning;
    state.runEnabled = input.hasWorkspace && !input.selectedFlowRelativePath.isEmpty()
        && !input.selectedDeviceId.isEmpty() && !input.selectedAppId.isEmpty();
    if (input.isRunning) {
        const bool hierarchy = input.runMode == RunMode::Hierarchy;
        state.progressCaption = hierarchy ? QStringLiteral("Fetching Hierarchy...") : QStringLiteral("Running...");
        state.stopLabel = hierarchy ? QStringLiteral("Stop Fetching") : QStringLiteral("Stop Test");
    }
    state.showsReportButton = input.showReportButton;
    return state;
}

RunConfigurationState::Input RunConfigurationState::inputOf(const RunnerViewModel &viewModel)
{
    Input input;
    input.devices = viewModel.devices();
    input.selectedDeviceId = viewModel.selectedDeviceId();
    input.isRefreshingDevices = viewModel.isRefreshingDevices();
    input.apps = viewModel.apps();
    input.selectedAppId = viewModel.selectedAppId();
    input.isRefreshingApps = viewModel.isRefreshingApps();
    input.envVarCount = viewModel.customEnvVars().size();
    input.hasWorkspace = !viewModel.workspaceURL().isEmpty();
    input.selectedFlowRelativePath = viewModel.selectedFlowRelativePath();
    input.isRunning = viewModel.isRunning();
    input.runMode = viewModel.runMode();
    input.showReportButton = viewModel.showReportButton();
    return input;
}

QString RunConfigurationState::deviceTitle(const DeviceInfo &device)
{
    return device.name + QStringLiteral(" (") + device.id + u')';
}

QStringList RunConfigurationState::pickerTitles(const PickerOptions &options)
{
    if (options.isEmpty())
        return { QStringLiteral("No items found") };
    QStringList titles;
    titles.reserve(options.size());
    for (const PickerOption &option : options)
        titles.append(option.title);
    return titles;
}

int RunConfigurationState::pickerIndex(const PickerOptions &options, const QString &selection)
{
    for (qsizetype i = 0; i < options.size(); ++i) {
        if (options.at(i).id == selection)
            return int(i);
    }
    return -1;
}

int RunConfigurationState::variablesHeight(qsizetype count)
{
    return int(std::min<qsizetype>(count * 32 + 24, 250));
}
