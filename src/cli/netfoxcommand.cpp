// kestrune-cli netfox: reads a copied Netfox session log and prints its
// exchanges as text blocks, a JSON array, a HAR 1.2 document or one command
// line per exchange that replays its request. On a
// terminal the control characters of the app's traffic are shown, not
// obeyed.
#include "cliregistry.h"
#include "network/curlcommand.h"
#include "network/harexport.h"
#include "network/netfoxparser.h"
#include "network/networkhitjson.h"
#include "settings/logging.h"
#include "terminaltext.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTextStream>

namespace {

int runNetfox(const QStringList &arguments)
{
    QTextStream err(stderr);
    const QString usage = QStringLiteral("usage: kestrune-cli netfox LOG [--since ISO8601] [--format text|json|har|curl]\n");
    QString logPath;
    QString format = QStringLiteral("text");
    std::optional<QDateTime> since;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        auto value = [&](QString &out) {
            if (i + 1 >= arguments.size())
                return false;
            out = arguments.at(++i);
            return true;
        };
        QString text;
        if (argument == QLatin1String("--since") || argument.startsWith(QLatin1String("--since="))) {
            if (argument.contains(u'='))
                text = argument.section(u'=', 1);
            else if (!value(text)) {
                err << "kestrune-cli netfox: --since needs a value\n" << usage;
                return 2;
            }
            const QDateTime parsed = QDateTime::fromString(text, Qt::ISODateWithMs);
            if (!parsed.isValid()) {
                err << "kestrune-cli netfox: --since is not an ISO 8601 date and time: " << text << '\n';
                return 2;
            }
            since = parsed;
        } else if (argument == QLatin1String("--format") || argument.startsWith(QLatin1String("--format="))) {
            if (argument.contains(u'='))
                format = argument.section(u'=', 1);
            else if (!value(format)) {
                err << "kestrune-cli netfox: --format needs a value\n" << usage;
                return 2;
            }
            if (format != QLatin1String("text") && format != QLatin1String("json") && format != QLatin1String("har")
                && format != QLatin1String("curl")) {
                err << "kestrune-cli netfox: unknown format \"" << format << "\" (text, json, har or curl)\n";
                return 2;
            }
        } else if (argument.startsWith(QLatin1String("--")) || !logPath.isEmpty()) {
            err << "kestrune-cli netfox: unexpected argument \"" << argument << "\"\n" << usage;
            return 2;
        } else {
            logPath = argument;
        }
    }
    if (logPath.isEmpty()) {
        err << usage;
        return 2;
    }
    if (!QFileInfo(logPath).isFile() || !QFileInfo(logPath).isReadable()) {
        err << "kestrune-cli netfox: cannot read " << logPath << '\n';
        return 1;
    }

    const NetworkHitList hits = Netfox::parseNetworkLog(logPath, since);
    QByteArray output;
    if (format == QLatin1String("text")) {
        output = Netfox::formatHitsAsText(hits, QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
        if (!output.isEmpty())
            output += '\n';
    } else if (format == QLatin1String("json")) {
        output = QJsonDocument(NetworkHitJson::toJson(hits)).toJson(QJsonDocument::Indented);
    } else if (format == QLatin1String("curl")) {
        output = CurlCommand::commands(hits).toUtf8();
    } else {
        const QJsonObject har = HarExport::document(hits, QString::fromLatin1(kestrune::kProductName), kestrune::appVersion());
        output = QJsonDocument(har).toJson(QJsonDocument::Indented);
    }
    output = TerminalText::forStandardOutput(output);
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly) || out.write(output) != output.size() || !out.flush()) {
        err << "kestrune-cli netfox: cannot write the output\n";
        return 1;
    }
    return 0;
}

const CliRegistration registration({
    QStringLiteral("netfox"),
    QStringLiteral("LOG [--since ISO8601] [--format text|json|har|curl]"),
    QStringLiteral("Print the HTTP exchanges of a Netfox session log as text, JSON, HAR 1.2 or curl commands."),
    runNetfox,
});

} // namespace
