#pragma once

#include <QLoggingCategory>
#include <QStringList>

// Diagnostic lines of one log category, captured for the assertions that
// need them (the suites silence the application's categories by default).
// One category at a time; install() in initTestCase, remove() in cleanup.
namespace DiagnosticsCapture {

inline QStringList lines;
inline QByteArray g_category;
inline QtMessageHandler g_previousHandler = nullptr;
inline QLoggingCategory::CategoryFilter g_previousFilter = nullptr;

inline void capture(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (context.category && g_category == context.category) {
        lines.append(message);
        return;
    }
    g_previousHandler(type, context, message);
}

inline void enable(QLoggingCategory *category)
{
    g_previousFilter(category);
    if (g_category == category->categoryName())
        category->setEnabled(QtInfoMsg, true);
}

// `category` as named in the log, e.g. "io.kestrune.Kestrune.Device".
inline void install(const char *category)
{
    g_category = category;
    g_previousHandler = qInstallMessageHandler(capture);
    g_previousFilter = QLoggingCategory::installFilter(enable);
}

inline void remove()
{
    QLoggingCategory::installFilter(g_previousFilter);
    qInstallMessageHandler(g_previousHandler);
}

} // namespace DiagnosticsCapture
