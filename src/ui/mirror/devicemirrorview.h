#pragma once

#include "mirror/mirrorpanelstate.h"

#include <QFrame>

#include <memory>

class CaptureBackend;
class CaptureSession;
class DeviceMirrorViewModel;
class MirrorSwitch;
class PhoneFrameView;
class QLabel;
class QStackedWidget;
class RunnerViewModel;
class SettingsStore;

// The device mirroring panel at the right of the workspace screen: a header
// with the title, the mirroring switch (the isMirroringEnabled setting) and
// a status dot, and a body that shows the live screen in a phone frame or
// why there is none. It owns the mirror controller, which it starts and
// stops as the selected device, the setting and its own visibility change;
// what it shows comes from MirrorPanelState. Main thread.
class DeviceMirrorView final : public QFrame
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DeviceMirrorView)

public:
    // The backend must outlive the view.
    DeviceMirrorView(RunnerViewModel *runner, CaptureBackend *backend, QWidget *parent = nullptr);
    ~DeviceMirrorView() override;

    DeviceMirrorViewModel *viewModel() const { return m_mirror.get(); }
    MirrorPanelState state() const { return m_state; }
    QLabel *titleLabel() const { return m_title; }
    MirrorSwitch *mirroringSwitch() const { return m_switch; }
    QLabel *statusDot() const { return m_dot; }
    QLabel *bodyTitle() const { return m_bodyTitle; }
    QLabel *bodyMessage() const { return m_bodyMessage; }
    PhoneFrameView *phoneFrame() const { return m_phone; }

public Q_SLOTS:
    void refresh();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void apply(MirrorTriggers::Action action);
    MirrorTriggers::Selection selection() const;
    void setMirroringEnabled(bool enabled);
    void bindSession();
    void paintIcon();
    void elideTitle();

    RunnerViewModel *m_runner;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<DeviceMirrorViewModel> m_mirror;
    std::shared_ptr<CaptureSession> m_boundSession;
    bool m_isMirroringEnabled = true;
    MirrorPanelState m_state;

    QLabel *m_title = nullptr;
    MirrorSwitch *m_switch = nullptr;
    QLabel *m_dot = nullptr;
    QStackedWidget *m_body = nullptr;
    QLabel *m_icon = nullptr;
    QLabel *m_bodyTitle = nullptr;
    QLabel *m_bodyMessage = nullptr;
    PhoneFrameView *m_phone = nullptr;
};
