#include "seed.h"
#include "server.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <thread>

#include <unistd.h>

namespace {

std::optional<Seed> loadSeed(const QCommandLineParser &parser, QString *error)
{
    if (parser.isSet(QStringLiteral("seed-json")))
        return parseSeed(parser.value(QStringLiteral("seed-json")).toUtf8(), error);
    if (parser.isSet(QStringLiteral("seed"))) {
        QFile file(parser.value(QStringLiteral("seed")));
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString());
            return std::nullopt;
        }
        return parseSeed(file.readAll(), error);
    }
    return builtInSeed();
}

} // namespace

int main(int argc, char **argv)
{
    // Termination stopSignals are taken by one thread with sigwait, so they must
    // be blocked before the server starts any other thread.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillmoor-demo-site"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Local stand-in for the Kestrelnet site."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("port"), QStringLiteral("Port on 127.0.0.1 (0 picks a free one)."), QStringLiteral("N"),
         QStringLiteral("8080")},
        {QStringLiteral("seed"), QStringLiteral("Seed file (JSON)."), QStringLiteral("FILE")},
        {QStringLiteral("seed-json"), QStringLiteral("Seed as JSON text."), QStringLiteral("TEXT")},
        {QStringLiteral("delay-ms"), QStringLiteral("Delay before every response."), QStringLiteral("N")},
    });
    parser.process(app);

    bool portOk = false;
    const int port = parser.value(QStringLiteral("port")).toInt(&portOk);
    if (!portOk || port < 0 || port > 65535) {
        std::fprintf(stderr, "quillmoor-demo-site: bad port\n");
        return 2;
    }
    QString error;
    std::optional<Seed> seed = loadSeed(parser, &error);
    if (!seed) {
        std::fprintf(stderr, "quillmoor-demo-site: %s\n", qPrintable(error));
        return 2;
    }
    if (parser.isSet(QStringLiteral("delay-ms")))
        seed->delayMs = qBound(0, parser.value(QStringLiteral("delay-ms")).toInt(), 60000);

    DemoServer server(std::move(*seed));
    const std::optional<int> bound = server.bind(port);
    if (!bound) {
        std::fprintf(stderr, "quillmoor-demo-site: cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    std::printf("PORT %d\n", *bound);
    std::fflush(stdout);

    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::thread signalWatcher([&] {
        int received = 0;
        sigwait(&stopSignals, &received);
        server.stop();
        // Idle keep-alive connections and slow clients hold workers for a while;
        // they must not delay the stop that a test run waits for.
        std::unique_lock lock(mutex);
        if (!finished.wait_for(lock, std::chrono::milliseconds(500), [&] { return done; })) {
            std::fflush(stdout);
            _exit(0);
        }
    });

    const bool ok = server.serve();
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    finished.notify_all();
    if (ok) {
        signalWatcher.join();
    } else {
        signalWatcher.detach();
    }
    return ok ? 0 : 1;
}
