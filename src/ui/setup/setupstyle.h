#pragma once

#include "setup/environmentcheckitem.h"
#include "setup/fieldindicator.h"

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPalette>
#include <QPixmap>

class QLabel;
class QLineEdit;
class QWidget;

// Colours, fonts and status symbols shared by the setup screens. Colours
// follow the widget's palette, with lighter tones on dark windows so status
// texts keep their contrast. Main thread.
namespace SetupStyle {

enum class Tone { Success, Failure, Warning, Info, Neutral };

QColor color(Tone tone, const QPalette &palette);

// A filled status circle (check, cross, exclamation) or the dashed circle
// of a check not run yet, `size` points wide, sharp on high-density screens.
QPixmap statusPixmap(Tone tone, int size, qreal devicePixelRatio);
Tone toneOf(FieldIndicator::Kind kind);
Tone toneOf(const CheckStatus &status, bool isAdvisory);

// One of the setup screens' own images (":/setup/<name>.svg").
QIcon icon(const char *name);
// The image drawn `height` points high, its width following its shape.
QPixmap image(const char *name, int height, qreal devicePixelRatio);

// Text in the secondary colour; caption makes it smaller too.
void makeSecondary(QLabel *label, bool caption = false);
void setTextTone(QLabel *label, Tone tone);
// A headline (1.15×, semibold) or title (`scale`×, bold) font.
void makeTitle(QLabel *label, qreal scale, QFont::Weight weight = QFont::Bold);

// A window-modal folder chooser that starts at `field`'s folder ("~"
// allowed) and writes the chosen folder into it.
void chooseOutputFolder(QLineEdit *field);

} // namespace SetupStyle
