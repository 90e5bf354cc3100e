#pragma once

// The process shell of a run without a window: Ctrl-C and SIGTERM as a
// request to stop, and the event loop the run lives in.

#include "cli/commandline.h"

#include <QObject>

class QSocketNotifier;

// Ctrl-C and SIGTERM, delivered through a pipe to the event loop: the
// handler itself only writes one byte.
class StopSignals : public QObject
{
    Q_OBJECT
public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

signals:
    void stopRequested();

private:
    QSocketNotifier *m_notifier = nullptr;
};

// Runs the request in the application's event loop and returns its exit code;
// the browser profile is shut down at the end.
int runCommandLine(const CommandLineRequest &request, const AppLocations &locations);
