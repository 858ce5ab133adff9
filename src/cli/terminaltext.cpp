#include "terminaltext.h"

#include <unistd.h>

namespace TerminalText {

namespace {

bool isControl(char16_t c)
{
    return (c < 0x20 && c != u'\t' && c != u'\n') || (c >= 0x7F && c <= 0x9F);
}

} // namespace

QString visibleControls(QStringView text)
{
    qsizetype first = 0;
    while (first < text.size() && !isControl(text[first].unicode()))
        ++first;
    if (first == text.size())
        return text.toString();
    QString shown;
    shown.reserve(text.size() + 16);
    shown += text.first(first);
    for (qsizetype i = first; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (!isControl(c)) {
            shown += QChar(c);
        } else if (c < 0x20) {
            shown += u'^';
            shown += QChar(c + 0x40);
        } else if (c == 0x7F) {
            shown += u"^?";
        } else {
            shown += u"^[";
            shown += QChar(c - 0x40);
        }
    }
    return shown;
}

QString listingField(QStringView text, bool onTerminal)
{
    QString field = onTerminal ? visibleControls(text) : text.toString();
    field.replace(u'\t', QLatin1String("^I")).replace(u'\n', QLatin1String("^J")).replace(u'\r', QLatin1String("^M"));
    return field;
}

bool standardOutputIsTerminal()
{
    return ::isatty(STDOUT_FILENO) == 1;
}

QByteArray forStandardOutput(const QByteArray &utf8)
{
    if (!standardOutputIsTerminal())
        return utf8;
    return visibleControls(QString::fromUtf8(utf8)).toUtf8();
}

} // namespace TerminalText
