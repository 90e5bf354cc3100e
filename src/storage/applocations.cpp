#include "applocations.h"

#include "settingsfile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace {
const QString ProgramFolderName = QStringLiteral("Quillmoor");
} // namespace

AppLocations portableLocations(const QString &applicationFolder)
{
    return {SettingsFilePath(applicationFolder), applicationFolder, false};
}

bool runsInstalled(const QString &applicationFolder, bool applicationFolderWritable)
{
    if (!applicationFolderWritable)
        return true;
    const QString folder = QDir::cleanPath(applicationFolder);
    return folder == QLatin1String("/usr") || folder.startsWith(QLatin1String("/usr/"));
}

AppLocations chooseLocations(const LocationInputs &inputs)
{
    if (!runsInstalled(inputs.applicationFolder, inputs.applicationFolderWritable))
        return portableLocations(inputs.applicationFolder);
    return {SettingsFilePath(inputs.configHome + QLatin1Char('/') + ProgramFolderName),
            inputs.picturesFolder + QLatin1Char('/') + ProgramFolderName, true};
}

LocationInputs locationInputs(const QString &applicationFolder)
{
    LocationInputs inputs;
    inputs.applicationFolder = applicationFolder;
    // access(2) answers for the real user, which is what a later write meets.
    inputs.applicationFolderWritable =
        ::access(QFile::encodeName(applicationFolder).constData(), W_OK) == 0;

    // Read directly rather than through QStandardPaths, whose test mode moves
    // it; a relative value is invalid by the XDG rules and ignored.
    inputs.configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(inputs.configHome))
        inputs.configHome = QDir::homePath() + QStringLiteral("/.config");

    inputs.picturesFolder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (inputs.picturesFolder.isEmpty())
        inputs.picturesFolder = QDir::homePath() + QStringLiteral("/Pictures");
    return inputs;
}

void prepareLocations(const AppLocations &locations)
{
    QDir().mkpath(QFileInfo(locations.settingsFile).absolutePath());
    const QString stored = ReadSetting(locations.settingsFile, QStringLiteral("Settings"),
                                       QStringLiteral("Path"));
    if (stored.isEmpty() || QDir::cleanPath(stored) == QDir::cleanPath(locations.defaultSaveFolder))
        QDir().mkpath(locations.defaultSaveFolder);
}
