#include "mainwindow.h"

#include "settings/logging.h"

#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QString::fromLatin1(kestrune::kProductName));
    setMinimumSize(800, 500);

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_tabs = new QTabWidget(central);
    m_tabs->addTab(new QWidget(m_tabs), tr("Workspace"));
    m_tabs->addTab(new QWidget(m_tabs), tr("History"));
    m_tabs->addTab(new QWidget(m_tabs), tr("Settings"));
    layout->addWidget(m_tabs, 1);

    auto *footer = new QLabel(QStringLiteral("%1 %2").arg(QString::fromLatin1(kestrune::kProductName), kestrune::appVersion()), central);
    footer->setObjectName(QStringLiteral("footer"));
    layout->addWidget(footer);

    setCentralWidget(central);
    resize(1200, 760);
}

MainWindow::~MainWindow() = default;
