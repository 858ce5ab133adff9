#include "devicemirrorview.h"

#include "mirror/capturesession.h"
#include "mirror/devicemirrorviewmodel.h"
#include "mirrorswitch.h"
#include "phoneframeview.h"
#include "runner/runnerviewmodel.h"
#include "settings/settingsstore.h"
#include "symbolicons.h"

#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QShowEvent>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

constexpr int kInset = 6; // between the panel's outline and the splitter
constexpr double kRadius = 8;
const QColor kGreen(0x34, 0xc7, 0x59);
const QColor kOrange(0xff, 0x95, 0x00);

enum Page { MessagePage, LivePage };

// The window text at reduced strength: the platform's secondary label colour.
QColor secondary(const QPalette &palette, double alpha = 0.62)
{
    QColor colour = palette.color(QPalette::WindowText);
    colour.setAlphaF(float(alpha));
    return colour;
}

void setTextColour(QLabel *label, const QColor &colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

QPixmap dot(const QColor &colour, qreal dpr)
{
    QPixmap pixmap(QSize(8, 8) * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QRectF(0, 0, 8, 8));
    return pixmap;
}

// Our own drawing of `symbol` in one colour (the design colours each body
// icon, which a theme's coloured icons cannot follow).
QPixmap tinted(const QString &symbol, const QColor &colour, int size, qreal dpr)
{
    const SymbolIcons::Entry *entry = SymbolIcons::find(symbol);
    if (!entry)
        return {};
    SymbolIcons::icon(symbol); // registers the resources
    QPixmap pixmap = QIcon(QString::fromLatin1(entry->resource)).pixmap(QSize(size, size), dpr);
    QPainter p(&pixmap);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(pixmap.rect(), colour);
    return pixmap;
}

} // namespace

DeviceMirrorView::DeviceMirrorView(RunnerViewModel *runner, CaptureBackend *backend, QWidget *parent)
    : QFrame(parent)
    , m_runner(runner)
    , m_settings(std::make_unique<SettingsStore>())
    , m_mirror(std::make_unique<DeviceMirrorViewModel>(backend))
{
    setObjectName(QStringLiteral("mirrorPanel"));
    setAccessibleName(tr("Device Mirroring"));
    m_isMirroringEnabled = m_settings->isMirroringEnabled();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(kInset + 1, kInset + 1, kInset + 1, kInset + 1);
    layout->setSpacing(0);

    auto *header = new QWidget(this);
    header->setObjectName(QStringLiteral("mirrorHeader"));
    auto *headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(12, 8, 12, 8);
    headerLayout->setSpacing(8);
    m_title = new QLabel(header);
    m_title->setObjectName(QStringLiteral("mirrorTitle"));
    QFont headline = m_title->font();
    headline.setWeight(QFont::DemiBold);
    m_title->setFont(headline);
    m_title->setMinimumWidth(40);
    m_title->setTextFormat(Qt::PlainText);
    // The title takes the room the header leaves and elides the name.
    m_title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_title->installEventFilter(this);
    headerLayout->addWidget(m_title, 1);
    m_switch = new MirrorSwitch(header);
    m_switch->setObjectName(QStringLiteral("mirrorSwitch"));
    m_switch->setAccessibleName(tr("Mirroring via USB"));
    headerLayout->addWidget(m_switch);
    m_dot = new QLabel(header);
    m_dot->setObjectName(QStringLiteral("mirrorStatusDot"));
    m_dot->setFixedSize(8, 8);
    headerLayout->addWidget(m_dot);
    layout->addWidget(header);

    m_body = new QStackedWidget(this);
    m_body->setObjectName(QStringLiteral("mirrorBody"));
    auto *message = new QWidget(m_body);
    auto *messageLayout = new QVBoxLayout(message);
    messageLayout->setContentsMargins(16, 16, 16, 16);
    messageLayout->setSpacing(12);
    messageLayout->addStretch(1);
    m_icon = new QLabel(message);
    m_icon->setAlignment(Qt::AlignCenter);
    messageLayout->addWidget(m_icon);
    m_bodyTitle = new QLabel(message);
    m_bodyTitle->setObjectName(QStringLiteral("mirrorBodyTitle"));
    m_bodyTitle->setAlignment(Qt::AlignCenter);
    m_bodyTitle->setWordWrap(true);
    QFont subheadline = m_bodyTitle->font();
    subheadline.setWeight(QFont::DemiBold);
    m_bodyTitle->setFont(subheadline);
    messageLayout->addWidget(m_bodyTitle);
    m_bodyMessage = new QLabel(message);
    m_bodyMessage->setObjectName(QStringLiteral("mirrorBodyMessage"));
    m_bodyMessage->setAlignment(Qt::AlignCenter);
    m_bodyMessage->setWordWrap(true);
    m_bodyMessage->setTextFormat(Qt::PlainText);
    QFont caption = m_bodyMessage->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.9);
    m_bodyMessage->setFont(caption);
    messageLayout->addWidget(m_bodyMessage);
    messageLayout->addStretch(1);
    m_body->addWidget(message);
    m_phone = new PhoneFrameView(m_body);
    m_phone->setObjectName(QStringLiteral("phoneFrame"));
    m_phone->setAccessibleName(tr("Device Screen"));
    m_body->addWidget(m_phone);
    layout->addWidget(m_body, 1);

    connect(m_switch, &QAbstractButton::clicked, this, &DeviceMirrorView::setMirroringEnabled);
    connect(m_runner, &RunnerViewModel::selectedDeviceIdChanged, this, [this] {
        const MirrorTriggers::Action action = MirrorTriggers::onDeviceChanged(selection());
        // A hidden panel starts nothing; it starts when it is shown.
        if (action == MirrorTriggers::Action::Stop || isVisible())
            apply(action);
        refresh();
    });
    for (auto signal : { &RunnerViewModel::selectedDeviceChanged, &RunnerViewModel::isRunningChanged })
        connect(m_runner, signal, this, &DeviceMirrorView::refresh);
    for (auto signal : { &DeviceMirrorViewModel::isConnectedChanged, &DeviceMirrorViewModel::permissionErrorChanged })
        connect(m_mirror.get(), signal, this, &DeviceMirrorView::refresh);
    connect(m_mirror.get(), &DeviceMirrorViewModel::sessionChanged, this, [this] {
        bindSession();
        refresh();
    });
    refresh();
}

