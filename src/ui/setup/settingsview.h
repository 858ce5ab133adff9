#pragma once

#include "environmentcheckview.h"
#include "setup/settingsform.h"

#include <QPointer>
#include <QWidget>

class MaestroPathConfigView;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QToolButton;
class ValidationIndicator;

// The Settings tab: the output folder, the runner path and the Apple Team
// ID, validated as typed and written only by "Save Settings" (trimmed);
// "Check Prerequisites" opens the environment check on the edited values;
// the WebDriverAgent cache can be counted and cleared. The stored values are
// copied into the fields once per lifetime of the view. Main thread; the
// cache count runs on a worker.
class SettingsView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SettingsView)

public:
    explicit SettingsView(QWidget *parent = nullptr);

    // The cache folder to count and clear (tests; the runner's by default).
    void setCacheFolder(const QString &folder) { m_cacheFolder = folder; }

    SettingsForm edited() const;
    int wdaCacheCount() const { return m_wdaCacheCount; }
    bool isCalculatingCache() const { return m_isCalculatingCache; }

    QLineEdit *outputField() const { return m_output; }
    QToolButton *outputBrowseButton() const { return m_outputBrowse; }
    ValidationIndicator *outputIndicator() const { return m_outputIndicator; }
    MaestroPathConfigView *runnerPathEditor() const { return m_runner; }
    QLineEdit *teamIdField() const { return m_team; }
    ValidationIndicator *teamIdIndicator() const { return m_teamIndicator; }
    QPushButton *checkButton() const { return m_check; }
    QPushButton *clearCacheButton() const { return m_clearCache; }
    QPushButton *discardButton() const { return m_discard; }
    QPushButton *saveButton() const { return m_save; }
    QLabel *toast() const { return m_toast; }
    EnvironmentCheckView *environmentCheck() const { return m_environmentCheck; }

public Q_SLOTS:
    void save();
    void discardChanges();
    void checkPrerequisites();
    void recountCache();
    void confirmClearCache();
    void clearCache();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void load(const SettingsForm &values);
    void updateButtons();
    void showToast(const QString &text);
    void browseOutput();

    SettingsForm m_stored;
    bool m_hasLoadedInitialState = false;
    QString m_cacheFolder;
    int m_wdaCacheCount = 0;
    bool m_isCalculatingCache = false;

    QLineEdit *m_output = nullptr;
    QToolButton *m_outputBrowse = nullptr;
    ValidationIndicator *m_outputIndicator = nullptr;
    MaestroPathConfigView *m_runner = nullptr;
    QLineEdit *m_team = nullptr;
    ValidationIndicator *m_teamIndicator = nullptr;
    QPushButton *m_check = nullptr;
    QPushButton *m_clearCache = nullptr;
    QPushButton *m_discard = nullptr;
    QPushButton *m_save = nullptr;
    QLabel *m_toast = nullptr;
    QTimer *m_toastTimer = nullptr;
    QPointer<EnvironmentCheckView> m_environmentCheck;
};
