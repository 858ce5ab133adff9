#include "allurewriter.h"

#include "gojson.h"
#include "simclock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUuid>

namespace {

qint64 ms(qint64 ns)
{
    return ns / 1000000;
}

QString allureStatus(const QString &status)
{
    if (status == QLatin1String("passed") || status == QLatin1String("failed") || status == QLatin1String("skipped"))
        return status;
    return QStringLiteral("broken");
}

void save(const QString &path, const QByteArray &data)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(data);
        file.commit();
    }
}

GoJson stepJson(
    const CommandRecord &c, qint64 fallbackNs, const QString &resultsDir, const QString &reportDir, const QString &prefix)
{
    GoJson step = GoJson::object();
    step.add(QStringLiteral("name"), c.displayText().isEmpty() ? c.type : c.displayText());
    step.add(QStringLiteral("status"), allureStatus(c.status));
    step.add(QStringLiteral("stage"), "finished");
    if (!c.errorMessage.isEmpty()) {
        GoJson details = GoJson::object();
        details.add(QStringLiteral("message"), c.errorMessage).add(QStringLiteral("trace"), c.errorDetails);
        step.add(QStringLiteral("statusDetails"), details);
    }
    GoJson steps = GoJson::array();
    for (const CommandRecord &s : c.subCommands)
        steps.append(stepJson(s, c.endNs ? c.endNs : fallbackNs, resultsDir, reportDir, prefix));
    step.add(QStringLiteral("steps"), steps);
    // Only a failed step's screenshot becomes an attachment; otherwise the
    // runner writes null, not an empty list.
    GoJson attachments = GoJson::null();
    for (const auto &[key, path] : c.artifacts) {
        if (key != QLatin1String("screenshotAfter") || c.status != QLatin1String("failed"))
            continue;
        const QString source = prefix + QFileInfo(path).fileName();
        if (QFile::copy(reportDir + u'/' + path, resultsDir + u'/' + source)) {
            attachments = GoJson::array();
            GoJson a = GoJson::object();
            a.add(QStringLiteral("name"), "Screenshot")
                .add(QStringLiteral("source"), source)
                .add(QStringLiteral("type"), "image/png");
            attachments.append(a);
        }
    }
    step.add(QStringLiteral("attachments"), attachments);
    step.add(QStringLiteral("parameters"), GoJson::array());
    step.add(QStringLiteral("start"), ms(c.startNs ? c.startNs : fallbackNs));
    step.add(QStringLiteral("stop"), ms(c.endNs ? c.endNs : fallbackNs));
    return step;
}

QString xmlEscape(const QString &text)
{
    QString out = text;
    out.replace(u'&', QLatin1String("&amp;"));
    out.replace(u'<', QLatin1String("&lt;"));
    out.replace(u'>', QLatin1String("&gt;"));
    out.replace(u'"', QLatin1String("&quot;"));
    return out;
}

QString seconds(qint64 durationMs)
{
    return QString::number(double(std::max<qint64>(0, durationMs)) / 1000.0, 'f', 3);
}

} // namespace

