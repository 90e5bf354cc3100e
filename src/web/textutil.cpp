#include "textutil.h"

#include <QRegularExpression>
#include <QtDebug>

QString GetPicName(const QString &address)
{
    const qsizetype slash = address.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : address.mid(slash + 1);
}

QString RegExMatch(const QString &pattern, const QString &text)
{
    // PCRE's "." already stops at a line feed only (it still matches a
    // carriage return), which is the line rule the site's pages are parsed by.
    const QRegularExpression re(pattern, QRegularExpression::CaseInsensitiveOption
                                             | QRegularExpression::MultilineOption);
    if (!re.isValid()) {
        qWarning("RegExMatch: bad pattern %s: %s", qPrintable(pattern),
                 qPrintable(re.errorString()));
        return {};
    }
    const QRegularExpressionMatch match = re.match(text);
    return match.hasMatch() ? match.captured(0) : QString();
}
