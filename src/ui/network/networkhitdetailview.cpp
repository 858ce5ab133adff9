#include "networkhitdetailview.h"

#include "networkcolors.h"
#include "networktrafficdelegate.h"
#include "networktrafficmodel.h"
#include "symbolicons.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>

using NetworkHitDisplay::ColorRole;
using NetworkHitDisplay::Side;

namespace {

QFrame *divider(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setForegroundRole(QPalette::Mid);
    return line;
}

QLabel *sectionLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 0.85);
    label->setFont(font);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QPlainTextEdit *textArea(const QString &name, QWidget *parent)
{
    auto *edit = new QPlainTextEdit(parent);
    edit->setReadOnly(true);
    edit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    edit->setFont(NetworkTrafficDelegate::monospace(edit->font()));
    edit->setAccessibleName(name);
    edit->setFrameShape(QFrame::NoFrame);
    edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    return edit;
}

} // namespace

NetworkHitDetailView::NetworkHitDetailView(const NetworkTrafficModel *model, const QString &hitId, QWidget *parent)
    : QDialog(parent)
    , m_model(model)
    , m_hitId(hitId)
{
    setObjectName(QStringLiteral("networkHitDetail"));
    setWindowTitle(tr("Exchange Details"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(500, 400);
    setMinimumSize(420, 300);

    m_header = new QWidget(this);
    m_header->setAutoFillBackground(true);
    m_header->setBackgroundRole(QPalette::Button);
    auto *headerLayout = new QHBoxLayout(m_header);
    headerLayout->setContentsMargins(12, 10, 12, 10);
    headerLayout->setSpacing(8);
    m_methodBadge = new QLabel(m_header);
    m_statusBadge = new QLabel(m_header);
    for (QLabel *badge : { m_methodBadge, m_statusBadge }) {
        QFont font = NetworkTrafficDelegate::monospace(badge->font());
        font.setBold(true);
        badge->setFont(font);
        badge->setTextInteractionFlags(Qt::TextSelectableByMouse);
        headerLayout->addWidget(badge);
    }
    m_methodBadge->setAccessibleName(tr("Method"));
    m_statusBadge->setAccessibleName(tr("Status"));
    headerLayout->addStretch();

    m_url = new QLineEdit(this);
    m_url->setReadOnly(true);
    m_url->setFrame(false);
    m_url->setFont(NetworkTrafficDelegate::monospace(m_url->font()));
    m_url->setAccessibleName(tr("URL"));
    m_url->setTextMargins(8, 6, 8, 6);

    auto *bar = new QWidget(this);
    auto *barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(12, 6, 8, 6);
    barLayout->setSpacing(0);
    m_tabs = new QButtonGroup(this);
    m_requestTab = new QPushButton(tr("Request"), bar);
    m_responseTab = new QPushButton(tr("Response"), bar);
    for (QPushButton *tab : { m_requestTab, m_responseTab }) {
        tab->setCheckable(true);
        tab->setAutoDefault(false);
        tab->setAccessibleName(tab->text());
        barLayout->addWidget(tab);
    }
    m_requestTab->setToolTip(tr("Request (Ctrl+1)"));
    m_responseTab->setToolTip(tr("Response (Ctrl+2)"));
    m_requestTab->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_1));
    m_responseTab->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_2));
    m_tabs->addButton(m_requestTab, int(Side::Request));
    m_tabs->addButton(m_responseTab, int(Side::Response));
    m_requestTab->setChecked(true);
    NetworkColors::boldWhenChecked(m_requestTab);
    NetworkColors::boldWhenChecked(m_responseTab);
    barLayout->addStretch();
    m_copyButton = new QToolButton(bar);
    m_copyButton->setAutoRaise(true);
    m_copyButton->setToolTip(tr("Copy Content"));
    m_copyButton->setAccessibleName(tr("Copy Content"));
    m_copyButton->setIcon(SymbolIcons::icon(u"doc.on.doc"));
    barLayout->addWidget(m_copyButton);

    auto *content = new QWidget(this);
    content->setAutoFillBackground(true);
    content->setBackgroundRole(QPalette::Base);
    auto *contentLayout = new QVBoxLayout(content);
    contentLayout->setContentsMargins(12, 10, 12, 10);
    contentLayout->setSpacing(4);
    contentLayout->addWidget(sectionLabel(tr("HEADERS"), content));
    m_headers = textArea(tr("Headers"), content);
    contentLayout->addWidget(m_headers);
    contentLayout->addSpacing(4);
    contentLayout->addWidget(divider(content));
    contentLayout->addSpacing(4);
    contentLayout->addWidget(sectionLabel(tr("BODY"), content));
    m_body = textArea(tr("Body"), content);
    m_body->setPlaceholderText(tr("No Body"));
    contentLayout->addWidget(m_body, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_header);
    layout->addWidget(divider(this));
    layout->addWidget(m_url);
    layout->addWidget(divider(this));
    layout->addWidget(bar);
    layout->addWidget(content, 1);

    m_copiedTimer = new QTimer(this);
    m_copiedTimer->setSingleShot(true);
    m_copiedTimer->setInterval(kCopiedMs);
    connect(m_copiedTimer, &QTimer::timeout, this, [this] { setCopied(false); });
    connect(m_copyButton, &QToolButton::clicked, this, &NetworkHitDetailView::copyContent);
    connect(m_tabs, &QButtonGroup::idClicked, this, [this](int id) { setSide(Side(id)); });

    if (m_model) {
        for (auto signal : { &QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved })
            connect(m_model, signal, this, &NetworkHitDetailView::refresh);
        connect(m_model, &QAbstractItemModel::dataChanged, this, &NetworkHitDetailView::refresh);
        connect(m_model, &QAbstractItemModel::modelReset, this, &NetworkHitDetailView::refresh);
    }
    refresh();
}

