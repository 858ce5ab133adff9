#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class BusySpinner;
class QLabel;
class QLineEdit;
class QTimer;
class QToolButton;
class ValidationIndicator;

// The runner path editor of the settings screen and onboarding: the path
// field with its indicator, auto-detect (login shell, then the usual
// install locations; "Found!" or "Not found" for two seconds), a file
// chooser, and the caption. The embedding form owns the value and labels the
// row with labelText(). Main thread; detection runs on a worker.
class MaestroPathConfigView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MaestroPathConfigView)

public:
    using Detector = std::function<std::optional<QString>()>;

    static QString labelText();

    explicit MaestroPathConfigView(QWidget *parent = nullptr);

    QString path() const;
    void setPath(const QString &path);
    // Replaces the real detection (tests).
    void setDetector(Detector detector) { m_detector = std::move(detector); }

    QLineEdit *field() const { return m_field; }
    QToolButton *detectButton() const { return m_detect; }
    QToolButton *browseButton() const { return m_browse; }
    QLabel *statusLabel() const { return m_status; }
    ValidationIndicator *indicator() const { return m_indicator; }
    bool isDetecting() const { return m_isDetecting; }

public Q_SLOTS:
    void autoDetect();
    void browse();

Q_SIGNALS:
    void pathChanged(const QString &path);

private:
    void finishDetection(const std::optional<QString> &found);

    Detector m_detector;
    QLineEdit *m_field = nullptr;
    ValidationIndicator *m_indicator = nullptr;
    QToolButton *m_detect = nullptr;
    BusySpinner *m_spinner = nullptr;
    QToolButton *m_browse = nullptr;
    QLabel *m_status = nullptr;
    QTimer *m_statusTimer = nullptr;
    bool m_isDetecting = false;
};
