#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class RunnerViewModel;

// The read-only viewer for one workspace file, shown as a window-modal sheet
// over the main window: a header with the file's name, path and line count
// and "Close" (also on Escape), then the text with line numbers in a dark
// code area, coloured line by line. Main thread.
class YamlViewerDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(YamlViewerDialog)

public:
    YamlViewerDialog(const QString &filePath, QWidget *parent);

    const QString &code() const { return m_code; }
    QPlainTextEdit *codeView() const { return m_codeView; }
    QLabel *lineCountBadge() const { return m_badge; }

private:
    QString m_code;
    QPlainTextEdit *m_codeView = nullptr;
    QLabel *m_badge = nullptr;
};

// Opens the viewer on `window` whenever the controller's preview item names
// a file, and clears the item when the viewer closes.
void bindYamlViewer(RunnerViewModel *runner, QWidget *window);
