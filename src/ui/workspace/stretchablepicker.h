#pragma once

#include "runner/runconfigurationstate.h"

#include <QComboBox>

// A drop-down list that takes whatever width it is given and shows
// "No items found", disabled, when it has nothing to offer. Setting the same
// titles again keeps its items (no reset, so an open pop-up and the
// keyboard position survive the controller's frequent updates); a selection
// that is not among the options leaves the shown entry as it was. Emits
// selectionChosen with the chosen option's id when the user picks an entry.
class StretchablePicker final : public QComboBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StretchablePicker)

public:
    explicit StretchablePicker(QWidget *parent = nullptr);

    // `enabled` is the surrounding state; a picker without options is
    // disabled whatever it says.
    void showOptions(const PickerOptions &options, const QString &selection, bool enabled);
    const PickerOptions &options() const { return m_options; }
    // How many times the items were rebuilt (a cheap check for views).
    int rebuildCount() const { return m_rebuilds; }

Q_SIGNALS:
    void selectionChosen(const QString &id);

private:
    void onActivated(int index);

    PickerOptions m_options;
    int m_rebuilds = 0;
};
