#include "yamlviewerdialog.h"

#include "runner/runnerviewmodel.h"
#include "symbolicons.h"
#include "workspace/filecontentloader.h"
#include "workspace/yamlhighlight.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QVBoxLayout>

#include <array>

namespace {

QFont codeFont(QFont::Weight weight = QFont::Normal)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(12);
    font.setWeight(weight);
    return font;
}

QColor roleColour(YamlHighlight::Role role)
{
    switch (role) {
    case YamlHighlight::Role::Plain:
        return QColor::fromRgbF(0.88f, 0.9f, 0.92f);
    case YamlHighlight::Role::Comment:
        return QColor::fromRgbF(0.45f, 0.62f, 0.45f);
    case YamlHighlight::Role::Key:
        return QColor::fromRgbF(0.38f, 0.72f, 0.98f);
    case YamlHighlight::Role::ListDash:
        return QColor::fromRgbF(0.85f, 0.45f, 0.95f);
    case YamlHighlight::Role::QuotedString:
        return QColor::fromRgbF(0.58f, 0.86f, 0.52f);
    case YamlHighlight::Role::Variable:
        return QColor::fromRgbF(0.98f, 0.72f, 0.32f);
    case YamlHighlight::Role::BooleanOrNumber:
        return QColor::fromRgbF(0.95f, 0.5f, 0.4f);
    case YamlHighlight::Role::Separator:
        return QColor(255, 45, 85); // the platform's pink
    }
    return {};
}

const QColor kCodeBackground = QColor::fromRgbF(0.11f, 0.12f, 0.14f);

// Colours each block from highlightLine; Qt highlights only the blocks it
// lays out, so long files open at once.
class YamlSyntaxHighlighter final : public QSyntaxHighlighter
{
public:
    using QSyntaxHighlighter::QSyntaxHighlighter;

protected:
    void highlightBlock(const QString &text) override
    {
        for (const YamlHighlight::Span &span : YamlHighlight::highlightLine(text)) {
            QTextCharFormat format;
            format.setForeground(roleColour(span.role));
            if (span.weight == YamlHighlight::Weight::Medium)
                format.setFontWeight(QFont::Medium);
            else if (span.weight == YamlHighlight::Weight::Bold)
                format.setFontWeight(QFont::Bold);
            setFormat(int(span.start), int(span.length), format);
        }
    }
};

// The code area: the text with its line-number gutter on the left.
class CodeView final : public QPlainTextEdit
{
public:
    explicit CodeView(QWidget *parent)
        : QPlainTextEdit(parent)
        , m_gutter(new Gutter(this))
    {
        setReadOnly(true);
        setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        setUndoRedoEnabled(false);
        setLineWrapMode(QPlainTextEdit::NoWrap);
        setFrameShape(QFrame::NoFrame);
        setFont(codeFont());
        QPalette colours = palette();
        colours.setColor(QPalette::Base, kCodeBackground);
        colours.setColor(QPalette::Text, roleColour(YamlHighlight::Role::Plain));
        setPalette(colours);
        document()->setDocumentMargin(12);
        connect(this, &QPlainTextEdit::blockCountChanged, this, [this] { updateMargins(); });
        connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect &rect, int dy) {
            if (dy != 0)
                m_gutter->scroll(0, dy);
            else
                m_gutter->update(0, rect.y(), m_gutter->width(), rect.height());
        });
        updateMargins();
    }

    int gutterWidth() const
    {
        const int digits = QString::number(qMax(1, blockCount())).size();
        return 10 + fontMetrics().horizontalAdvance(u'9') * qMax(2, digits) + 10 + 1;
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QPlainTextEdit::resizeEvent(event);
        const QRect area = contentsRect();
        m_gutter->setGeometry(area.left(), area.top(), gutterWidth(), area.height());
    }

private:
    class Gutter final : public QWidget
    {
    public:
        explicit Gutter(CodeView *view)
            : QWidget(view)
            , m_view(view)
        {
        }

    protected:
        void paintEvent(QPaintEvent *event) override
        {
            QPainter painter(this);
            painter.fillRect(event->rect(), kCodeBackground);
            painter.fillRect(event->rect(), QColor(0, 0, 0, 89)); // black at 35 %
            painter.fillRect(QRect(width() - 1, 0, 1, height()), QColor(128, 128, 128, 64));
            painter.setFont(m_view->font());
            painter.setPen(QColor(128, 128, 128, 128));
            QTextBlock block = m_view->firstVisibleBlock();
            const QPointF offset = m_view->contentOffset();
            const int lineHeight = m_view->fontMetrics().height();
            while (block.isValid()) {
                const QRectF box = m_view->blockBoundingGeometry(block).translated(offset);
                if (box.top() > event->rect().bottom())
                    break;
                if (block.isVisible() && box.bottom() >= event->rect().top()) {
                    const QRect numberBox(0, int(box.top()), width() - 11, lineHeight);
                    painter.drawText(numberBox, Qt::AlignRight | Qt::AlignTop, QString::number(block.blockNumber() + 1));
                }
                block = block.next();
            }
        }

    private:
        CodeView *m_view;
    };

    void updateMargins() { setViewportMargins(gutterWidth(), 0, 0, 0); }

    Gutter *m_gutter;
};

} // namespace

