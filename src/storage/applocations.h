#pragma once

#include <QString>

// Where the program keeps its settings file and where pictures go until the
// user chooses a save folder.
struct AppLocations {
    QString settingsFile;
    QString defaultSaveFolder;
};

// A program kept in a folder of its own: the settings file beside the
// executable, and that folder as the default save folder.
AppLocations portableLocations(const QString &applicationFolder);