const QString &NetworkHitDetailView::rawBody() const
{
    return m_side == Side::Request ? m_hit.reqBody : m_hit.resBody;
}

const QString &NetworkHitDetailView::rawHeaders() const
{
    return m_side == Side::Request ? m_hit.reqHeaders : m_hit.resHeaders;
}

void NetworkHitDetailView::refresh()
{
    const NetworkHit *hit = m_model ? m_model->hit(m_hitId) : nullptr;
    if (!hit) {
        // The exchange left the list (a new run began): nothing to show.
        close();
        return;
    }
    if (*hit == m_hit && !m_hit.id.isEmpty())
        return;
    m_hit = *hit;
    m_methodBadge->setText(m_hit.reqMethod);
    m_statusBadge->setText(m_hit.resStatus);
    m_url->setText(m_hit.url);
    m_url->setCursorPosition(0);
    m_url->setToolTip(m_hit.url);
    applyBadgeStyles();
    showSide();
}

void NetworkHitDetailView::applyBadgeStyles()
{
    auto style = [](ColorRole role) {
        return QStringLiteral("QLabel { color: white; background: %1; border-radius: 4px; padding: 4px 8px; }")
            .arg(NetworkColors::badge(role).name());
    };
    m_methodBadge->setStyleSheet(style(ColorRole::Blue));
    m_statusBadge->setStyleSheet(style(NetworkHitDisplay::detailStatusColor(m_hit.resStatus)));
}

void NetworkHitDetailView::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && !m_hit.id.isEmpty())
        applyBadgeStyles();
}

void NetworkHitDetailView::setSide(Side side)
{
    m_tabs->button(int(side))->setChecked(true);
    if (side == m_side)
        return;
    m_side = side;
    showSide();
}

void NetworkHitDetailView::showSide()
{
    const quint64 generation = ++m_generation;
    m_prettyReady = false;
    m_prettyBody.clear();
    m_headers->setPlainText(NetworkHitDisplay::headersText(rawHeaders()));
    // As tall as its lines (wrapped ones scroll), at most a third of the window.
    const int lines = qMax(1, m_headers->document()->blockCount());
    const int wanted = lines * m_headers->fontMetrics().lineSpacing() + 2 * int(m_headers->document()->documentMargin()) + 4;
    m_headers->setFixedHeight(qMin(wanted, qMax(60, height() / 3)));
    const QString body = rawBody();
    if (body.size() <= kBackgroundFormatSize) {
        m_formatting = false;
        showBody(NetworkHitDisplay::prettyBody(body));
        return;
    }
    m_formatting = true;
    m_body->setPlainText(tr("Formatting %1 KB…").arg(body.size() / 1024));
    auto result = std::make_shared<QString>();
    QThread *worker = QThread::create([body, result] { *result = NetworkHitDisplay::prettyBody(body); });
    // The thread deletes itself; a closed detail just drops the result.
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    connect(worker, &QThread::finished, this, [this, generation, result] {
        if (generation != m_generation)
            return;
        m_formatting = false;
        showBody(*result);
    });
    worker->start(QThread::LowPriority);
}

void NetworkHitDetailView::showBody(const QString &text)
{
    m_prettyBody = text;
    m_prettyReady = true;
    // The text view lays out a few megabytes for seconds: a long body goes
    // in a piece per event-loop turn, the first screen at once.
    const qsizetype first = text.size() <= kBodyPieceSize ? text.size() : pieceEnd(text, 0);
    m_body->setPlainText(text.left(first));
    appendBodyFrom(first, m_generation);
}

qsizetype NetworkHitDetailView::pieceEnd(const QString &text, qsizetype from)
{
    if (text.size() - from <= kBodyPieceSize)
        return text.size();
    const qsizetype lineEnd = text.lastIndexOf(u'\n', from + kBodyPieceSize);
    return lineEnd > from ? lineEnd : from + kBodyPieceSize;
}

void NetworkHitDetailView::appendBodyFrom(qsizetype from, quint64 generation)
{
    if (generation != m_generation)
        return;
    if (from >= m_prettyBody.size()) {
        Q_EMIT bodyShown();
        return;
    }
    const qsizetype end = pieceEnd(m_prettyBody, from);
    QTextCursor cursor(m_body->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(m_prettyBody.mid(from, end - from));
    QTimer::singleShot(0, this, [this, end, generation] { appendBodyFrom(end, generation); });
}

QString NetworkHitDetailView::shownContent() const
{
    const QString body = m_prettyReady ? m_prettyBody : NetworkHitDisplay::prettyBody(rawBody());
    return NetworkHitDisplay::copyContent(rawHeaders(), body);
}

void NetworkHitDetailView::copyContent()
{
    QClipboard *clipboard = QApplication::clipboard();
    clipboard->clear();
    clipboard->setText(shownContent());
    setCopied(true);
    m_copiedTimer->start();
}

void NetworkHitDetailView::setCopied(bool copied)
{
    m_copied = copied;
    if (!copied) {
        m_copyButton->setIcon(SymbolIcons::icon(u"doc.on.doc"));
        return;
    }
    // Our own green mark: a theme's would be drawn in the text colour.
    SymbolIcons::icon(u"checkmark");
    m_copyButton->setIcon(QIcon(QString::fromLatin1(SymbolIcons::find(u"checkmark")->resource)));
}
