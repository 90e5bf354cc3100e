#pragma once

#include <QString>

// Where the program keeps its settings file and where pictures go until the
// user chooses a save folder.
struct AppLocations {
    QString settingsFile;
    QString defaultSaveFolder;
    bool installed = false;
};

// What decides the locations of one run, gathered from the system by
// locationInputs() and passed in whole so the choice can be tested alone.
struct LocationInputs {
    QString applicationFolder;
    bool applicationFolderWritable = true;
    QString configHome;     // $XDG_CONFIG_HOME, or ~/.config
    QString picturesFolder; // the user's pictures folder
};

// A program kept in a folder of its own: the settings file beside the
// executable, and that folder as the default save folder.
AppLocations portableLocations(const QString &applicationFolder);

// Installed when the user cannot write the executable's folder, or when it
// lies under /usr (a package's place, even for root, who may write there).
bool runsInstalled(const QString &applicationFolder, bool applicationFolderWritable);

// Portable locations, or for an installed program the settings in
// configHome/Quillmoor and pictures in picturesFolder/Quillmoor.
AppLocations chooseLocations(const LocationInputs &inputs);

// The inputs of this run: access(2) on the folder, the environment and the
// user's pictures folder as the desktop names it.
LocationInputs locationInputs(const QString &applicationFolder);

// Makes the folders the locations need before their first use: the settings
// file's folder, and the default save folder while the settings name no
// other. Failures surface later, where the folders are written.
void prepareLocations(const AppLocations &locations);
