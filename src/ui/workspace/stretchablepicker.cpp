#include "stretchablepicker.h"

StretchablePicker::StretchablePicker(QWidget *parent)
    : QComboBox(parent)
{
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(8);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(this, &QComboBox::activated, this, &StretchablePicker::onActivated);
}

void StretchablePicker::showOptions(const PickerOptions &options, const QString &selection, bool enabled)
{
    m_options = options;
    const QStringList titles = RunConfigurationState::pickerTitles(options);
    QStringList shown;
    shown.reserve(count());
    for (int i = 0; i < count(); ++i)
        shown.append(itemText(i));
    if (shown != titles) {
        const QSignalBlocker blocker(this);
        clear();
        addItems(titles);
        ++m_rebuilds;
    }
    if (options.isEmpty()) {
        const QSignalBlocker blocker(this);
        setCurrentIndex(0);
        setEnabled(false);
        return;
    }
    setEnabled(enabled);
    const int index = RunConfigurationState::pickerIndex(options, selection);
    if (index >= 0 && index != currentIndex()) {
        const QSignalBlocker blocker(this);
        setCurrentIndex(index);
    }
}

void StretchablePicker::onActivated(int index)
{
    if (index >= 0 && index < m_options.size())
        Q_EMIT selectionChosen(m_options.at(index).id);
}