YamlViewerDialog::YamlViewerDialog(const QString &filePath, QWidget *parent)
    : QDialog(parent)
    , m_code(FileContentLoader::loadContent(filePath))
{
    setObjectName(QStringLiteral("yamlViewer"));
    const QString fileName = QFileInfo(filePath).fileName();
    setWindowTitle(fileName);
    setAccessibleName(fileName);
    setMinimumSize(700, 520);
    // As large as it likes, but inside a small window where it can be.
    QSize size(860, 640);
    if (parent && parent->window())
        size = size.boundedTo(parent->window()->size() - QSize(40, 40));
    resize(size.expandedTo(minimumSize()));

    auto *header = new QWidget(this);
    auto *headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(16, 10, 16, 10);
    headerLayout->setSpacing(12);
    auto *icon = new QLabel(header);
    const bool envFile = fileName.endsWith(QLatin1String(".env"));
    const QIcon symbol = SymbolIcons::icon(envFile ? u"gearshape" : u"doc.text");
    icon->setPixmap(symbol.pixmap(14, 14));
    headerLayout->addWidget(icon);

    auto *names = new QVBoxLayout;
    names->setSpacing(2);
    auto *nameLabel = new QLabel(fileName, header);
    QFont nameFont = nameLabel->font();
    nameFont.setPointSize(13);
    nameFont.setWeight(QFont::DemiBold);
    nameLabel->setFont(nameFont);
    names->addWidget(nameLabel);
    auto *pathLabel = new QLabel(header);
    QFont pathFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    pathFont.setPointSize(10);
    pathLabel->setFont(pathFont);
    pathLabel->setForegroundRole(QPalette::PlaceholderText);
    pathLabel->setToolTip(filePath);
    pathLabel->setText(QFontMetrics(pathFont).elidedText(filePath, Qt::ElideMiddle, 460));
    names->addWidget(pathLabel);
    headerLayout->addLayout(names, 1);

    const QStringList lines = YamlHighlight::splitLines(m_code);
    m_badge = new QLabel(QLocale().toString(lines.size()) + tr(" lines"), header);
    m_badge->setObjectName(QStringLiteral("lineCountBadge"));
    m_badge->setFont(codeFont(QFont::Medium));
    {
        QFont badgeFont = codeFont(QFont::Medium);
        badgeFont.setPointSize(11);
        m_badge->setFont(badgeFont);
    }
    m_badge->setForegroundRole(QPalette::PlaceholderText);
    m_badge->setContentsMargins(8, 3, 8, 3);
    m_badge->setStyleSheet(QStringLiteral("QLabel#lineCountBadge { background: rgba(128,128,128,31); border-radius: 5px; }"));
    headerLayout->addWidget(m_badge);

    auto *close = new QPushButton(tr("Close"), header);
    close->setAccessibleName(tr("Close"));
    close->setAutoDefault(false);
    close->setToolTip(tr("Close (Esc)"));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    headerLayout->addWidget(close);

    auto *rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);

    auto *view = new CodeView(this);
    m_codeView = view;
    view->setAccessibleName(fileName);
    new YamlSyntaxHighlighter(view->document());
    // The cut lines joined again: a lone carriage return stays in its line.
    view->setPlainText(lines.join(u'\n'));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(header);
    layout->addWidget(rule);
    layout->addWidget(view, 1);
}

void bindYamlViewer(RunnerViewModel *runner, QWidget *window)
{
    auto current = std::make_shared<QPointer<YamlViewerDialog>>();
    QObject::connect(runner, &RunnerViewModel::previewURLItemChanged, window, [runner, window, current] {
        const IdentifiableUrl item = runner->previewURLItem();
        if (item.isNull())
            return;
        if (*current) {
            // A new pick replaces the sheet that is open.
            (*current)->disconnect(runner);
            (*current)->close();
        }
        auto *dialog = new YamlViewerDialog(item.url.toLocalFile(), window);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        *current = dialog;
        const QUuid id = item.id;
        QObject::connect(dialog, &QDialog::finished, runner, [runner, id] {
            // Only the sheet of the current item clears it.
            if (runner->previewURLItem().id == id)
                runner->setPreviewURLItem({});
        });
        dialog->open();
    });
}