DeviceMirrorView::~DeviceMirrorView()
{
    // The controller stops its capture as it goes; this half-destroyed view
    // must not hear about it.
    disconnect(m_mirror.get(), nullptr, this, nullptr);
    m_mirror.reset();
}

MirrorTriggers::Selection DeviceMirrorView::selection() const
{
    return { m_runner->selectedDeviceId(), m_runner->selectedDeviceIsSimulator(), m_isMirroringEnabled };
}

void DeviceMirrorView::apply(MirrorTriggers::Action action)
{
    switch (action) {
    case MirrorTriggers::Action::None:
        break;
    case MirrorTriggers::Action::Start:
        m_mirror->setTarget(m_runner->selectedDeviceId(), m_runner->selectedDeviceNameOrEmpty());
        m_mirror->requestAccessAndConnect();
        break;
    case MirrorTriggers::Action::Stop:
        m_mirror->stopMirroring();
        break;
    }
}

void DeviceMirrorView::setMirroringEnabled(bool enabled)
{
    if (enabled == m_isMirroringEnabled)
        return;
    m_isMirroringEnabled = enabled;
    m_settings->setIsMirroringEnabled(enabled);
    apply(MirrorTriggers::onMirroringEnabledChanged(selection()));
    refresh();
}

void DeviceMirrorView::showEvent(QShowEvent *event)
{
    QFrame::showEvent(event);
    if (event->spontaneous())
        return;
    // The settings screen may have changed the setting while it was hidden.
    m_isMirroringEnabled = m_settings->isMirroringEnabled();
    apply(MirrorTriggers::onShown(selection()));
    refresh();
}

void DeviceMirrorView::hideEvent(QHideEvent *event)
{
    QFrame::hideEvent(event);
    // Taken out of the window (the toolbar toggle, another tab): no capture
    // runs for a panel nobody sees.
    if (!event->spontaneous())
        m_mirror->stopMirroring();
}

