#include "setupstyle.h"

#include "settings/settingsstore.h"
#include "statuscolours.h"

#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>

static void initSetupResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(setup);
        return true;
    }();
    Q_UNUSED(done);
}

namespace SetupStyle {

QColor color(Tone tone, const QPalette &palette)
{
    switch (tone) {
    case Tone::Success:
        return StatusColours::color(StatusColours::Tone::Success, palette);
    case Tone::Failure:
        return StatusColours::color(StatusColours::Tone::Failure, palette);
    case Tone::Warning:
        return StatusColours::color(StatusColours::Tone::Warning, palette);
    case Tone::Info:
        return StatusColours::color(StatusColours::Tone::Info, palette);
    case Tone::Neutral:
        break;
    }
    QColor secondary = palette.color(QPalette::WindowText);
    secondary.setAlphaF(0.6);
    return secondary;
}

QPixmap statusPixmap(Tone tone, int size, qreal devicePixelRatio)
{
    QPixmap pixmap(QSize(size, size) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    if (tone == Tone::Neutral || tone == Tone::Info) {
        QPen pen(QColor(0x8e, 0x8e, 0x93), 1.4, Qt::CustomDashLine, Qt::RoundCap);
        pen.setDashPattern({ 1.6, 1.8 });
        p.setPen(pen);
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        return pixmap;
    }
    const QColor fill = tone == Tone::Success ? QColor(0x34, 0xc7, 0x59)
        : tone == Tone::Failure               ? QColor(0xff, 0x3b, 0x30)
                                              : QColor(0xff, 0xb3, 0x00);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    QPen mark(Qt::white, 1.9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(mark);
    p.setBrush(Qt::NoBrush);
    if (tone == Tone::Success) {
        p.drawPolyline(QPolygonF({ QPointF(4.6, 8.3), QPointF(7, 10.7), QPointF(11.5, 5.6) }));
    } else if (tone == Tone::Failure) {
        p.drawLine(QPointF(5.3, 5.3), QPointF(10.7, 10.7));
        p.drawLine(QPointF(10.7, 5.3), QPointF(5.3, 10.7));
    } else {
        p.drawLine(QPointF(8, 4.2), QPointF(8, 9));
        p.setBrush(Qt::white);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(8, 11.8), 1.1, 1.1);
    }
    return pixmap;
}

Tone toneOf(FieldIndicator::Kind kind)
{
    switch (kind) {
    case FieldIndicator::Kind::Valid:
        return Tone::Success;
    case FieldIndicator::Kind::Warning:
        return Tone::Warning;
    case FieldIndicator::Kind::Invalid:
        break;
    }
    return Tone::Failure;
}

Tone toneOf(const CheckStatus &status, bool isAdvisory)
{
    switch (status.kind) {
    case CheckStatus::Kind::Success:
        return Tone::Success;
    case CheckStatus::Kind::Failed:
        return isAdvisory ? Tone::Warning : Tone::Failure;
    case CheckStatus::Kind::Loading:
        return Tone::Info;
    case CheckStatus::Kind::Pending:
        break;
    }
    return Tone::Neutral;
}

QIcon icon(const char *name)
{
    initSetupResources();
    return QIcon(QStringLiteral(":/setup/%1.svg").arg(QString::fromLatin1(name)));
}

QPixmap image(const char *name, int height, qreal devicePixelRatio)
{
    initSetupResources();
    QSvgRenderer renderer(QStringLiteral(":/setup/%1.svg").arg(QString::fromLatin1(name)));
    const QSize base = renderer.defaultSize();
    const QSize size(base.height() > 0 ? base.width() * height / base.height() : height, height);
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    renderer.render(&p, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}

void makeSecondary(QLabel *label, bool caption)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color(Tone::Neutral, label->palette()));
    label->setPalette(palette);
    if (caption) {
        QFont font = label->font();
        font.setPointSizeF(font.pointSizeF() * 0.88);
        label->setFont(font);
    }
}

void setTextTone(QLabel *label, Tone tone)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color(tone, label->parentWidget() ? label->parentWidget()->palette() : palette));
    label->setPalette(palette);
}

void makeTitle(QLabel *label, qreal scale, QFont::Weight weight)
{
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    font.setWeight(weight);
    label->setFont(font);
}

void chooseOutputFolder(QLineEdit *field)
{
    auto *dialog = new QFileDialog(field->window(), QFileDialog::tr("Choose the output folder"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    if (!field->text().isEmpty())
        dialog->setDirectory(SettingsStore::expandTilde(field->text()));
    QObject::connect(dialog, &QFileDialog::fileSelected, field, [field](const QString &folder) {
        if (!folder.isEmpty())
            field->setText(folder);
    });
    dialog->open();
}

} // namespace SetupStyle
