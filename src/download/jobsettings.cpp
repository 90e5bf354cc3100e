#include "jobsettings.h"

#include "web/ratelimit.h"

#include "storage/settingsfile.h"

StoredJobSettings StoredJobSettings::read(const QString &settingsFile)
{
    const QString section = QStringLiteral("Settings");
    StoredJobSettings stored;
    stored.inFlight = ReadSetting(settingsFile, section, QStringLiteral("InFlight")).toInt();
    stored.limitRate = ReadSetting(settingsFile, section, QStringLiteral("LimitRate")).toLongLong();
    const QString captions = ReadSetting(settingsFile, section, QStringLiteral("Captions"));
    stored.captions = captions == QLatin1String("Embed") ? CaptionMode::Embed
        : captions == QLatin1String("Xmp")               ? CaptionMode::Sidecar
                                                         : CaptionMode::None;
    return stored;
}

int FastInFlight(int asked, int stored)
{
    for (const int count : {asked, stored})
        if (count >= 1 && count <= JobSettings::MaxInFlight)
            return count;
    return JobSettings::DefaultFastInFlight;
}

JobSettings MakeJobSettings(const JobChoices &choices, const StoredJobSettings &stored)
{
    JobSettings settings;
    settings.source = choices.source;
    settings.saveFolder = choices.saveFolder;
    settings.continueFolder = choices.continueFolder;
    settings.photoHostBase = choices.photoHostBase;
    settings.network = choices.network;
    settings.userAgent = choices.userAgent;
    // An update adds only new pictures, whatever the menu says. The command
    // line's default is only new pictures (a scheduled run must not replace
    // albums unasked; --replace does); the window's is its menu's default.
    if (choices.frontEnd == FrontEnd::UpdateList)
        settings.mode = DownloadMode::OnlyNew;
    else if (choices.mode)
        settings.mode = *choices.mode;
    else
        settings.mode = choices.frontEnd == FrontEnd::CommandLine ? DownloadMode::OnlyNew : DownloadMode::ReplaceAll;
    // Only the window's start buttons have a pane on show to log in again
    // with: there an expired login waits for it. An update or a run without
    // a window ends the album as not whole instead.
    settings.pauseOnExpiredLogin = choices.frontEnd == FrontEnd::Window;
    settings.captions = choices.captions.value_or(stored.captions);
    // One limiter for the whole job (or queue): its requests share the limit.
    settings.requests.rateLimit = RateLimiter::make(qMax<qint64>(0, choices.limitRate.value_or(stored.limitRate)));
    if (choices.fast) {
        // The same fast mode for every front end: several pictures at once
        // without a pause, pictures while later pages are read, and album
        // pages as HTML where they read as the pane shows them.
        settings.pauseMs = 0;
        settings.maxInFlight = FastInFlight(choices.inFlight, stored.inFlight);
        settings.startWhileCollecting = true;
        settings.readPagesAsHtml = true;
    }
    return settings;
}

CollectionRules CollectionRulesFor(const JobSettings &settings)
{
    return settings.source == JobSource::BrowserPane ? CollectionRules::browserPane(settings.photoHostBase)
                                                     : CollectionRules::memberList(settings.photoHostBase);
}
