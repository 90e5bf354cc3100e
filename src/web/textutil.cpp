#include "textutil.h"

#include <QHash>
#include <QRegularExpression>
#include <QtDebug>

QString RegExMatch(const QString &pattern, const QString &text)
{
    // The same few patterns run on every picture page: compiled once each.
    thread_local QHash<QString, QRegularExpression> compiled;
    auto it = compiled.find(pattern);
    if (it == compiled.end()) {
        if (compiled.size() >= 64)
            compiled.clear();
        // PCRE's "." already stops at a line feed only (it still matches a
        // carriage return), which is the line rule the site's pages are parsed by.
        QRegularExpression fresh(pattern, QRegularExpression::CaseInsensitiveOption
                                              | QRegularExpression::MultilineOption);
        fresh.optimize();
        it = compiled.insert(pattern, fresh);
    }
    const QRegularExpression &re = *it;
    if (!re.isValid()) {
        qWarning("RegExMatch: bad pattern %s: %s", qPrintable(pattern),
                 qPrintable(re.errorString()));
        return {};
    }
    const QRegularExpressionMatch match = re.match(text);
    return match.hasMatch() ? match.captured(0) : QString();
}
