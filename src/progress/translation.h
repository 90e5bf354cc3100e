#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

// The program's texts are Chinese in the source; an English desktop gets
// them in English from the translation built into the program.
namespace Translation {

// The translation for a desktop whose languages come in the order of
// `uiLanguages` (QLocale::uiLanguages()): "en" when the first is English,
// the empty text for the Chinese source texts (any other language, "C",
// none at all).
QString languageFor(const QStringList &uiLanguages);

// The embedded translation file for `language`.
QString fileFor(const QString &language);

// Installs into `app` the translation its desktop's first language calls
// for; false when the texts stay Chinese. Called once, before any text is
// made.
bool install(QCoreApplication *app);

} // namespace Translation