void AllureWriter::writeAllure(const QString &reportDir, const QList<FlowRecord> &flows, const RunInfo &info)
{
    const QString dir = reportDir + QStringLiteral("/allure-results");
    QDir().mkpath(dir);
    for (const FlowRecord &f : flows) {
        const QByteArray seed = (f.sourceFile + u'#' + f.id + u'#' + QString::number(f.startNs)).toUtf8();
        const QString uuid
            = QUuid::fromRfc4122(QCryptographicHash::hash(seed, QCryptographicHash::Md5)).toString(QUuid::WithoutBraces);
        GoJson result = GoJson::object();
        result.add(QStringLiteral("uuid"), uuid);
        result.add(QStringLiteral("historyId"),
            QString::fromLatin1(
                QCryptographicHash::hash(QFileInfo(f.sourceFile).fileName().toUtf8(), QCryptographicHash::Md5).toHex()));
        result.add(QStringLiteral("fullName"), f.sourceFile);
        result.add(QStringLiteral("name"), f.name);
        result.add(QStringLiteral("status"), allureStatus(f.status));
        result.add(QStringLiteral("stage"), "finished");
        GoJson details = GoJson::object();
        if (!f.error.isEmpty())
            details.add(QStringLiteral("message"), f.error).add(QStringLiteral("trace"), QString());
        result.add(QStringLiteral("statusDetails"), details);
        GoJson steps = GoJson::array();
        for (const CommandRecord &c : f.commands)
            steps.append(stepJson(c, f.endNs ? f.endNs : f.startNs, dir, reportDir, f.id + u'-'));
        result.add(QStringLiteral("steps"), steps);
        result.add(QStringLiteral("attachments"), GoJson::array());
        result.add(QStringLiteral("parameters"), GoJson::array());
        GoJson labels = GoJson::array();
        const auto label = [&](const QString &name, const QString &value) {
            GoJson l = GoJson::object();
            l.add(QStringLiteral("name"), name).add(QStringLiteral("value"), value);
            labels.append(l);
        };
        label(QStringLiteral("framework"), QStringLiteral("maestro-runner"));
        label(QStringLiteral("language"), QStringLiteral("yaml"));
        label(QStringLiteral("suite"), info.deviceName);
        label(QStringLiteral("host"), info.deviceName);
        for (const QString &tag : f.tags)
            label(QStringLiteral("tag"), tag);
        result.add(QStringLiteral("labels"), labels);
        result.add(QStringLiteral("links"), GoJson::array());
        result.add(QStringLiteral("start"), ms(f.startNs ? f.startNs : info.startNs));
        result.add(QStringLiteral("stop"), ms(f.endNs ? f.endNs : info.endNs));
        save(dir + u'/' + f.id + QStringLiteral("-result.json"), result.toIndented());
    }

    GoJson categories = GoJson::array();
    const auto category = [&](const QString &name, const QString &regex) {
        GoJson c = GoJson::object();
        GoJson statuses = GoJson::array();
        statuses.append(GoJson::string(QStringLiteral("failed")));
        c.add(QStringLiteral("name"), name)
            .add(QStringLiteral("matchedStatuses"), statuses)
            .add(QStringLiteral("messageRegex"), regex);
        categories.append(c);
    };
    category(QStringLiteral("Element not found"), QStringLiteral(".*Element not found.*"));
    category(QStringLiteral("Assertion failures"), QStringLiteral(".*Assertion is false.*"));
    save(dir + QStringLiteral("/categories.json"), categories.toIndented());

    const QString environment
        = QStringLiteral("Platform=ios\nDevice=%1\nDevice.Id=%2\nOS.Version=%3\nApp=%4\nRunner=maestro-runner %5\n")
              .arg(info.deviceName, info.deviceId, info.osVersion, info.appId, info.runnerVersion);
    save(dir + QStringLiteral("/environment.properties"), environment.toUtf8());

    GoJson executor = GoJson::object();
    executor.add(QStringLiteral("name"), "maestro-runner")
        .add(QStringLiteral("type"), "maestro-runner")
        .add(QStringLiteral("buildName"), QStringLiteral("maestro-runner ") + info.runnerVersion);
    save(dir + QStringLiteral("/executor.json"), executor.toIndented());
}

void AllureWriter::writeJunit(const QString &reportDir, const QList<FlowRecord> &flows, const RunInfo &info)
{
    int failures = 0, skipped = 0;
    qint64 total = 0;
    QString cases;
    for (const FlowRecord &f : flows) {
        total += std::max<qint64>(0, f.durationMs);
        cases += QStringLiteral("    <testcase name=\"%1\" classname=\"%2\" time=\"%3\" file=\"%4\">\n")
                     .arg(xmlEscape(f.name), xmlEscape(QFileInfo(f.sourceFile).fileName()), seconds(f.durationMs),
                         xmlEscape(f.sourceFile));
        if (f.status == QLatin1String("failed")) {
            ++failures;
            cases += QStringLiteral("      <failure message=\"%1\" type=\"failure\">%1</failure>\n").arg(xmlEscape(f.error));
        } else if (f.status != QLatin1String("passed")) {
            ++skipped;
            cases += QStringLiteral("      <skipped/>\n");
        }
        cases += QStringLiteral("    </testcase>\n");
    }
    const QString counts = QStringLiteral("tests=\"%1\" failures=\"%2\" errors=\"0\" skipped=\"%3\" time=\"%4\"")
                               .arg(flows.size())
                               .arg(failures)
                               .arg(skipped)
                               .arg(seconds(total));
    QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    xml += QStringLiteral("<testsuites name=\"maestro-runner\" %1>\n").arg(counts);
    xml += QStringLiteral("  <testsuite name=\"%1\" %2 timestamp=\"%3\">\n")
               .arg(xmlEscape(info.deviceName), counts, SimClock::formatRfc3339(info.startNs));
    xml += QStringLiteral(
        "    <properties>\n      <property name=\"platform\" value=\"ios\"/>\n"
        "      <property name=\"device\" value=\"%1\"/>\n      <property name=\"app\" value=\"%2\"/>\n    </properties>\n")
               .arg(xmlEscape(info.deviceId), xmlEscape(info.appId));
    xml += cases;
    xml += QStringLiteral("  </testsuite>\n</testsuites>\n");
    save(reportDir + QStringLiteral("/junit-report.xml"), xml.toUtf8());
}
