#include "reportbranding.h"

#include "reportconfiguration.h"
#include "reportresources.h"

#include <QRegularExpression>

namespace {

struct Replacement
{
    QString find;
    QString replaceWith;
};

const QList<Replacement> &replacements()
{
    static const QList<Replacement> list = {
        { QStringLiteral("--accent: #06b6d4;"), QStringLiteral("--accent: #005a9c;") },
        { QStringLiteral("--running: #06b6d4;"), QStringLiteral("--running: #005a9c;") },
        { QStringLiteral("<span class=\"brand-name\">maestro-runner</span>"),
            QStringLiteral("<span class=\"brand-name\">") + QLatin1String(ReportConfiguration::kReportBrandName)
                + QStringLiteral("</span>") },
        { QStringLiteral("<span class=\"brand-by\">by <a href=\"") + QLatin1String(ReportConfiguration::kRunnerMakerAddress)
                + QStringLiteral("\" target=\"_blank\" class=\"brand-link\">DeviceLab</a></span>"),
            QStringLiteral("<span class=\"brand-by\">by <strong class=\"brand-link\" style=\"color:#005a9c;\">")
                + QLatin1String(ReportConfiguration::kReportBrandMaker) + QStringLiteral("</strong></span>") },
    };
    return list;
}

const QRegularExpression &repositoryLink()
{
    static const QRegularExpression pattern(QStringLiteral("<a href=\"")
            + QRegularExpression::escape(QLatin1String(ReportConfiguration::kRunnerRepositoryAddress))
            + QStringLiteral("\"[^>]*>.*?</a>"),
        QRegularExpression::DotMatchesEverythingOption);
    return pattern;
}

const QRegularExpression &runnerLogo()
{
    static const QRegularExpression pattern(
        QStringLiteral("<img src=\"data:image/[^\"]+\" alt=\"DeviceLab\" style=\"width:32px;height:32px;\" />"));
    return pattern;
}

} // namespace

bool ReportBranding::apply(QString &html)
{
    const QString before = html;
    for (const Replacement &replacement : replacements())
        html.replace(replacement.find, replacement.replaceWith);
    if (repositoryLink().isValid())
        html.remove(repositoryLink());
    if (runnerLogo().isValid()) {
        // Inserted literally: the logo text is not a replacement template.
        const QString logo = QStringLiteral("<img src=\"") + ReportResources::logoDataUri()
            + QStringLiteral("\" alt=\"Kestrune\" style=\"width:32px;height:32px;border-radius:8px;"
                             "box-shadow:0 2px 8px rgba(0,0,0,0.15);\" />");
        QString out;
        qsizetype last = 0;
        QRegularExpressionMatchIterator it = runnerLogo().globalMatch(html);
        while (it.hasNext()) {
            const QRegularExpressionMatch match = it.next();
            out.append(QStringView(html).mid(last, match.capturedStart() - last));
            out.append(logo);
            last = match.capturedEnd();
        }
        if (last > 0) {
            out.append(QStringView(html).mid(last));
            html = out;
        }
    }
    return html != before;
}
