// Downloads one album with the core alone, so that a test can kill a job
// in a process of its own at any moment:
//   quillmoor-test-jobrunner SAVEFOLDER ALBUMURL PHOTOHOSTBASE [PAUSEMS]
// Exits 0 when the job has ended, 2 on wrong arguments, 3 when it could not
// start, 4 when it did not end within ten minutes.
#include "download/downloadjob.h"
#include "download/pagesource.h"
#include "download/pagewalk.h"
#include "pageloader.h"
#include "web/networksession.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4)
        return 2;
    NetworkSession session;
    JobSettings settings;
    settings.source = JobSource::HiddenPane;
    settings.saveFolder = args.at(1);
    settings.albumAddress = args.at(2);
    settings.photoHostBase = args.at(3);
    settings.network = session.manager();
    settings.pauseMs = args.size() > 4 ? args.at(4).toInt() : 0;

    TestPageSource source(session.manager());
    DownloadJob job(settings);
    JobStartFailure failure;
    if (!job.start(&failure)) {
        std::fprintf(stderr, "the job did not start: %d %s\n", int(failure.why), qPrintable(failure.subject));
        return 3;
    }
    auto *walk = new PageWalk(&job, &source);
    QObject::connect(&job, &DownloadJob::finished, &app, [] { QCoreApplication::exit(0); });
    // Bounded: a job that never ends must not keep a test waiting.
    QTimer::singleShot(600000, &app, [] { QCoreApplication::exit(4); });
    walk->start(settings.albumAddress);
    return app.exec();
}
