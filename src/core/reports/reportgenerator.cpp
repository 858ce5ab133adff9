#include "reportgenerator.h"

#include "allureattacher.h"
#include "atomicfile.h"
#include "networklogpanel.h"
#include "reportbranding.h"
#include "reportfilefinder.h"
#include "screenshotlinker.h"
#include "settings/logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

ReportGenerator::ReportGenerator(CustomReportOptions customReportOptions)
    : m_customReportOptions(std::move(customReportOptions))
{ }

std::optional<QString> ReportGenerator::findFile(const QString &name, const QString &directory)
{
    return ReportFileFinder::findFile(name, directory);
}

std::optional<QString> ReportGenerator::findDirectory(const QString &name, const QString &directory)
{
    return ReportFileFinder::findDirectory(name, directory);
}

bool ReportGenerator::generate(const QString &runFolder, const std::optional<QDateTime> &testStartTime, QString *reason)
{
    QString networkLogFile = QDir(runFolder).filePath(QStringLiteral("network_log.txt"));
    const QFileInfo logInfo(networkLogFile);
    if (logInfo.isSymLink()) {
        // A link could name any file the user can read, which would then be
        // shown and attached as the run's log: it counts as no log.
        qCInfo(lcReport, "Warning: Network log is a link, not the run's log: %s", qUtf8Printable(networkLogFile));
        networkLogFile.clear();
    } else if (logInfo.exists() && !logInfo.isFile()) {
        // A named pipe or device (an unpacked archive can hold one) would block
        // or never end: every step goes on as without a log.
        qCInfo(lcReport, "Warning: Network log is not a file: %s", qUtf8Printable(networkLogFile));
        networkLogFile.clear();
    }
    QString firstFailure;
    const auto failed = [&firstFailure](const char *what, const QString &error) {
        qCInfo(lcReport, "Warning: %s: %s", what, qUtf8Printable(error));
        if (firstFailure.isEmpty())
            firstFailure = error;
    };
    QString error;

    const std::optional<QString> html = findFile(QStringLiteral("report.html"), runFolder);
    if (html) {
        if (!patchReportHTML(*html, networkLogFile, testStartTime, &error))
            failed("Failed to patch report.html", error);
    }
    const std::optional<QString> json = findFile(QStringLiteral("report.json"), runFolder);
    if (json) {
        error.clear();
        if (!CustomReportBuilder::generateCustomReport(*json, networkLogFile, testStartTime, &error, m_customReportOptions))
            failed("Failed to generate custom report", error);
    }
    if (const auto allure = findDirectory(QStringLiteral("allure-results"), runFolder)) {
        error.clear();
        if (!AllureAttacher::attach(*allure, networkLogFile, &error))
            failed("Failed to attach allure log", error);
    }
    if (!html && !json && firstFailure.isEmpty())
        firstFailure = QStringLiteral("no report.html or report.json in %1").arg(runFolder);
    if (reason)
        *reason = firstFailure;
    return firstFailure.isEmpty();
}

bool ReportGenerator::patchReportHTML(
    const QString &htmlFile, const QString &networkLogFile, const std::optional<QDateTime> &testStartTime, QString *error)
{
    if (!QFileInfo::exists(htmlFile)) {
        qCInfo(lcReport, "Warning: HTML Report not found: %s", qUtf8Printable(htmlFile));
        return true;
    }
    if (QFileInfo(htmlFile).isSymLink()) {
        // A copied run folder can hold a link to any page of the user's; the
        // atomic write would replace the page it points to.
        if (error)
            *error = QStringLiteral("%1 is a link, not the runner's page").arg(htmlFile);
        return false;
    }
    QFile file(htmlFile);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString html = decoder.decode(bytes);
    if (decoder.hasError()) {
        if (error)
            *error = QStringLiteral("%1 is not valid UTF-8").arg(htmlFile);
        return false;
    }
    html.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QString normalised = html;

    ScreenshotLinker::patchScreenshots(html, QFileInfo(htmlFile).absolutePath());
    ReportBranding::apply(html);
    if (QFileInfo::exists(networkLogFile))
        NetworkLogPanel::embed(html, networkLogFile, testStartTime);

    if (html == normalised)
        return true;
    if (!AtomicFile::writeWhole(htmlFile, html.toUtf8(), error))
        return false;
    qCInfo(lcReport, "Successfully processed and patched report.html (Screenshots, UI, Netfox Log)");
    return true;
}
