#pragma once

#include "devices/deviceinfo.h"
#include "runmode.h"

#include <QList>
#include <QString>
#include <QStringList>

class RunnerViewModel;

// One entry of a drop-down list: the value written back when it is chosen,
// and the text shown.
struct PickerOption
{
    QString id;
    QString title;

    bool operator==(const PickerOption &) const = default;
};

using PickerOptions = QList<PickerOption>;

// What the run configuration header shows, derived from the controller's
// state: which lists and fields are enabled, which buttons are present and
// what they say. A plain value with no state of its own; the header
// recomputes it whenever the controller publishes a change. Any thread.
struct RunConfigurationState
{
    // The controller's properties the header reads.
    struct Input
    {
        DeviceList devices;
        QString selectedDeviceId;
        bool isRefreshingDevices = false;
        QStringList apps;
        QString selectedAppId;
        bool isRefreshingApps = false;
        qsizetype envVarCount = 0;
        bool hasWorkspace = false;
        QString selectedFlowRelativePath;
        bool isRunning = false;
        RunMode runMode = RunMode::Test;
        bool showReportButton = false;
    };

    PickerOptions deviceOptions;
    bool devicePickerEnabled = false;
    bool deviceRefreshEnabled = true;
    bool deviceRefreshBusy = false;

    // The app row (list or field, and its refresh button) needs a device.
    bool appRowEnabled = false;
    // No apps listed: a free bundle-identifier field instead of the list.
    bool showsAppField = true;
    PickerOptions appOptions;
    bool appRefreshEnabled = false;
    bool appRefreshBusy = false;

    bool showsVariables = false;
    int variablesListHeight = 0;

    // Idle: the run button; running: the caption and the stop button.
    bool showsRunButton = true;
    bool runEnabled = false;
    QString progressCaption;
    QString stopLabel;
    bool showsReportButton = false;

    static RunConfigurationState compute(const Input &input);
    static Input inputOf(const RunnerViewModel &viewModel);

    // "name (UDID)".
    static QString deviceTitle(const DeviceInfo &device);
    // The titles a list shows: its options' titles, or the one entry
    // "No items found" when it has none.
    static QStringList pickerTitles(const PickerOptions &options);
    // The row of the first option whose id is `selection`; -1 when none is,
    // in which case the list keeps showing what it showed.
    static int pickerIndex(const PickerOptions &options, const QString &selection);
    // The variables list grows 32 points per variable plus 24, up to 250.
    static int variablesHeight(qsizetype count);
};
