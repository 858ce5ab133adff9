#include "reportresources.h"

#include "settings/logging.h"

#include <QFile>

#include <mutex>

static void initReportResources()
{
    // The resources live in a static library: register them explicitly.
    Q_INIT_RESOURCE(reports);
}

namespace {

QByteArray readResource(const char *name)
{
    static std::once_flag once;
    std::call_once(once, initReportResources);
    QFile file(QLatin1String(":/reports/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcReport, "Missing report resource %s", name);
        return QByteArray();
    }
    return file.readAll();
}

} // namespace

QString ReportResources::customReportHead()
{
    static const QString text = QString::fromUtf8(readResource("customreport-head.html"));
    return text;
}

QString ReportResources::customReportStyle()
{
    static const QString text = QString::fromUtf8(readResource("customreport-style.css"));
    return text;
}

QString ReportResources::customReportScript()
{
    static const QString text = QString::fromUtf8(readResource("customreport-script.js"));
    return text;
}

QString ReportResources::networkLogPanelTemplate()
{
    static const QString text = QString::fromUtf8(readResource("networklogpanel.html"));
    return text;
}

const QString &ReportResources::logoDataUri()
{
    static const QString uri
        = QStringLiteral("data:image/png;base64,") + QString::fromLatin1(readResource("logo.png").toBase64());
    return uri;
}
