#include "applocations.h"

#include "settingsfile.h"

AppLocations portableLocations(const QString &applicationFolder)
{
    return {SettingsFilePath(applicationFolder), applicationFolder};
}