void DeviceMirrorView::bindSession()
{
    const std::shared_ptr<CaptureSession> session = m_mirror->session();
    if (session == m_boundSession)
        return;
    if (m_boundSession)
        disconnect(m_boundSession.get(), nullptr, this, nullptr);
    m_boundSession = session;
    m_phone->setPicture(QImage());
    if (!session)
        return;
    auto showPicture = [this] {
        if (m_boundSession)
            m_phone->setPicture(m_boundSession->picture().value<QImage>());
    };
    connect(session.get(), &CaptureSession::pictureChanged, this, showPicture);
    showPicture();
}

void DeviceMirrorView::refresh()
{
    MirrorPanelState::Input input;
    input.selectedDeviceName = m_runner->selectedDeviceNameOrEmpty();
    input.isSimulator = m_runner->selectedDeviceIsSimulator();
    input.isRunning = m_runner->isRunning();
    input.isMirroringEnabled = m_isMirroringEnabled;
    input.isConnected = m_mirror->isConnected();
    input.hasSession = m_mirror->session() != nullptr;
    input.permissionError = m_mirror->permissionError();
    m_state = MirrorPanelState::compute(input);

    m_title->setToolTip(m_state.title);
    elideTitle();
    m_switch->setChecked(m_isMirroringEnabled);
    m_switch->setEnabled(m_state.switchEnabled);
    m_switch->setToolTip(m_state.switchToolTip);
    switch (m_state.dot) {
    case MirrorPanelState::Dot::None:
        m_dot->setPixmap(QPixmap());
        m_dot->setToolTip(QString());
        m_dot->setAccessibleName(QString());
        break;
    case MirrorPanelState::Dot::Green:
        m_dot->setPixmap(dot(kGreen, devicePixelRatioF()));
        m_dot->setToolTip(tr("Connected"));
        m_dot->setAccessibleName(tr("Connected"));
        break;
    case MirrorPanelState::Dot::Orange:
        m_dot->setPixmap(dot(kOrange, devicePixelRatioF()));
        m_dot->setToolTip(tr("Not connected"));
        m_dot->setAccessibleName(tr("Not connected"));
        break;
    }
    const bool live = m_state.body == MirrorPanelState::Body::Live;
    m_body->setCurrentIndex(live ? LivePage : MessagePage);
    if (!live) {
        m_bodyTitle->setText(MirrorPanelState::bodyTitle(m_state.body));
        m_bodyMessage->setText(MirrorPanelState::bodyMessage(m_state.body));
        paintIcon();
    }
    update();
}

void DeviceMirrorView::elideTitle()
{
    m_title->setText(m_title->fontMetrics().elidedText(m_state.title, Qt::ElideRight, m_title->width()));
}

bool DeviceMirrorView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_title && event->type() == QEvent::Resize)
        elideTitle();
    return QFrame::eventFilter(watched, event);
}

void DeviceMirrorView::paintIcon()
{
    const bool permission = m_state.body == MirrorPanelState::Body::PermissionRequired;
    const QColor iconColour = permission ? kOrange : secondary(palette());
    m_icon->setPixmap(tinted(MirrorPanelState::symbol(m_state.body), iconColour, 32, devicePixelRatioF()));
    setTextColour(m_title, secondary(palette()));
    setTextColour(m_bodyTitle, permission ? palette().color(QPalette::WindowText) : secondary(palette()));
    setTextColour(m_bodyMessage, secondary(palette()));
}

void DeviceMirrorView::changeEvent(QEvent *event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && m_icon)
        paintIcon();
}

void DeviceMirrorView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF outline = QRectF(rect()).adjusted(kInset + 0.5, kInset + 0.5, -kInset - 0.5, -kInset - 0.5);
    QPainterPath shape;
    shape.addRoundedRect(outline, kRadius, kRadius);
    p.save();
    p.setClipPath(shape);
    const QRect header = m_title->parentWidget()->geometry();
    p.fillRect(QRect(rect().left(), rect().top(), width(), header.bottom() + 1), palette().color(QPalette::Window));
    const bool live = m_body->currentIndex() == LivePage;
    p.fillRect(QRect(rect().left(), m_body->geometry().top(), width(), height()),
        live ? QColor(Qt::black) : palette().color(QPalette::Base));
    p.setPen(QPen(secondary(palette(), 0.2), 1));
    p.drawLine(QPointF(outline.left(), header.bottom() + 0.5), QPointF(outline.right(), header.bottom() + 0.5));
    p.restore();
    p.setPen(QPen(secondary(palette(), 0.2), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shape);
}
