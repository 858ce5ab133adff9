#pragma once

#include "runner/envvar.h"

#include <QList>
#include <QWidget>

class BusySpinner;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QStackedWidget;
class QToolButton;
class QVBoxLayout;
class RunnerViewModel;
class StretchablePicker;

// The run configuration at the top of the workspace screen: device and app
// lists with their refresh buttons, the variables of the chosen environment
// file, and the run, stop and report buttons. It keeps no state of its own:
// every change of the controller redraws it from RunConfigurationState, and
// every control writes a controller property or calls one of its slots.
// Main thread.
class ConfigHeaderView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConfigHeaderView)

public:
    explicit ConfigHeaderView(RunnerViewModel *runner, QWidget *parent = nullptr);

    StretchablePicker *devicePicker() const { return m_devicePicker; }
    StretchablePicker *appPicker() const { return m_appPicker; }
    QLineEdit *appField() const { return m_appField; }
    QToolButton *deviceRefreshButton() const { return m_deviceRefresh; }
    QToolButton *appRefreshButton() const { return m_appRefresh; }
    QPushButton *runButton() const { return m_runButton; }
    QPushButton *stopButton() const { return m_stopButton; }
    QPushButton *reportButton() const { return m_reportButton; }
    QLabel *progressCaption() const { return m_caption; }
    QFrame *variablesBox() const { return m_variablesBox; }
    QScrollArea *variablesList() const { return m_variablesScroll; }
    QList<QLineEdit *> variableFields() const { return m_variableFields; }

public Q_SLOTS:
    // Redraws everything from the controller.
    void refresh();

private:
    QToolButton *makeRefreshButton(const QString &tooltip, BusySpinner **spinner, QStackedWidget **stack);
    void refreshVariables();

    RunnerViewModel *m_runner;
    StretchablePicker *m_devicePicker = nullptr;
    QToolButton *m_deviceRefresh = nullptr;
    QStackedWidget *m_deviceRefreshStack = nullptr;
    BusySpinner *m_deviceSpinner = nullptr;
    QLabel *m_appLabel = nullptr;
    QStackedWidget *m_appStack = nullptr;
    StretchablePicker *m_appPicker = nullptr;
    QLineEdit *m_appField = nullptr;
    QToolButton *m_appRefresh = nullptr;
    QStackedWidget *m_appRefreshStack = nullptr;
    BusySpinner *m_appSpinner = nullptr;
    QWidget *m_variablesCell = nullptr;
    QWidget *m_variablesLabel = nullptr;
    QWidget *m_variablesButtonCell = nullptr;
    QFrame *m_variablesBox = nullptr;
    QLabel *m_variablesTitle = nullptr;
    QScrollArea *m_variablesScroll = nullptr;
    QList<QLineEdit *> m_variableFields;
    QList<QUuid> m_variableIds;
    QPushButton *m_runButton = nullptr;
    BusySpinner *m_runSpinner = nullptr;
    QLabel *m_caption = nullptr;
    QPushButton *m_stopButton = nullptr;
    QPushButton *m_reportButton = nullptr;
};
