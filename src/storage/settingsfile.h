#pragma once

#include <QString>

// The settings file: a section line "[Settings]" followed by key=value lines,
// kept beside the executable and written as UTF-8.

// The path of the settings file of a program kept in `applicationFolder`.
QString SettingsFilePath(const QString &applicationFolder);

// The value of `key` in `section`; the empty text when the file, section or
// key is missing. Section and key names match regardless of case.
QString ReadSetting(const QString &file, const QString &section, const QString &key);

// Creates the file, section and key as needed and replaces an existing value.
// Other lines of the file are kept as they are. False when it cannot write.
bool WriteSetting(const QString &file, const QString &section, const QString &key,
                  const QString &value);
