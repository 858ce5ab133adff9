#include "historydelegate.h"

#include "reports/historytablemodel.h"
#include "statuscolours.h"
#include "symbolicons.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHash>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

namespace {

using HistoryCells::Action;
using HistoryCells::ColourRole;
using HistoryCells::Column;

constexpr int kIconSide = 16;
constexpr int kActionSlot = 22;
constexpr int kActionGap = 3;
constexpr int kTextPadding = 6;

QColor withAlpha(QColor colour, qreal alpha)
{
    colour.setAlphaF(colour.alphaF() * alpha);
    return colour;
}

QFont cellFont(const QFont &base, HistoryCells::Weight weight)
{
    QFont font = base;
    if (weight == HistoryCells::Weight::Medium)
        font.setWeight(QFont::Medium);
    else if (weight == HistoryCells::Weight::Bold)
        font.setWeight(QFont::Bold);
    return font;
}

QFont badgeFont(const QFont &base)
{
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * 10.0 / 12.0);
    font.setBold(true);
    return font;
}

QRect centredSquare(const QRect &area, int side)
{
    return QRect(area.center().x() - side / 2 + 1, area.center().y() - side / 2 + 1, side, side);
}

} // namespace

// Kept per symbol, colour and size.
QPixmap HistoryDelegate::tintedSymbol(const QString &symbol, const QColor &colour, int side, qreal ratio)
{
    static QHash<QString, QPixmap> cache;
    const QString key = symbol + QLatin1Char('|') + colour.name(QColor::HexArgb) + QLatin1Char('|') + QString::number(side)
        + QLatin1Char('|') + QString::number(ratio);
    const auto found = cache.constFind(key);
    if (found != cache.constEnd())
        return *found;
    const int pixels = qRound(side * ratio);
    QPixmap pixmap = SymbolIcons::ownIcon(symbol).pixmap(QSize(pixels, pixels));
    {
        QPainter painter(&pixmap);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(pixmap.rect(), colour);
    }
    pixmap.setDevicePixelRatio(ratio);
    if (cache.size() > 256)
        cache.clear();
    cache.insert(key, pixmap);
    return pixmap;
}

QColor HistoryDelegate::colour(ColourRole role, const QPalette &palette)
{
    const bool dark = StatusColours::isDark(palette);
    const QColor text = palette.color(QPalette::Text);
    switch (role) {
    case ColourRole::Text:
        return text;
    case ColourRole::Secondary:
        return withAlpha(text, 0.6);
    case ColourRole::Accent:
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
        return dark ? palette.color(QPalette::Accent).lighter(130) : palette.color(QPalette::Accent);
#else
        return dark ? palette.color(QPalette::Highlight).lighter(130) : palette.color(QPalette::Highlight);
#endif
    case ColourRole::Success:
        return StatusColours::color(StatusColours::Tone::Success, palette);
    case ColourRole::Failure:
        return StatusColours::color(StatusColours::Tone::Failure, palette);
    case ColourRole::Warning:
        return StatusColours::color(StatusColours::Tone::Warning, palette);
    case ColourRole::Faded:
        return withAlpha(text, 0.6 * 0.3);
    case ColourRole::Destructive:
        return withAlpha(colour(ColourRole::Failure, palette), 0.8);
    }
    return text;
}

QRect HistoryDelegate::actionRect(const QRect &cell, Action action)
{
    const int count = int(Action::Count);
    const int total = count * kActionSlot + (count - 1) * kActionGap;
    const int left = cell.left() + (cell.width() - total) / 2 + int(action) * (kActionSlot + kActionGap);
    return QRect(left, cell.top() + (cell.height() - kActionSlot) / 2, kActionSlot, kActionSlot);
}

Action HistoryDelegate::actionAt(const QRect &cell, const QPoint &pos)
{
    for (int action = 0; action < int(Action::Count); ++action) {
        if (actionRect(cell, Action(action)).contains(pos))
            return Action(action);
    }
    return Action::Count;
}

int HistoryDelegate::badgeWidth(const QString &text, const QFont &font)
{
    return QFontMetrics(badgeFont(font)).horizontalAdvance(text) + 2 * 6;
}

QSize HistoryDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(qMax(size.height(), 28));
    if (Column(index.column()) == Column::Env)
        size.setWidth(badgeWidth(index.data().toString(), option.font) + 8);
    return size;
}

void HistoryDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    // The row's background (selection, alternate rows) from the style.
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    background.icon = QIcon();
    background.state &= ~QStyle::State_HasFocus;
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &background, painter, widget);

    const bool selected = option.state & QStyle::State_Selected;
    const QColor onSelection = option.palette.color(
        option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive, QPalette::HighlightedText);
    const auto roleColour = [&](ColourRole role) {
        if (!selected)
            return colour(role, option.palette);
        // On the selection every mark takes the selection's text colour;
        // dimmed ones stay dimmed.
        if (role == ColourRole::Faded)
            return withAlpha(onSelection, 0.35);
        if (role == ColourRole::Secondary)
            return withAlpha(onSelection, 0.85);
        return onSelection;
    };
    const qreal ratio = painter->device()->devicePixelRatioF();
    const Column column = Column(index.column());
    const QRect cell = option.rect;

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    switch (column) {
    case Column::Status: {
        const QString symbol = index.data(HistoryTableModel::SymbolRole).toString();
        const QRect icon = centredSquare(cell, kIconSide);
        SymbolIcons::ownIcon(symbol).paint(painter, icon);
        break;
    }
    case Column::Env: {
        const QString text = index.data().toString();
        const QFont font = badgeFont(option.font);
        const QFontMetrics metrics(font);
        const int width = qMin(cell.width() - 4, metrics.horizontalAdvance(text) + 12);
        const int height = metrics.height() + 4;
        const QRect badge(cell.left() + (cell.width() - width) / 2, cell.top() + (cell.height() - height) / 2, width, height);
        const QColor accent = roleColour(ColourRole(index.data(HistoryTableModel::ColourRole).toInt()));
        QPainterPath path;
        path.addRoundedRect(QRectF(badge), 4, 4);
        painter->fillPath(path, withAlpha(accent, selected ? 0.25 : 0.15));
        painter->setFont(font);
        painter->setPen(accent);
        painter->drawText(
            badge.adjusted(6, 0, -6, 0), Qt::AlignCenter, metrics.elidedText(text, Qt::ElideRight, badge.width() - 12));
        break;
    }
    case Column::Actions: {
        const QVariantList colours = index.data(HistoryTableModel::ActionColoursRole).toList();
        for (int action = 0; action < int(Action::Count); ++action) {
            const Action which = Action(action);
            const ColourRole role = ColourRole(colours.value(action).toInt());
            const QRect slot = actionRect(cell, which);
            const bool pressed = m_pressed == index && m_pressedAction == which;
            if (pressed) {
                QPainterPath path;
                path.addRoundedRect(QRectF(slot), 4, 4);
                painter->fillPath(path, withAlpha(option.palette.color(QPalette::Text), 0.12));
            }
            painter->drawPixmap(centredSquare(slot, kIconSide),
                tintedSymbol(HistoryCells::actionSymbol(which), roleColour(role), kIconSide, ratio));
        }
        break;
    }
    default: {
        const QString text = index.data().toString();
        const QFont font = cellFont(option.font, HistoryCells::Weight(index.data(HistoryTableModel::WeightRole).toInt()));
        painter->setFont(font);
        painter->setPen(roleColour(ColourRole(index.data(HistoryTableModel::ColourRole).toInt())));
        const QRect area = cell.adjusted(kTextPadding, 0, -kTextPadding, 0);
        painter->drawText(
            area, Qt::AlignLeft | Qt::AlignVCenter, QFontMetrics(font).elidedText(text, Qt::ElideRight, area.width()));
        break;
    }
    }
    painter->restore();
}

bool HistoryDelegate::editorEvent(
    QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (Column(index.column()) != Column::Actions) {
        // A press on an action let go elsewhere clicks nothing.
        if (event->type() == QEvent::MouseButtonRelease)
            m_pressed = QPersistentModelIndex();
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }
    const auto *mouse = dynamic_cast<QMouseEvent *>(event);
    if (!mouse || mouse->button() != Qt::LeftButton)
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    const Action action = actionAt(option.rect, mouse->position().toPoint());
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (action == Action::Count)
            return false;
        // The press belongs to the button: the selection stays as it is.
        m_pressed = index;
        m_pressedAction = action;
        return true;
    case QEvent::MouseButtonDblClick:
        // Not the row's primary action.
        return action != Action::Count;
    case QEvent::MouseButtonRelease: {
        const bool clicked = m_pressed == index && m_pressedAction == action && action != Action::Count;
        m_pressed = QPersistentModelIndex();
        m_pressedAction = Action::Count;
        if (!clicked)
            return action != Action::Count;
        Q_EMIT actionTriggered(index, action);
        return true;
    }
    default:
        break;
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

bool HistoryDelegate::helpEvent(
    QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (event->type() == QEvent::ToolTip && index.isValid() && Column(index.column()) == Column::Actions) {
        const Action action = actionAt(option.rect, event->pos());
        if (action != Action::Count) {
            QToolTip::showText(event->globalPos(), HistoryCells::actionToolTip(action), view, option.rect);
            return true;
        }
        QToolTip::hideText();
        return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}
