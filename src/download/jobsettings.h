#pragma once

#include "jobtypes.h"

#include <QByteArray>
#include <QString>

#include <optional>

class QNetworkAccessManager;

// Which front end asks for a job. What differs between them on purpose is
// decided in MakeJobSettings and nowhere else.
enum class FrontEnd { Window, UpdateList, CommandLine };

// What the user chose for a job, as the window's menus, the update list or
// the command line's options say it.
struct JobChoices {
    FrontEnd frontEnd = FrontEnd::Window;
    JobSource source = JobSource::BrowserPane;
    QString saveFolder;
    // The window's download-mode menu, the command line's --replace; unset,
    // the front end's default.
    std::optional<DownloadMode> mode;
    // The fast mode (the window's speed menu, --fast) and how many pictures
    // at once; 0 takes the count the settings file names.
    bool fast = false;
    int inFlight = 0;
    // Goes on with an interrupted album in this folder (see JobSettings).
    QString continueFolder;
    // The session every request of the job goes through, the browser's
    // agent (so the site sees one browser) and where the site's pictures live.
    QNetworkAccessManager *network = nullptr;
    QByteArray userAgent;
    QString photoHostBase;
    // 下载限速 / --limit-rate in bytes a second (0: none); unset, the stored one.
    std::optional<qint64> limitRate;
    // 图片说明 / --captions; unset, the stored one.
    std::optional<CaptionMode> captions;
};

// The values of the settings file that shape a job, read in this one place.
struct StoredJobSettings {
    int inFlight = 0; // "InFlight": 0 when missing or not a count
    qint64 limitRate = 0; // "LimitRate", bytes a second: 0 when missing or none
    CaptionMode captions = CaptionMode::None; // "Captions": None, Embed or Xmp

    static StoredJobSettings read(const QString &settingsFile);
};

// How many pictures the fast mode works on at once: the count asked for,
// else the stored one, else the default.
int FastInFlight(int asked, int stored);

// The collection rules the job source selects.
CollectionRules CollectionRulesFor(const JobSettings &settings);

// A job's settings from the user's choices and the settings file's values:
// every front end makes its jobs here, so that they all run the same job.
JobSettings MakeJobSettings(const JobChoices &choices, const StoredJobSettings &stored = {});
