#include "commandbox.h"

#include "setupstyle.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QToolButton>

CommandBox::CommandBox(QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    auto *label = new QLabel(tr("Install:"), this);
    SetupStyle::makeSecondary(label);
    layout->addWidget(label);

    auto *box = new QFrame(this);
    box->setObjectName(QStringLiteral("commandBox"));
    box->setFrameShape(QFrame::StyledPanel);
    box->setBackgroundRole(QPalette::Base);
    box->setAutoFillBackground(true);
    auto *boxLayout = new QHBoxLayout(box);
    boxLayout->setContentsMargins(8, 4, 4, 4);
    boxLayout->setSpacing(4);
    m_text = new QLabel(box);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(font().pointSizeF());
    m_text->setFont(mono);
    m_text->setTextFormat(Qt::PlainText);
    m_text->setForegroundRole(QPalette::Text);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_text->setWordWrap(true);
    boxLayout->addWidget(m_text, 1);

    m_copy = new QToolButton(box);
    m_copy->setAutoRaise(true);
    m_copy->setIcon(SetupStyle::icon("doc.on.doc"));
    m_copy->setToolTip(tr("Copy command"));
    m_copy->setAccessibleName(tr("Copy command"));
    boxLayout->addWidget(m_copy, 0, Qt::AlignVCenter);
    layout->addWidget(box, 1);

    m_copiedMark = new QTimer(this);
    m_copiedMark->setSingleShot(true);
    m_copiedMark->setInterval(1500);
    connect(m_copiedMark, &QTimer::timeout, this, [this] {
        m_copy->setIcon(SetupStyle::icon("doc.on.doc"));
        m_copy->setToolTip(tr("Copy command"));
    });
    connect(m_copy, &QToolButton::clicked, this, &CommandBox::copy);
}

void CommandBox::setCommand(const QString &command)
{
    m_text->setText(command);
    m_text->setAccessibleName(command);
}

QString CommandBox::command() const
{
    return m_text->text();
}

void CommandBox::copy()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(command());
    m_copy->setIcon(SetupStyle::icon("checkmark"));
    m_copy->setToolTip(tr("Copied"));
    m_copiedMark->start();
}
