#include "translation.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

namespace Translation {

QString languageFor(const QStringList &uiLanguages)
{
    if (uiLanguages.isEmpty())
        return {};
    // "C" and "POSIX" are locales of their own to QLocale, not English.
    return QLocale(uiLanguages.constFirst()).language() == QLocale::English ? QStringLiteral("en") : QString();
}

QString fileFor(const QString &language)
{
    return QStringLiteral(":/quillmoor/i18n/quillmoor_%1.qm").arg(language);
}

bool install(QCoreApplication *app)
{
    const QString language = languageFor(QLocale::system().uiLanguages());
    if (language.isEmpty())
        return false;
    auto *translator = new QTranslator(app);
    if (!translator->load(fileFor(language))) {
        qWarning("quillmoor: the %s translation is missing; the texts stay Chinese", qPrintable(language));
        delete translator;
        return false;
    }
    return app->installTranslator(translator);
}

} // namespace Translation
